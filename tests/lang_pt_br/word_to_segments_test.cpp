// Syllables, stress, open mid vowels and the word-to-segments driver.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/features.h"
#include "core/item.h"
#include "core/platform.h"
#include "core/value.h"
#include "lang_pt_br/lts.h"
#include "lang_pt_br/phoneset_pt_br.h"
#include "lang_pt_br/word_to_segments.h"
#include "tests/support/text.h"

using testtext::words;
using testtext::list_of;

namespace {

const Phoneset* ps() { return &phoneset_pt_br; }

std::string word(const char* w, int phrase_final = 1) { return words(word_to_phones(ps(), w, phrase_final)); }

std::string syl(const char* phones) { return words(syllabify(list_of(phones))); }

TEST(Syllabify, ConsonantClusters) {
  EXPECT_EQ(syl("a r t a"), "a r - t a");
  EXPECT_EQ(syl("a s t a"), "a s - t a");
  EXPECT_EQ(syl("a t r a"), "a - t r a");
  EXPECT_EQ(syl("a d m a"), "a d - m a");
  EXPECT_EQ(syl("p e r s p e"), "p e r s - p e");
  EXPECT_EQ(syl("t a1 k s i"), "t a1 k - s i");
  EXPECT_EQ(syl("e k s t r a"), "e k s - t r a");
  EXPECT_EQ(syl("a f r a"), "a f - r a");  // a fricative and r are no onset
  EXPECT_EQ(syl("a b l a"), "a - b l a");
  EXPECT_EQ(syl("a d l a"), "a d - l a");  // but d and l are not one either
  EXPECT_EQ(syl("a k w a"), "a - k w a");
}

TEST(Syllabify, VowelsMarksSilenceAndShortLists) {
  EXPECT_EQ(syl("a i"), "a - i");  // hiatus is always split
  EXPECT_EQ(syl("p a j s"), "p a j s");
  EXPECT_EQ(syl("k a - z a"), "k a - z a");  // existing marks are kept
  EXPECT_EQ(syl("k a - - z a"), "k a - - z a");
  EXPECT_EQ(syl("a pau a"), "a - pau a");  // the silence resets the syllable
  EXPECT_EQ(syl("s t r"), "s t r");  // no vowel, no boundary
  EXPECT_EQ(syl("a"), "a");
  EXPECT_EQ(syllabify(nullptr), nullptr);
}

TEST(Syllabify, BoundaryAfterCell) {
  Value* l = list_of("a k s i");
  EXPECT_EQ(boundary_after(l), 0);                        // vowel, then k s: s is a fricative
  EXPECT_EQ(boundary_after(value_cdr(l)), 1);             // k, then s and a vowel
  EXPECT_EQ(boundary_after(value_cdr(value_cdr(l))), 1);  // the last but one cell
  value_release(l);
  l = list_of("a d r");
  EXPECT_EQ(boundary_after(l), 1);  // d before r begins the next syllable
  value_release(l);
  l = list_of("a");
  EXPECT_EQ(boundary_after(l), 1);
  value_release(l);
  l = list_of("a k s t");
  uint64_t before = heap_alloc_count();
  int b = boundary_after(l);
  EXPECT_EQ(heap_alloc_count(), before);
  EXPECT_EQ(b, 0);
  value_release(l);
}

TEST(Stress, EndingsAccentsAndFunctionWords) {
  EXPECT_EQ(word("casa"), "k a1 - z a");
  EXPECT_EQ(word("papel"), "p a - p eh1 w");       // the letter rules give "eh"
  EXPECT_EQ(word("irm\xe3os"), "i r - m an1 w s");  // irmãos: final-stress ending
  EXPECT_EQ(word("lim\xe3o"), "l i - m an1 w");     // limão
  EXPECT_EQ(word("disp\xf5" "e"), "jh i s - p on1 j");  // dispõe
  EXPECT_EQ(word("p\xf5" "e"), "p on1 j");             // põe
  EXPECT_EQ(word("falam"), "f a1 - l an w");        // penultimate: -am
  EXPECT_EQ(word("viagem"), "v j a1 - zh en j");    // penultimate: -gem
  EXPECT_EQ(word("amor"), "a - m o1 r");            // no ending: last syllable
  EXPECT_EQ(word("caf\xe9"), "k a - f eh1");        // café: the accent decides
  EXPECT_EQ(word("m\xe9" "dico"), "m eh1 - jh i - k u");  // médico
}

TEST(Stress, UnstressedWordsInsideAndAtTheEndOfAPhrase) {
  EXPECT_EQ(word("de", 0), "jh i");
  EXPECT_EQ(word("de", 1), "jh i1");
  EXPECT_EQ(word("para", 0), "p a - r a");
  EXPECT_EQ(word("para", 1), "p a1 - r a");
  EXPECT_EQ(word("\xe0s", 0), "a s");  // às
  EXPECT_EQ(word("casa", 0), "k a1 - z a");  // other words are stressed anywhere
}

TEST(Stress, MarkStressDirectly) {
  EXPECT_EQ(words(mark_stress(ps(), list_of("k a - z a"), 1, 1)), "k a - z a1");
  EXPECT_EQ(words(mark_stress(ps(), list_of("k a - z a"), 2, 0)), "k a2 - z a");
  EXPECT_EQ(words(mark_stress(ps(), list_of("k a - z a"), 1, -1)), "k a - z a");
  EXPECT_EQ(words(mark_stress(ps(), list_of("p a j s"), 1, 0)), "p a1 j s");  // glides are not vowels
  EXPECT_EQ(words(assign_stress(ps(), "x", list_of("k a - z a1"), 1)), "k a - z a1");
  EXPECT_EQ(words(assign_stress(ps(), "x", nullptr, 1)), "");
}

TEST(MidVowels, ContextRules) {
  EXPECT_EQ(word("feltro"), "f eh1 w - t r u");  // w before a consonant
  EXPECT_EQ(word("terra"), "t eh1 - h a");       // e before h
  EXPECT_EQ(word("certo"), "s eh1 r - t u");     // pair r t
  EXPECT_EQ(word("porta"), "p oh1 r - t a");     // pair r t after o
  EXPECT_EQ(word("perto"), "p eh1 r - t u");
  EXPECT_EQ(word("seco"), "s e1 - k u");         // no opening context
  EXPECT_EQ(word("gordo"), "g oh1 r - d u");     // pair r d
  EXPECT_EQ(word("povo"), "p o1 - v u");
  EXPECT_EQ(word("meu", 1), "m e1 w");           // w at the end opens nothing
}

TEST(MidVowels, WordLists) {
  EXPECT_EQ(word("verde"), "v e1 r - jh i");  // listed close although r jh would open
  EXPECT_EQ(word("porto"), "p o1 r - t u");
  EXPECT_EQ(word("escola"), "e s - k oh1 - l a");
  EXPECT_EQ(word("pele"), "p eh1 - l i");
  EXPECT_EQ(word("pipoca"), "p i - p oh1 - k a");
  EXPECT_EQ(word("espera"), "e s - p eh1 - r a");
  Value* l = list_of("k e1 - z a");
  open_mid_vowels(ps(), "casa", l);  // not listed, no context
  EXPECT_EQ(words(l), "k e1 - z a");
}

// The table itself is checked against its data file by gen_open_words.py.
TEST(MidVowels, OpenWordLookupDoesNotAllocate) {
  EXPECT_FALSE(is_open_mid_vowel_word("casa"));
  EXPECT_FALSE(is_open_mid_vowel_word(""));
  uint64_t before = heap_alloc_count();
  EXPECT_TRUE(is_open_mid_vowel_word("escola"));
  EXPECT_EQ(heap_alloc_count(), before);
}

TEST(Words, LetterGroups) {
  EXPECT_EQ(word("cedo"), "s e1 - d u");
  EXPECT_EQ(word("ca\xe7" "a"), "k a1 - s a");  // caça
  EXPECT_EQ(word("chave"), "sh a1 - v i");
  EXPECT_EQ(word("filho"), "f i1 - lj u");
  EXPECT_EQ(word("ninho"), "n in1 - ni u");
  EXPECT_EQ(word("carro"), "k a1 - h u");
  EXPECT_EQ(word("rato"), "h a1 - t u");
  EXPECT_EQ(word("honra"), "on1 - h a");
  EXPECT_EQ(word("caro"), "k a1 - r u");
  EXPECT_EQ(word("passo"), "p a1 - s u");
  EXPECT_EQ(word("desde"), "d e1 z - jh i");
  EXPECT_EQ(word("nascer"), "n a - s e1 r");
  EXPECT_EQ(word("t\xe1xi"), "t a1 k - s i");  // táxi
  EXPECT_EQ(word("exame"), "e - z a1 - m i");
  EXPECT_EQ(word("caixa"), "k a1 j - sh a");
  EXPECT_EQ(word("xale"), "sh a1 - l i");
  EXPECT_EQ(word("texto"), "t eh1 s - t u");  // pair s t
  EXPECT_EQ(word("quente"), "k en1 - ch i");
  EXPECT_EQ(word("quando"), "k w an1 - d u");
  EXPECT_EQ(word("guerra"), "g eh1 - h a");
  EXPECT_EQ(word("l\xedngua"), "l in1 - g w a");  // língua
  EXPECT_EQ(word("frequente"), "f r e - k w en1 - ch i");
  EXPECT_EQ(word("gente"), "zh en1 - ch i");
  EXPECT_EQ(word("tia"), "ch i1 - a");
  EXPECT_EQ(word("dia"), "jh i1 - a");
  EXPECT_EQ(word("sal"), "s a1 w");
  EXPECT_EQ(word("campo"), "k an1 - p u");
  EXPECT_EQ(word("bem"), "b en1 j");
  EXPECT_EQ(word("som"), "s on1 w");
  EXPECT_EQ(word("p\xe3" "es"), "p an1 j s");  // pães
  EXPECT_EQ(word("le\xf5" "es"), "l e - on1 j s");  // leões
  EXPECT_EQ(word("livros"), "l i1 v - r u s");  // v r is no onset
  EXPECT_EQ(word("feliz"), "f e - l i1 s");
  EXPECT_EQ(word("dizer"), "jh i - z e1 r");
  EXPECT_EQ(word("lingui\xe7" "a"), "l in - g w i1 - s a");  // linguiça
  EXPECT_EQ(word("cora\xe7\xe3o"), "k o - r a - s an1 w");  // coração
}

TEST(Words, CompoundsAndSpelling) {
  EXPECT_EQ(word("guarda-chuva"), "g w a1 r - d a - sh u1 - v a");
  EXPECT_EQ(word("mais-alto"), "m a1 j z - a1 w - t u");   // s before a vowel joins as z
  EXPECT_EQ(word("mais-tarde"), "m a1 j s - t a1 r - jh i");  // not before a consonant
  EXPECT_EQ(word("-casa"), "k a1 - z a");
  EXPECT_EQ(word("casa-"), "k a1 - z a");
  EXPECT_EQ(word("cpf"), "s e1 - p e1 - eh1 - f i");
  EXPECT_EQ(word("rs"), "eh1 - h i - eh1 - s i");
  EXPECT_EQ(word("a.b."), "a1 - b e1");
  EXPECT_EQ(word(""), "");
  EXPECT_EQ(word_to_phones(ps(), nullptr, 1), nullptr);
  EXPECT_EQ(words(join_parts(ps(), nullptr, list_of("a"))), "a");
  EXPECT_EQ(words(join_parts(ps(), list_of("a s"), nullptr)), "a s");
  EXPECT_EQ(words(join_parts(ps(), list_of("a s"), list_of("a1"))), "a z - a1");
  EXPECT_EQ(words(join_parts(ps(), list_of("a s"), list_of("- a1"))), "a s - - a1");  // "-" is no vowel
}

TEST(Words, LoanwordsAndAbbreviations) {
  EXPECT_EQ(word("site"), "s a1 j - ch i");
  EXPECT_EQ(word("email"), "i - m e1 j w");
  EXPECT_EQ(word("ok"), "o - k e1 j");
  EXPECT_EQ(word("software"), "s oh1 f - ch i - w eh r");
  EXPECT_EQ(word("ipva"), "i - p e - v e - a1");
  EXPECT_EQ(word("thiago"), "ch i - a1 - g u");
}

// An utterance with two phrases: "de casa" "de".
Utterance* two_phrases(bool with_phoneset) {
  Utterance* u = utterance_new();
  if (with_phoneset) features_set(u->features, "phoneset", phoneset_pt_br_value());
  Relation* word_rel = utterance_new_relation(u, "Word");
  Relation* phrases = utterance_new_relation(u, "Phrase");
  Item* p1 = relation_append(phrases, nullptr);
  Item* p2 = relation_append(phrases, nullptr);
  const char* names[] = {"de", "casa", "de"};
  for (int i = 0; i < 3; ++i) {
    Item* w = relation_append(word_rel, nullptr);
    item_set_string(w, "name", names[i]);
    item_append_daughter(i < 2 ? p1 : p2, w);
  }
  return u;
}

TEST(WordToSegments, PhraseFinalComesFromThePhraseRelation) {
  Utterance* u = two_phrases(true);
  Item* w = utterance_relation(u, "Word")->head;
  EXPECT_EQ(words(wordtosegments_func(w)), "jh i");
  EXPECT_EQ(words(wordtosegments_func(w->next)), "k a1 - z a");
  EXPECT_EQ(words(wordtosegments_func(w->next->next)), "jh i1");
  // A word outside any phrase counts as phrase-final.
  Item* lone = relation_append(utterance_relation(u, "Word"), nullptr);
  item_set_string(lone, "name", "de");
  EXPECT_EQ(words(wordtosegments_func(lone)), "jh i1");
  Item* unnamed = relation_append(utterance_relation(u, "Word"), nullptr);
  EXPECT_EQ(wordtosegments_func(unnamed), nullptr);
  utterance_delete(u);
}

TEST(WordToSegmentsDeathTest, MissingPhonesetEndsTheProcess) {
  EXPECT_EXIT(
      {
        Utterance* u = two_phrases(false);
        wordtosegments_func(utterance_relation(u, "Word")->head);
      },
      testing::ExitedWithCode(255), "VAL: tried to access phoneset");
}

}  // namespace
