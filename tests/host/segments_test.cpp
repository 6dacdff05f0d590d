// The host's prosody stage (pauses, tones, post-lexical rule, durations) and
// the 'segments' subcommand.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "core/featfuncs.h"
#include "core/features.h"
#include "core/path.h"
#include "host/phrasing.h"
#include "lang_pt_br/phoneset_pt_br.h"
#include "lang_pt_br/phrasing.h"
#include "lang_pt_br/pos.h"
#include "lang_pt_br/postlex.h"
#include "prosody/duration.h"
#include "tests/host/run_tool.h"
#include "tests/support/build_utt.h"

namespace {

// An utterance with the voice's prosody functions, as the host sees them.
Utterance* voice_utterance(const std::vector<testutt::Phrase>& phrases) {
  Utterance* u = testutt::build(phrases);
  Features* f = u->features;
  features_set(f, "phoneset", phoneset_pt_br_value());
  features_set(f, "zdur_cart", value_new_zdur_cart(const_cast<ZdurCart*>(&kZdurCartPtBr)));
  features_set(f, "duration_func", value_new_uttfunc(reinterpret_cast<void*>(&duration_func)));
  features_set(f, "postlex_func", value_new_uttfunc(reinterpret_cast<void*>(&postlex_func)));
  features_set(f, "phrasesylendtone_func", value_new_itemfunc(reinterpret_cast<void*>(&phrasesylendtone_func)));
  register_feature_functions(u->ffunctions);
  feature_function_register(u->ffunctions, "gpos", gpos);
  return u;
}

std::string segment_names(Utterance* u) {
  std::string s;
  for (Item* seg = utterance_relation(u, "Segment")->head; seg; seg = item_next(seg))
    s += std::string(s.empty() ? "" : " ") + item_feature_string(seg, "name");
  return s;
}

const std::vector<testutt::Phrase> kOsAmigos = {
    {"B", {{"os", {{0, {"u", "s"}}}}, {"amigos", {{0, {"a"}}, {1, {"m", "i"}}, {0, {"g", "u", "s"}}}}}},
    {"BB", {{"chegaram", {{0, {"sh", "e"}}, {1, {"g", "a"}}, {0, {"r", "an", "w"}}}}}},
};

TEST(HostProsody, PausesAtTheStartAndAfterEveryPhrase) {
  Utterance* u = voice_utterance(kOsAmigos);
  add_phrase_pauses(u);
  EXPECT_EQ(segment_names(u), "pau u s a m i g u s pau sh e g a r an w pau");
  // The segments are the same objects as in SylStructure.
  Item* s = item_next(utterance_relation(u, "Segment")->head);
  EXPECT_STREQ(feature_path_string(s, "R:SylStructure.parent.parent.name"), "os");
  EXPECT_STREQ(feature_path_string(s, "p.name"), "pau");
  // Running it again gives the same relation.
  add_phrase_pauses(u);
  EXPECT_EQ(segment_names(u), "pau u s a m i g u s pau sh e g a r an w pau");
  utterance_delete(u);
}

TEST(HostProsody, StageSetsTonesVoicingAndEnds) {
  Utterance* u = voice_utterance(kOsAmigos);
  std::string error;
  ASSERT_TRUE(prosody_stage(u, &error)) << error;
  // The s of "os" is voiced before the vowel of "amigos".
  EXPECT_EQ(segment_names(u), "pau u z a m i g u s pau sh e g a r an w pau");
  Item* syl = utterance_relation(u, "Syllable")->head;
  std::vector<std::string> tones;
  for (; syl; syl = item_next(syl)) tones.push_back(item_feature_present(syl, "endtone") ? item_feature_string(syl, "endtone") : "-");
  EXPECT_EQ(tones, (std::vector<std::string>{"-", "-", "-", "L*", "-", "-", "L"}));
  float prev = 0.0f;
  int n = 0;
  for (Item* seg = utterance_relation(u, "Segment")->head; seg; seg = item_next(seg), ++n) {
    float end = item_feature_float(seg, "end");
    EXPECT_GT(end, prev);
    prev = end;
  }
  EXPECT_EQ(n, 18);
  EXPECT_FLOAT_EQ(item_feature_float(utterance_relation(u, "Segment")->head, "end"), 0.05f);
  utterance_delete(u);
}

TEST(HostProsody, MissingVoiceFunctionsAreReported) {
  Utterance* u = voice_utterance(kOsAmigos);
  features_remove(u->features, "duration_func");
  std::string error;
  EXPECT_FALSE(prosody_stage(u, &error));
  EXPECT_EQ(error, "the voice has no duration_func");
  features_remove(u->features, "phrasesylendtone_func");
  EXPECT_FALSE(phrase_tones(u));
  EXPECT_FALSE(prosody_stage(u, &error));
  EXPECT_EQ(error, "the voice has no phrasesylendtone_func");
  utterance_delete(u);
}

struct Line {
  std::string phone;
  double end;
  std::vector<std::string> extra;
};

std::vector<Line> parse(const std::string& out) {
  std::vector<Line> lines;
  std::istringstream in(out);
  std::string l;
  while (std::getline(in, l)) {
    std::istringstream ls(l);
    Line x;
    std::string end, field;
    std::getline(ls, x.phone, '\t');
    std::getline(ls, end, '\t');
    x.end = std::atof(end.c_str());
    while (std::getline(ls, field, '\t')) x.extra.push_back(field);
    lines.push_back(x);
  }
  return lines;
}

TEST(SegmentsCommand, ParagraphEndsIncreaseMonotonically) {
  auto r = testutil::run_selvana(
      "segments 'O dia estava bonito, e as crianças brincavam na praça. Você quer café, ou chá? "
      "Onde fica a estação? Ninguém sabe; talvez amanhã.'");
  ASSERT_EQ(r.status, 0) << r.out;
  std::vector<Line> lines = parse(r.out);
  ASSERT_GT(lines.size(), 60u);
  EXPECT_EQ(lines.front().phone, "pau");
  EXPECT_EQ(lines.front().end, 0.05);
  EXPECT_EQ(lines.back().phone, "pau");
  int pauses = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) {
      EXPECT_GT(lines[i].end, lines[i - 1].end) << "line " << i;
    }
    EXPECT_TRUE(lines[i].extra.empty());
    pauses += lines[i].phone == "pau";
  }
  EXPECT_EQ(pauses, 1 + 7);  // the start and seven phrases
  // Speaking rate between 8 and 16 phones per second, pauses included.
  double rate = static_cast<double>(lines.size() - pauses) / lines.back().end;
  EXPECT_GT(rate, 8.0);
  EXPECT_LT(rate, 16.0);
}

