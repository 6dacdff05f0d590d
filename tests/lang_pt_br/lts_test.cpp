// The rewrite-rule engine, phone strings, word entries and the Brazilian
// Portuguese letter-to-sound rules.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/phoneset.h"
#include "core/platform.h"
#include "core/value.h"
#include "lang_pt_br/lts.h"
#include "lang_pt_br/phoneset_pt_br.h"
#include "tests/support/text.h"

using testtext::words;

namespace {

std::string apply(const LtsRule* rules, const char* input) {
  LtsBuffer out{};
  lts_apply(input, rules, &out);
  std::string s = out.text ? out.text : "";
  lts_buffer_free(&out);
  return s;
}

constexpr const char* kA[] = {"a", nullptr};
constexpr const char* kB[] = {"b", nullptr};
constexpr const char* kX[] = {"x", nullptr};
constexpr const char* kHash[] = {"#", nullptr};
constexpr const char* kStar[] = {"*", nullptr};
constexpr const char* kPlus[] = {"+", nullptr};
constexpr const char* kOptA[] = {"", "a", nullptr};
constexpr const char* kNoAlternatives[] = {nullptr};
constexpr LtsElement kEmpty[] = {nullptr};

// Left context "a" "b": the letters directly before the target must be "ab".
constexpr LtsElement kLeftAB[] = {kA, kB, nullptr};
// Left context "#" "a"*: the target follows the start and any number of a's.
constexpr LtsElement kLeftHashAStar[] = {kHash, kA, kStar, nullptr};
// Right context "a"+ "#".
constexpr LtsElement kRightAPlusHash[] = {kA, kPlus, kHash, nullptr};
// Right context "x": needs one more letter.
constexpr LtsElement kRightX[] = {kX, nullptr};
// Right context with an optional "a" then "b".
constexpr LtsElement kRightOptAB[] = {kOptA, kB, nullptr};
// A context whose first element has no alternatives is empty.
constexpr LtsElement kEndsAtOnce[] = {kNoAlternatives, kX, nullptr};

TEST(LtsEngine, LeftContextIsReadFromTheTargetBackwards) {
  const LtsRule rules[] = {{kLeftAB, "c", kEmpty, "C|"}, {nullptr, nullptr, nullptr, nullptr}};
  EXPECT_EQ(apply(rules, "abc"), "C|");
  EXPECT_EQ(apply(rules, "bac"), "");  // "ba" before c is the wrong order
  EXPECT_EQ(apply(rules, "c"), "");    // nothing before the start of the input
}

TEST(LtsEngine, RepetitionOperators) {
  const LtsRule star[] = {{kLeftHashAStar, "b", kEmpty, "B|"}, {nullptr, nullptr, nullptr, nullptr}};
  EXPECT_EQ(apply(star, "#b"), "B|");     // zero repetitions
  EXPECT_EQ(apply(star, "#aaab"), "B|");  // several
  EXPECT_EQ(apply(star, "#cab"), "");     // something else between
  const LtsRule plus[] = {{kEmpty, "b", kRightAPlusHash, "B|"}, {nullptr, nullptr, nullptr, nullptr}};
  EXPECT_EQ(apply(plus, "b#"), "");  // "+" needs one at least
  EXPECT_EQ(apply(plus, "ba#"), "B|");
  EXPECT_EQ(apply(plus, "baaa#"), "B|");
  EXPECT_EQ(apply(plus, "baac#"), "");
}

TEST(LtsEngine, BoundariesAndOptionalElements) {
  const LtsRule rules[] = {{kEmpty, "a", kRightX, "X|"}, {kEmpty, "b", kRightOptAB, "Y|"},
                           {kEmpty, "c", kEndsAtOnce, "Z|"}, {nullptr, nullptr, nullptr, nullptr}};
  EXPECT_EQ(apply(rules, "a"), "");      // the right context runs past the end
  EXPECT_EQ(apply(rules, "ax"), "X|");  // x itself has no rule and is dropped
  EXPECT_EQ(apply(rules, "bb"), "Y|");  // the empty alternative makes "a" optional
  EXPECT_EQ(apply(rules, "bab"), "Y|");
  EXPECT_EQ(apply(rules, "c"), "Z|");  // an empty first element ends the context
}

TEST(LtsEngine, SilentOutputsTableOrderAndUnknownCharacters) {
  const LtsRule rules[] = {{kEmpty, "ab", kEmpty, ""},
                           {kEmpty, "a", kEmpty, "first|"},
                           {kEmpty, "a", kEmpty, "second|"},
                           {nullptr, nullptr, nullptr, nullptr}};
  EXPECT_EQ(apply(rules, "aba"), "first|");  // "ab" consumed silently
  EXPECT_EQ(apply(rules, "A1.a"), "first|");  // no rule: dropped one by one
  EXPECT_EQ(apply(rules, ""), "");
}

TEST(LtsEngine, SubrangeDoesNotLookOutside) {
  const LtsRule rules[] = {{kLeftAB, "c", kRightX, "C|"}, {nullptr, nullptr, nullptr, nullptr}};
  LtsBuffer out{};
  lts_apply("abcx", 0, 4, rules, &out);
  EXPECT_STREQ(out.text, "C|");
  lts_apply("abcx", 1, 3, rules, &out);  // "a" is outside the range
  EXPECT_STREQ(out.text, "");
  lts_apply("abcx", 0, 3, rules, &out);  // "x" is outside the range
  EXPECT_STREQ(out.text, "");
  lts_buffer_free(&out);
}

TEST(LtsEngine, GrowsItsBufferAndDoesNotAllocateOnceLargeEnough) {
  const LtsRule rules[] = {{kEmpty, "a", kEmpty, "abcdefghij|"}, {nullptr, nullptr, nullptr, nullptr}};
  std::string input(500, 'a');
  LtsBuffer out{};
  lts_apply(input.c_str(), rules, &out);
  EXPECT_EQ(strlen(out.text), 5500u);
  uint64_t before = heap_alloc_count();
  lts_apply(input.c_str(), rules, &out);
  lts_apply("#casa#", pt_br_lts_rules, &out);
  EXPECT_EQ(heap_alloc_count(), before);
  EXPECT_STREQ(out.text, "k|a|z|a|");
  lts_buffer_free(&out);
}

TEST(PhoneString, SplitsAtBarsAndKeepsSyllableMarks) {
  EXPECT_EQ(words(phone_string_to_list("b|oh|k|s|")), "b oh k s");
  EXPECT_EQ(words(phone_string_to_list("ch|j|u||")), "ch j u");
  EXPECT_EQ(words(phone_string_to_list("k|a|-z|a1|")), "k a - z a1");
  EXPECT_EQ(words(phone_string_to_list("a--b")), "a - - b");
  EXPECT_EQ(phone_string_to_list(""), nullptr);
  EXPECT_EQ(phone_string_to_list("||"), nullptr);
}

constexpr const char* kAny[] = {"*casa", "k", "a1", "-", "z", "a", nullptr};
constexpr const char* kNoun[] = {"nsede", "s", "e1", "-", "jh", "i", nullptr};
constexpr const char* kVerb[] = {"vsede", "s", "eh1", "-", "jh", "i", nullptr};
constexpr const char* kEmptyEntry[] = {"0nada", nullptr};
constexpr const char* kNadaLater[] = {"0nada", "n", "a1", "-", "d", "a", nullptr};
constexpr WordEntry kTable[] = {kAny, kNoun, kVerb, kEmptyEntry, kNadaLater, nullptr};

TEST(Lexicon, LookupByWordAndPartOfSpeech) {
  EXPECT_EQ(words(lexicon_lookup(kTable, "casa", "v")), "k a1 - z a");  // "*" fits any request
  EXPECT_EQ(words(lexicon_lookup(kTable, "casa", nullptr)), "k a1 - z a");
  EXPECT_EQ(words(lexicon_lookup(kTable, "sede", "v")), "s eh1 - jh i");
  EXPECT_EQ(words(lexicon_lookup(kTable, "sede", "n")), "s e1 - jh i");
  EXPECT_EQ(words(lexicon_lookup(kTable, "sede", "")), "s e1 - jh i");  // "0": the word alone decides
  EXPECT_EQ(lexicon_lookup(kTable, "sede", "a"), nullptr);
  EXPECT_EQ(lexicon_lookup(kTable, "nada", nullptr), nullptr);  // the first match has no phones
  EXPECT_EQ(lexicon_lookup(kTable, "outra", nullptr), nullptr);
}

TEST(Lexicon, VoiceLexiconObject) {
  EXPECT_STREQ(vox_pt_br_selvana_lexicon.name, "vox_pt_br_selvana");
  for (const WordEntry* e = vox_pt_br_selvana_lexicon.entries; *e; ++e) {
    EXPECT_EQ((*e)[0][0], '0');
    for (const char* const* ph = *e + 1; *ph; ++ph) {
      std::string p = *ph;
      if (p == "-") continue;
      if (p.back() == '1') p.pop_back();
      EXPECT_GE(phone_id(&phoneset_pt_br, p.c_str()), 0) << (*e)[0] << " " << *ph;
    }
  }
  EXPECT_EQ(words(lexicon_lookup(vox_pt_br_selvana_lexicon.entries, "rapaz", nullptr)), "h a - p a1 j s");
  EXPECT_EQ(words(lexicon_lookup(vox_pt_br_selvana_lexicon.entries, "\xe0", "0")), "a1 - a");  // à
}

TEST(PtBrRules, TableShapeAndPhones) {
  int n = 0;
  for (const LtsRule* r = pt_br_lts_rules; r->left; ++r, ++n) {
    ASSERT_NE(r->right, nullptr);
    ASSERT_GT(strlen(r->target), 0u);
    std::string out = r->output;
    size_t i = 0;
    while (i < out.size()) {
      size_t j = out.find('|', i);
      ASSERT_NE(j, std::string::npos) << "rule " << n << " output " << out;
      std::string p = out.substr(i, j - i);
      if (!p.empty()) {
        if (p.back() == '1') p.pop_back();
        EXPECT_GE(phone_id(&phoneset_pt_br, p.c_str()), 0) << "rule " << n << " (" << r->target << "): " << out;
      }
      i = j + 1;
    }
  }
  EXPECT_EQ(n, pt_br_lts_rule_count());
  // The table ends with the rule that drops any remaining boundary.
  EXPECT_STREQ(pt_br_lts_rules[n - 1].target, "#");
  EXPECT_STREQ(pt_br_lts_rules[n - 1].output, "");
}

TEST(PtBrRules, IndexGivesTheSameOutputAsTheTable) {
  int indexed = 0;
  for (int b = 0; b < 256; ++b) {
    int last = -1;
    for (const uint16_t* i = pt_br_lts_index[b]; i && *i != kLtsIndexEnd; ++i, ++indexed) {
      EXPECT_GT(*i, last);  // table order
      EXPECT_EQ(static_cast<unsigned char>(pt_br_lts_rules[*i].target[0]), b);
      last = *i;
    }
  }
  EXPECT_EQ(indexed, pt_br_lts_rule_count());  // every rule indexed once
  const char* samples[] = {"#casa#", "#email#", "#design#", "#designado#", "#\xe0#", "#a#", "#exame#",
                         "#ch\xe3o#", "#quinquagen\xe1rio#", "#xavier#", "#thiago#", "#walter#",
                         "#ZZ9#", "#", "", "#lingui\347a#", "#pinguins#", "#sequestro#"};
  LtsBuffer a{}, b{};
  for (const char* w : samples) {
    lts_apply(w, pt_br_lts_rules, &a);
    lts_apply_indexed(w, 0, static_cast<int32_t>(strlen(w)), pt_br_lts_rules, pt_br_lts_index, &b);
    EXPECT_STREQ(a.text, b.text) << w;
  }
  uint64_t before = heap_alloc_count();
  lts_apply_indexed("#casa#", 0, 6, pt_br_lts_rules, pt_br_lts_index, &b);
  EXPECT_EQ(heap_alloc_count(), before);
  lts_buffer_free(&a);
  lts_buffer_free(&b);
}

TEST(PtBrRules, WholeWordsAndTableOrder) {
  EXPECT_EQ(words(lts_word("email")), "i m e j w");
  EXPECT_EQ(words(lts_word("download")), "d a w l o1 w jh i s");
  EXPECT_EQ(words(lts_word("ok")), "o k e1 j");
  EXPECT_EQ(words(lts_word("site")), "s a1 j ch i");
  EXPECT_EQ(words(lts_word("blog")), "b l oh g");
  // "designa" is tried before "design".
  EXPECT_EQ(words(lts_word("design")), "jh i z a1 j n");
  EXPECT_EQ(words(lts_word("designar")), "d e z i g n a r");
  // Whole-word rules need both boundaries.
  EXPECT_EQ(words(lts_word("sites")), "s a1 j ch i s");
  EXPECT_EQ(words(lts_word("pelo")), "p e l u");
  EXPECT_EQ(words(lts_word("pelos")), "p e l u s");
}

TEST(PtBrRules, AccentedAndRareLetters) {
  EXPECT_EQ(words(lts_word("l\xe2mpada")), "l an1 p a d a");    // lâmpada
  EXPECT_EQ(words(lts_word("c\xe2mara")), "k an1 m a r a");     // câmara: âm before a vowel
  EXPECT_EQ(words(lts_word("av\xf4")), "a v o1");               // avô
  EXPECT_EQ(words(lts_word("av\xf3")), "a v oh1");              // avó
  EXPECT_EQ(words(lts_word("m\xe3" "e")), "m an j");                // mãe
  EXPECT_EQ(words(lts_word("p\xf5" "e")), "p on j");            // põe
  EXPECT_EQ(words(lts_word("ag\xfc" "entar")), "a g w en t a r");  // agüentar
  EXPECT_EQ(words(lts_word("tranq\xfc" "ilo")), "t r an k w i l u");  // tranqüilo
  EXPECT_EQ(words(lts_word("ba\xfa")), "b a u1");               // baú
  EXPECT_EQ(words(lts_word("yoga")), "j o g a");
  EXPECT_EQ(words(lts_word("kiwi")), "k i w i");
  EXPECT_EQ(words(lts_word("hotel")), "o t eh w");               // e before a final l
  EXPECT_EQ(words(lts_word("fazem")), "f a z en j");
  EXPECT_EQ(words(lts_word("lhe")), "lj i");
  EXPECT_EQ(words(lts_word("assado")), "a s a d u");
  EXPECT_EQ(words(lts_word("piscina")), "p i s i n a");           // sc before a front vowel
  EXPECT_EQ(words(lts_word("mexer")), "m e sh e r");
  EXPECT_EQ(words(lts_word("\xeaxito")), "e1 z i t u");          // êxito
}

TEST(PtBrRules, SilentLettersAndCharactersWithoutRules) {
  EXPECT_EQ(lts_word(""), nullptr);
  EXPECT_EQ(lts_word("#"), nullptr);
  EXPECT_EQ(lts_word("123!"), nullptr);
  EXPECT_EQ(words(lts_word("hoje")), "o zh i");      // h is silent
  EXPECT_EQ(words(lts_word("acqua")), "a k w a");    // c before q is silent
  EXPECT_EQ(words(lts_word("CASA")), "");            // capitals have no rules
  EXPECT_EQ(words(lts_word("tio")), "ch j u");       // "ch|j|u||" loses its empty piece
  std::string long_word;  // longer than any word kept on the stack
  for (int i = 0; i < 150; ++i) long_word += "ba";
  Value* phones = lts_word(long_word.c_str());
  EXPECT_EQ(value_list_length(phones), 300);
  value_release(phones);
}

}  // namespace
