// Phrases, syllables and segments built by the host, and the 'phones' and
// 'xsampa' subcommands.
#include <gtest/gtest.h>

#include <string>

#include "core/features.h"
#include "core/item.h"
#include "core/value.h"
#include "host/words.h"
#include "lang_pt_br/phoneset_pt_br.h"
#include "lang_pt_br/word_to_segments.h"
#include "tests/host/run_tool.h"

namespace {

Value* list_of(std::initializer_list<const char*> names) {
  Value* head = nullptr;
  for (auto it = std::rbegin(names); it != std::rend(names); ++it) head = value_cons(value_new_string(*it), head);
  return head;
}

// Tokens with their punctuation; each token has one word of the same name.
Utterance* tokens(std::initializer_list<std::pair<const char*, const char*>> list) {
  Utterance* u = utterance_new();
  Relation* t = utterance_new_relation(u, "Token");
  Relation* w = utterance_new_relation(u, "Word");
  for (const auto& [name, punc] : list) {
    Item* token = relation_append(t, nullptr);
    item_set_string(token, "name", name);
    item_set_string(token, "punc", punc);
    Item* word = item_append_daughter(token, nullptr);
    item_set_string(word, "name", name);
    relation_append(w, word);
  }
  return u;
}

std::string phrase_shape(Utterance* u) {
  std::string s;
  for (Item* p = utterance_relation(u, "Phrase")->head; p; p = p->next) {
    s += item_feature_string(p, "name");
    s += ':';
    for (Item* w = item_first_daughter(p); w; w = item_next(w)) s += std::string(" ") + item_feature_string(w, "name");
    s += ';';
  }
  return s;
}

// "syl(stress): segments | ..." for every word of SylStructure.
std::string structure(Utterance* u) {
  std::string s;
  for (Item* w = utterance_relation(u, "SylStructure")->head; w; w = w->next) {
    s += item_feature_string(w, "name");
    s += " =";
    for (Item* syl = item_first_daughter(w); syl; syl = item_next(syl)) {
      s += ' ';
      s += std::to_string(item_feature_int(syl, "stress"));
      s += '[';
      for (Item* seg = item_first_daughter(syl); seg; seg = item_next(seg)) {
        if (seg != item_first_daughter(syl)) s += ' ';
        s += item_feature_string(seg, "name");
      }
      s += ']';
    }
    s += ';';
  }
  return s;
}

TEST(HostWords, PhrasesBreakAtPunctuation) {
  Utterance* u = tokens({{"quer", ""}, {"caf\xe9", ","}, {"ou", ""}, {"ch\xe1", "?"}, {"sim", ""}});
  build_phrases(u);
  EXPECT_EQ(phrase_shape(u), "B: quer caf\xe9;BB: ou ch\xe1;BB: sim;");
  utterance_delete(u);
  u = tokens({});
  build_phrases(u);
  EXPECT_EQ(phrase_shape(u), "");
  utterance_delete(u);
}

TEST(HostWords, SyllablesAndSegmentsFromAPhoneList) {
  Utterance* u = tokens({{"casa", ""}, {"odd", ""}, {"none", ""}});
  Item* w = utterance_relation(u, "Word")->head;
  Value* casa = list_of({"k", "a1", "-", "z", "a"});
  word_phones_to_items(u, w, casa);
  Value* odd = list_of({"-", "a", "-", "-", "eh1", "-"});  // stray marks make no empty syllable
  word_phones_to_items(u, w->next, odd);
  word_phones_to_items(u, w->next->next, nullptr);
  EXPECT_EQ(structure(u), "casa = 1[k a] 0[z a];odd = 0[a] 1[eh];none =;");
  // Segment and Syllable hold the same objects in order.
  std::string segs;
  for (Item* s = utterance_relation(u, "Segment")->head; s; s = s->next) segs += item_feature_string(s, "name");
  EXPECT_EQ(segs, "kazaaeh");
  int syllables = 0;
  for (Item* s = utterance_relation(u, "Syllable")->head; s; s = s->next) ++syllables;
  EXPECT_EQ(syllables, 4);
  value_release(casa);
  value_release(odd);
  utterance_delete(u);
}

TEST(HostWords, WordsToSegmentsThroughTheVoiceFunction) {
  Utterance* u = tokens({{"os", ""}, {"amigos", ""}, {"de", ","}, {"de", ""}, {"casa", "."}});
  EXPECT_FALSE(words_to_segments(u));  // no wordtosegments_func yet
  features_set(u->features, "phoneset", phoneset_pt_br_value());
  features_set(u->features, "wordtosegments_func",
               value_new_itemfunc(reinterpret_cast<void*>(&wordtosegments_func)));
  build_phrases(u);
  ASSERT_TRUE(words_to_segments(u));
  EXPECT_EQ(structure(u),
            "os = 0[u s];amigos = 0[a] 1[m i] 0[g u s];de = 1[jh i];de = 0[jh i];casa = 1[k a] 0[z a];");
  utterance_delete(u);
}

TEST(HostCommands, PhonesAndXsampa) {
  auto r = testutil::run_selvana("phones 'os amigos de casa, de novo.'");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out,
            "os\tu s\namigos\ta - m i1 - g u s\nde\tjh i\ncasa\tk a1 - z a\nde\tjh i\nnovo\tn o1 - v u\n");
  r = testutil::run_selvana("phones caf\xc3\xa9");  // café, UTF-8 on the command line
  EXPECT_EQ(r.out, "caf\xc3\xa9\tk a - f eh1\n");
  r = testutil::run_selvana("xsampa 'ka.%za'");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "k a - z a1\n");
  r = testutil::run_selvana("xsampa '\"Ja'");
  EXPECT_EQ(r.out, "ni a1\n");
  r = testutil::run_selvana("xsampa");
  EXPECT_EQ(r.status, 2);
  r = testutil::run_selvana("xsampa --voice /nonexistent ka", true);
  EXPECT_EQ(r.status, 1);
}

}  // namespace