TEST(SegmentsCommand, VerboseShowsWordStressAndTone) {
  auto r = testutil::run_selvana("segments --verbose 'Você mora aqui? Você quer café, ou chá?'");
  ASSERT_EQ(r.status, 0) << r.out;
  std::vector<Line> lines = parse(r.out);
  ASSERT_GT(lines.size(), 10u);
  EXPECT_EQ(lines[0].extra, (std::vector<std::string>{"-", "-", "-"}));
  // One "word:tone" per toned syllable (every segment of it shows the tone).
  std::vector<std::string> tones;
  std::string last;
  for (const Line& l : lines) {
    ASSERT_EQ(l.extra.size(), 3u);
    if (l.extra[2] == "-") {
      last.clear();
      continue;
    }
    std::string t = l.extra[0] + ":" + l.extra[2];
    if (t != last) tones.push_back(t);
    last = t;
  }
  EXPECT_EQ(tones, (std::vector<std::string>{"aqui:H", "café:L*", "chá:L"}));
  EXPECT_EQ(lines[1].extra[0], "você");
}

TEST(SegmentsCommand, UsageErrors) {
  EXPECT_EQ(testutil::run_selvana("segments --bogus x").status, 2);
  EXPECT_EQ(testutil::run_selvana("segments --voice").status, 2);
  EXPECT_EQ(testutil::run_selvana("segments --voice /nonexistent/voice x").status, 1);
  auto r = testutil::run_selvana("segments --help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("usage: selvana segments"), std::string::npos);
}

}  // namespace
