// The shipped duration tree set: its tables, and its agreement with the
// trainer on held-out utterances.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/featfuncs.h"
#include "core/path.h"
#include "lang_pt_br/phoneset_pt_br.h"
#include "lang_pt_br/pos.h"
#include "prosody/duration.h"
#include "tests/prosody/prosody_utt.h"

namespace {

const ZdurCart* shipped() { return &kZdurCartPtBr; }

const char* const kPaths[] = {
    "name", "p.name", "n.name", "ph_ctype", "ph_cplace", "ph_cvox", "p.ph_vfront", "n.ph_ctype", "pp.ph_vheight",
    "pp.ph_ctype", "pp.ph_cplace", "pp.ph_vrnd", "nn.ph_vc", "nn.ph_cvox", "nn.ph_vrnd", "pos_in_syl",
    "seg_onsetcoda", "p.seg_onsetcoda", "R:SylStructure.parent.stress", "R:SylStructure.parent.ssyl_out",
    "R:SylStructure.parent.syl_break", "R:SylStructure.parent.syl_vowel", "R:SylStructure.parent.position_type",
    "R:SylStructure.parent.parent.gpos", "R:SylStructure.parent.R:Syllable.p.stress",
    "R:SylStructure.parent.R:Syllable.n.stress", "R:SylStructure.parent.R:Syllable.nn.stress",
    "R:SylStructure.parent.R:Syllable.p.syl_codasize", "R:SylStructure.parent.R:Syllable.n.endtone",
    "R:SylStructure.parent.R:Syllable.n.accented", "R:SylStructure.parent.R:Syllable.nn.accented"};

TEST(ShippedModel, StringsAreQuestionsOnTheKnownPathsOrAsciiValues) {
  const ZdurCart* c = shipped();
  std::set<std::string> paths(std::begin(kPaths), std::end(kPaths));
  std::set<std::string> seen;
  for (int i = 0; i < c->num_strings; ++i) {
    const char* s = c->strings[i];
    ASSERT_LT(strnlen(s, kZdurStringSize), static_cast<size_t>(kZdurStringSize));
    for (const char* p = s; *p; ++p) EXPECT_LT(static_cast<unsigned char>(*p), 0x80);
    EXPECT_TRUE(seen.insert(s).second) << "duplicate string " << s;
  }
  EXPECT_LT(c->num_strings, 255);
  for (int k = 0; k < c->num_nodes; ++k) {
    const uint8_t* node = c->nodes + k * kZdurNodeSize;
    if (node[0] == kZdurLeaf) continue;
    ASSERT_LT(node[0], c->num_strings);
    ASSERT_LT(node[1], c->num_strings);
    const char* q = c->strings[node[0]];
    EXPECT_EQ(q[0], '=') << q;
    EXPECT_TRUE(paths.count(q + 1)) << q;
  }
}

TEST(ShippedModel, EveryLeafGivesEveryPhoneAPositiveDuration) {
  const ZdurCart* c = shipped();
  int leaves = 0, questions = 0;
  for (int k = 0; k < c->num_nodes; ++k) {
    const uint8_t* node = c->nodes + k * kZdurNodeSize;
    int third = node[2] | (node[3] << 8);
    if (node[0] != kZdurLeaf) {
      ++questions;
      EXPECT_GT(third, k + 1);  // the no branch lies after the yes branch
      EXPECT_LT(third, c->num_nodes);
      continue;
    }
    ++leaves;
    int z = static_cast<int16_t>(third);
    for (const uint8_t* r = c->stats; r[0] != kZdurStatsEnd; r += kZdurStatSize) {
      int ms = zdur_stats_mean(r) + (zdur_stats_sd(r) * z + (z > 0 ? 500 : -500)) / 1000;
      EXPECT_GE(ms, 15) << c->strings[r[0]] << " at node " << k;
    }
  }
  EXPECT_EQ(leaves, questions + 1);
  EXPECT_GT(questions, 100);  // a trained model, not a token one
}

Utterance* voice_utterance(const std::vector<prosodytest::Phrase>& phrases) {
  Utterance* u = prosodytest::build(phrases);
  features_set(u->features, "phoneset", phoneset_pt_br_value());
  features_set(u->features, "zdur_cart", value_new_zdur_cart(const_cast<ZdurCart*>(shipped())));
  register_feature_functions(u->ffunctions);
  feature_function_register(u->ffunctions, "gpos", gpos);
  return u;
}

TEST(ShippedModel, AgreesWithTheTrainerOnHeldOutUtterances) {
  std::vector<prosodytest::CheckUtt> utts = prosodytest::read_check_file(SELVANA_SOURCE_DIR "/tests/prosody/zdur_check.txt");
  ASSERT_GE(utts.size(), 5u);
  int compared = 0;
  for (const prosodytest::CheckUtt& cu : utts) {
    Utterance* u = voice_utterance(cu.phrases);
    int w = 0;
    for (Item* word = utterance_relation(u, "Word")->head; word; word = item_next(word), ++w)
      EXPECT_STREQ(value_string(feature_path_value(word, "gpos")), cu.gpos[w].c_str());
    size_t k = 0;
    for (Item* s = utterance_relation(u, "Segment")->head; s; s = item_next(s)) {
      if (strcmp(item_feature_string(s, "name"), "pau") == 0) continue;
      ASSERT_LT(k, cu.durations.size());
      EXPECT_EQ(zdur_duration(shipped(), s), cu.durations[k]) << "segment " << k << " " << item_feature_string(s, "name");
      ++k, ++compared;
    }
    EXPECT_EQ(k, cu.durations.size());
    duration_func(u);
    std::vector<float> e = prosodytest::ends(u);
    for (size_t i = 1; i < e.size(); ++i) EXPECT_GT(e[i], e[i - 1]);
    utterance_delete(u);
  }
  EXPECT_GT(compared, 200);
}

}  // namespace
