#include "lang_pt_br/phrasing.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "core/featfuncs.h"
#include "core/path.h"
#include "core/platform.h"
#include "lang_pt_br/pos.h"
#include "tests/support/build_utt.h"

namespace {

struct P {
  std::string name;
  std::string words;  // separated by spaces
  std::string punc;   // after the last word
  std::string prepunc = "";  // before the first word
};

// One phrase item per P, one token per word, punctuation on the tokens.
Utterance* sentence(const std::vector<P>& ps) {
  std::vector<testutt::Phrase> phrases;
  for (const P& p : ps) {
    testutt::Phrase ph{p.name, {}};
    std::istringstream in(p.words);
    std::string w;
    while (in >> w) ph.words.push_back({w, {{1, {"a"}}}});
    phrases.push_back(ph);
  }
  Utterance* u = testutt::build(phrases);
  register_feature_functions(u->ffunctions);
  feature_function_register(u->ffunctions, "gpos", gpos);
  int t = 0;
  for (const testutt::Phrase& ph : phrases) {
    const P& p = ps[&ph - phrases.data()];
    if (ph.words.empty()) continue;
    if (!p.prepunc.empty()) item_set_string(testutt::nth(u, "Token", t), "prepunctuation", p.prepunc.c_str());
    t += static_cast<int>(ph.words.size());
    if (!p.punc.empty()) item_set_string(testutt::nth(u, "Token", t - 1), "punc", p.punc.c_str());
  }
  return u;
}

std::string tone(Utterance* u, int phrase) {
  Value* v = phrasesylendtone_func(testutt::nth(u, "Phrase", phrase));
  return v ? value_string(v) : "none";
}

// Tone of the last phrase of a one-sentence utterance.
std::string last_tone(const std::vector<P>& ps) {
  Utterance* u = sentence(ps);
  std::string t = tone(u, static_cast<int>(ps.size()) - 1);
  utterance_delete(u);
  return t;
}

TEST(PhraseTone, StatementsAndMinorBreaks) {
  EXPECT_EQ(last_tone({{"BB", "eu moro aqui", "."}}), "L");
  EXPECT_EQ(last_tone({{"BB", "eu moro aqui", ""}}), "L");
  EXPECT_EQ(last_tone({{"BB", "eu moro aqui", "!"}}), "L");
  Utterance* u = sentence({{"B", "quando chove", ","}, {"BB", "fico em casa", "."}, {"X", "outro", ""}});
  EXPECT_EQ(tone(u, 0), "L*");
  EXPECT_EQ(tone(u, 1), "L");
  EXPECT_EQ(tone(u, 2), "none");  // names other than "B" and "BB" get no tone
  utterance_delete(u);
}

TEST(PhraseTone, YesNoQuestionEndsHigh) {
  EXPECT_EQ(last_tone({{"BB", "voc\xea mora aqui", "?"}}), "H");  // você mora aqui?
  EXPECT_EQ(last_tone({{"BB", "Que bom", "?"}}), "H");            // capital "Que" is no wh-word
  // "?!" ends in "!", not in a question mark.
  EXPECT_EQ(last_tone({{"BB", "voc\xea mora aqui", "?!"}}), "L");
  // A question mark before other punctuation does not count either.
  EXPECT_EQ(last_tone({{"BB", "voc\xea mora aqui", "?\""}}), "L");
}

TEST(PhraseTone, QuestionTagNe) {
  EXPECT_EQ(last_tone({{"BB", "n\xe9", "?"}}), "H");             // né?
  EXPECT_EQ(last_tone({{"B", "bonito", ","}, {"BB", "n\xe9", "?"}}), "H");
  EXPECT_EQ(last_tone({{"BB", "quem", "?"}}), "L");               // one wh-word
  EXPECT_EQ(last_tone({{"BB", "n\xe9 quem", "?"}}), "H");         // two words: not the tag
}

TEST(PhraseTone, WhQuestionStartPatterns) {
  // 1. wp first.
  EXPECT_EQ(last_tone({{"BB", "onde voc\xea mora", "?"}}), "L");
  // 2. cc, in or art, then wp.
  EXPECT_EQ(last_tone({{"BB", "e onde voc\xea mora", "?"}}), "L");
  EXPECT_EQ(last_tone({{"BB", "de onde voc\xea vem", "?"}}), "L");
  EXPECT_EQ(last_tone({{"BB", "o que voc\xea quer", "?"}}), "L");
  // 3. cc, in, wp.
  EXPECT_EQ(last_tone({{"BB", "e de onde voc\xea vem", "?"}}), "L");
  // 4. cc, art, wp.
  EXPECT_EQ(last_tone({{"BB", "mas o que voc\xea quer", "?"}}), "L");
  // Near misses stay yes/no questions.
  EXPECT_EQ(last_tone({{"BB", "voc\xea sabe onde", "?"}}), "H");  // wp third after content
  EXPECT_EQ(last_tone({{"BB", "de de onde", "?"}}), "H");         // in, in, wp
  EXPECT_EQ(last_tone({{"BB", "e e onde", "?"}}), "H");           // cc, cc, wp
  EXPECT_EQ(last_tone({{"BB", "e", "?"}}), "H");                  // missing words match nothing
}

TEST(PhraseTone, WhWordInAnEarlierPhraseOfTheSentence) {
  EXPECT_EQ(last_tone({{"B", "onde", ","}, {"BB", "voc\xea mora", "?"}}), "L");
  // The previous sentence's wh-word does not count.
  Utterance* u = sentence({{"BB", "onde fica", "?"}, {"BB", "voc\xea sabe", "?"}});
  EXPECT_EQ(tone(u, 0), "L");
  EXPECT_EQ(tone(u, 1), "H");
  EXPECT_EQ(is_wh_question(testutt::nth(u, "Phrase", 1)), 0);
  utterance_delete(u);
}

TEST(PhraseTone, AlternativeQuestion) {
  // você quer café, ou chá?
  EXPECT_EQ(last_tone({{"B", "voc\xea quer caf\xe9", ","}, {"BB", "ou ch\xe1", "?"}}), "L");
  EXPECT_EQ(last_tone({{"B", "caf\xe9", ","}, {"B", "leite", ","}, {"BB", "ou ch\xe1", "?"}}), "L");
  // Without the comma, or with "ou" alone in the sentence, it is a yes/no question.
  EXPECT_EQ(last_tone({{"B", "voc\xea quer caf\xe9", ";"}, {"BB", "ou ch\xe1", "?"}}), "H");
  EXPECT_EQ(last_tone({{"BB", "ou ch\xe1", "?"}}), "H");
  EXPECT_EQ(last_tone({{"B", "caf\xe9", ","}, {"BB", "e ch\xe1", "?"}}), "H");
  Utterance* u = sentence({{"B", "caf\xe9", ","}, {"BB", "ou ch\xe1", "?"}});
  uint64_t before = heap_alloc_count();
  EXPECT_EQ(tone(u, 1), "L");
  EXPECT_EQ(heap_alloc_count(), before);  // the tone is a constant; nothing is made
  EXPECT_EQ(is_alternative_question(testutt::nth(u, "Phrase", 0)), 1);  // same sentence from its start
  EXPECT_EQ(is_alternative_question(testutt::nth(u, "Phrase", 1)), 1);
  EXPECT_EQ(is_wh_question(testutt::nth(u, "Phrase", 1)), 0);
  utterance_delete(u);
}

TEST(PhraseTone, InvertedQuestionMarkStartsTheSentence) {
  // A wh-word before the "¿" belongs to another sentence.
  EXPECT_EQ(last_tone({{"B", "onde", ","}, {"B", "ent\xe3o", ",", "\xbf"}, {"BB", "voc\xea vem", "?"}}), "H");
  EXPECT_EQ(last_tone({{"B", "onde", ","}, {"BB", "voc\xea vem", "?"}}), "L");
  // ... and the alternative chain starts at the "¿" phrase.
  EXPECT_EQ(last_tone({{"B", "sim", "."}, {"B", "caf\xe9", ",", "\xbf"}, {"BB", "ou ch\xe1", "?"}}), "L");
  EXPECT_EQ(last_tone({{"B", "sim", "."}, {"B", "caf\xe9", ","}, {"BB", "ou ch\xe1", "?"}}), "H");
  // "¿" on the last phrase itself.
  EXPECT_EQ(last_tone({{"B", "onde", ","}, {"BB", "voc\xea vem", "?", "\xbf"}}), "H");
}

TEST(PhraseTone, ItemOutsideThePhraseRelation) {
  Utterance* u = sentence({{"BB", "onde", "?"}});
  Item* w = testutt::nth(u, "Word", 0);  // not in "Phrase"
  item_set_string(w, "name", "BB");
  EXPECT_EQ(std::string(value_string(phrasesylendtone_func(w))), "L");
  EXPECT_EQ(is_wh_question(w), 0);
  EXPECT_EQ(is_alternative_question(w), 0);
  item_set_string(w, "name", "B");
  EXPECT_EQ(std::string(value_string(phrasesylendtone_func(w))), "L*");
  EXPECT_EQ(phrasesylendtone_func(nullptr), nullptr);
  utterance_delete(u);
}

TEST(PhraseTone, PhraseWithoutWordsFallsThrough) {
  Utterance* u = sentence({{"BB", "", "?"}, {"B", "", ""}});
  EXPECT_EQ(tone(u, 0), "L");  // no token carries the "?"
  EXPECT_EQ(tone(u, 1), "L*");
  utterance_delete(u);
}

}  // namespace
