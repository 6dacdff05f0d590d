// X-SAMPA conversion and the post-lexical rule.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/features.h"
#include "core/item.h"
#include "core/platform.h"
#include "core/value.h"
#include "lang_pt_br/phoneset_pt_br.h"
#include "lang_pt_br/postlex.h"
#include "lang_pt_br/xsampa.h"
#include "../support/build_utt.h"
#include "tests/support/text.h"

using testtext::words;

namespace {

std::string conv(const char* xsampa) { return words(xsampa_to_xkelto_func(xsampa)); }

std::string tokenize(const char* xsampa) {
  LtsBuffer out{};
  xsampa_tokenize(xsampa, &out);
  std::string s = out.text;
  lts_buffer_free(&out);
  return s;
}

std::string stress_fix(const char* s) {
  std::string copy = s;
  fix_stress_marks(copy.data());
  return copy.c_str();
}

std::string syllable_fix(const char* s) {
  std::string copy = s;
  fix_syllable_marks(copy.data());
  return copy.c_str();
}

// The tokenizer takes the longest symbol: every multi-character symbol comes
// before every single character.
TEST(Xsampa, LongerSymbolsComeFirst) {
  bool single_seen = false;
  for (const XsampaSymbol& s : xsampa_symbols) {
    if (strlen(s.symbol) == 1) single_seen = true;
    else EXPECT_FALSE(single_seen) << s.symbol;
  }
}

TEST(Xsampa, WorkedExample) {
  EXPECT_EQ(tokenize("ka.%za"), "[$][k][a][.][%][z][a][$]");
  LtsBuffer out{};
  lts_apply("[$][k][a][.][%][z][a][$]", xsampa_to_xkelto_rules, &out);
  EXPECT_STREQ(out.text, "k|a|--1z|a|");
  lts_buffer_free(&out);
  EXPECT_EQ(stress_fix("k|a|--1z|a|"), "k|a|--z|a1|");
  EXPECT_EQ(syllable_fix("k|a|--z|a1|"), "k|a|-z|a1|");
  EXPECT_EQ(conv("ka.%za"), "k a - z a1");
}

TEST(Xsampa, DiacriticsKeptAndDropped) {
  EXPECT_EQ(conv("a~"), "an");
  EXPECT_EQ(conv("a_~"), "an");
  EXPECT_EQ(conv("a:"), "a - a");
  EXPECT_EQ(tokenize("a="), "[$][a][$]");  // "=" may not follow a vowel: consumed and lost
  EXPECT_EQ(conv("l="), "e l");
  EXPECT_EQ(tokenize("t_hi"), "[$][t][i][$]");  // aspiration is not kept
  EXPECT_EQ(tokenize("a~:"), "[$][a]:~[$]");    // kept diacritics in table order
  EXPECT_EQ(tokenize("#a_"), "[$][a][$]");      // stray characters vanish
  EXPECT_EQ(conv(""), "");
  EXPECT_EQ(xsampa_to_xkelto_func(nullptr), nullptr);
}

TEST(Xsampa, ContextRules) {
  EXPECT_EQ(conv("4a"), "h a");      // a tap at the start
  EXPECT_EQ(conv("\"4a"), "h a1");   // also after a stress mark
  EXPECT_EQ(conv("a4a"), "a - r a");
  EXPECT_EQ(conv("3`r"), "e r");     // the following r supplies the rhotic
  EXPECT_EQ(conv("3`"), "e r");
  EXPECT_EQ(conv("3:r"), "e r");
  EXPECT_EQ(conv("3:"), "e - e");
  EXPECT_EQ(conv("i@"), "i - a");
  EXPECT_EQ(conv("t@"), "t e");
  EXPECT_EQ(conv("dZa"), "jh a");
  EXPECT_EQ(conv("tSi"), "ch i");
  EXPECT_EQ(conv("@U"), "o - u");
}

TEST(Xsampa, StressAndSyllableRepair) {
  EXPECT_EQ(stress_fix("k|a|1"), "k|a|");                  // no vowel after it
  EXPECT_EQ(stress_fix("1k|a|-1t|"), "k|a1|-t|");           // "-" drops a pending digit
  EXPECT_EQ(stress_fix("12a|"), "a2|");                     // the later digit wins
  EXPECT_EQ(conv("\"Ja"), "ni a1");                       // the digit skips "ni"
  EXPECT_EQ(syllable_fix("-a|"), "a|");                    // a mark at the very start
  EXPECT_EQ(syllable_fix("a|-s|t|"), "a|s|t|");             // no vowel after the mark
  EXPECT_EQ(syllable_fix("a|--b|a|"), "a|-b|a|");
  EXPECT_EQ(conv("ast."), "a s t");
  EXPECT_EQ(conv("\"kaza"), "k a1 - z a");               // syllabify adds the missing boundary
}

// Every vowel phone, one or two letters long, takes the stress digit and
// closes a syllable mark, wherever the repair moves it to.
TEST(Xsampa, EveryVowelPhoneTakesStressAndClosesASyllable) {
  const struct {
    const char* xsampa;
    const char* phone;
  } vowels[] = {{"a", "a"}, {"a~", "an"}, {"e", "e"}, {"E", "eh"}, {"e~", "en"}, {"i", "i"},
                {"i~", "in"}, {"o", "o"}, {"O", "oh"}, {"o~", "on"}, {"u", "u"}, {"u~", "un"}};
  for (const auto& v : vowels) {
    std::string x = v.xsampa, p = v.phone;
    EXPECT_EQ(conv(("\"p" + x).c_str()), "p " + p + "1") << x;
    EXPECT_EQ(conv(("ta.\"p" + x + "s").c_str()), "t a - p " + p + "1 s") << x;
    EXPECT_EQ(conv(("\"p" + x + "w~").c_str()).substr(0, p.size() + 3), "p " + p + "1") << x;
  }
}

TEST(Xsampa, RepairAndTokenizingWorkInPlace) {
  char text[] = "1k|a|--1z|a|-";
  LtsBuffer out{};
  xsampa_tokenize("ka.%za", &out);  // sizes the buffer
  uint64_t before = heap_alloc_count();
  fix_stress_marks(text);
  fix_syllable_marks(text);
  xsampa_tokenize("ka.%za", &out);
  EXPECT_EQ(heap_alloc_count(), before);
  EXPECT_STREQ(text, "k|a1|-z|a1|");
  EXPECT_STREQ(out.text, "[$][k][a][.][%][z][a][$]");
  lts_buffer_free(&out);
}

// A mark dropped at the end shifts the text left; nothing past its old end
// is read or written.
TEST(Xsampa, SyllableRepairStaysInsideTheText) {
  char text[] = "a|-s|t|\0Z";
  fix_syllable_marks(text);
  EXPECT_STREQ(text, "a|s|t|");
  EXPECT_EQ(std::string(text + 7, 2), std::string("\0Z", 2));
}

TEST(Xsampa, ReverseTable) {
  LtsBuffer out{};
  lts_apply("[k][a][z][a][pau]", xkelto_to_xsampa_rules, &out);
  EXPECT_STREQ(out.text, "kaza");  // pau has no rule
  lts_apply("[a1]", xkelto_to_xsampa_rules, &out);
  EXPECT_STREQ(out.text, "");  // nor has a phone with its stress digit
  lts_apply("[ch][eh][lj][an][h]", xkelto_to_xsampa_rules, &out);
  EXPECT_STREQ(out.text, "tSELa~X");
  lts_buffer_free(&out);
}

Utterance* utt(const std::vector<testutt::Phrase>& phrases) {
  Utterance* u = testutt::build(phrases);
  features_set(u->features, "phoneset", phoneset_pt_br_value());
  return u;
}

std::string segments(Utterance* u) {
  std::string s;
  for (Item* i = utterance_relation(u, "Segment")->head; i; i = i->next) {
    if (!s.empty()) s += ' ';
    s += item_feature_string(i, "name");
  }
  return s;
}

TEST(Postlex, FinalSBeforeAVowelIsVoiced) {
  Utterance* u = utt({{"BB", {{"os", {{0, {"u", "s"}}}}, {"amigos", {{0, {"a"}}, {1, {"m", "i"}}, {0, {"g", "u", "s"}}}}}}});
  EXPECT_EQ(postlex_func(u), u);
  EXPECT_EQ(segments(u), "u z a m i g u s");  // the last s has nothing after it
  utterance_delete(u);
  u = utt({{"BB", {{"os", {{0, {"u", "s"}}}}, {"pais", {{1, {"p", "a", "j", "s"}}}}}}});
  postlex_func(u);
  EXPECT_EQ(segments(u), "u s p a j s");
  utterance_delete(u);
  // Before silence the s stays.
  u = utt({{"BB", {{"os", {{0, {"u", "s"}}}}, {"pau", {{0, {"pau"}}}}, {"a", {{0, {"a"}}}}}}});
  postlex_func(u);
  EXPECT_EQ(segments(u), "u s pau a");
  utterance_delete(u);
  // A word without syllables or segments is passed over.
  u = utt({{"BB", {{"x", {}}, {"y", {{0, {}}}}}}});
  postlex_func(u);
  EXPECT_EQ(segments(u), "");
  utterance_delete(u);
}

TEST(PostlexDeathTest, MissingRelationEndsTheProcess) {
  EXPECT_EXIT(
      {
        Utterance* u = utterance_new();
        postlex_func(u);
      },
      testing::ExitedWithCode(255), "");
}

}  // namespace
