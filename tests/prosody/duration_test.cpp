// duration_func: pauses, accumulation of "end", model selection, failures.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/features.h"
#include "core/platform.h"
#include "prosody/duration.h"
#include "tests/prosody/prosody_utt.h"

namespace {

using prosodytest::build;
using prosodytest::ends;
using testutt::Word;

// Every phone lasts its mean: "a" 100 ms, "t" 50 ms ("a" is the first record).
constexpr uint8_t kStats[] = {0, 0, 100, 0, 20, 0, 1, 0, 50, 0, 10, 0, 255, 0, 0, 0, 0, 0};
constexpr char kStrings[][kZdurStringSize] = {"a", "t"};
constexpr uint8_t kMeanLeaf[] = {kZdurLeaf, 0, 0, 0};
constexpr ZdurCart kMeanCart = {kStats, kStrings, kMeanLeaf, 2, 1};

Word w(const char* name, std::vector<std::string> phones) { return {name, {{1, phones}}}; }

void use_cart(Utterance* u, const ZdurCart* c = &kMeanCart) {
  features_set(u->features, "zdur_cart", value_new_zdur_cart(const_cast<ZdurCart*>(c)));
}

TEST(DurationFunc, PausesByTheBreakBeforeThem) {
  // pau  t a | B | pau  a t | BB | pau  a | BB | pau
  Utterance* u = build({{"B", {w("ta", {"t", "a"})}}, {"BB", {w("at", {"a", "t"})}}, {"BB", {w("a", {"a"})}}});
  use_cart(u);
  EXPECT_EQ(duration_func(u), u);
  std::vector<float> e = ends(u);
  ASSERT_EQ(e.size(), 9u);
  std::vector<float> d;
  float prev = 0.0f;
  for (float x : e) d.push_back(x - prev), prev = x;
  EXPECT_FLOAT_EQ(e[0], 0.05f);                // the first segment
  EXPECT_NEAR(d[1], 0.050, 1e-6);              // t
  EXPECT_NEAR(d[2], 0.100, 1e-6);              // a
  EXPECT_NEAR(d[3], 0.2, 1e-6);                // after "B"
  EXPECT_NEAR(d[6], 0.5, 1e-6);                // after "BB", not last
  EXPECT_NEAR(d[8], 0.4, 1e-6);                // after "BB", last
  EXPECT_NEAR(e[8], 0.05 + 0.15 + 0.2 + 0.15 + 0.5 + 0.1 + 0.4, 1e-5);
  for (size_t i = 1; i < e.size(); ++i) EXPECT_GT(e[i], e[i - 1]);
  utterance_delete(u);
}

TEST(DurationFunc, PauseBaseLength) {
  Utterance* u = build({{"BB", {w("a", {"a"})}}, {"BB", {w("a", {"a"})}}});
  use_cart(u);
  features_set_float(u->features, "pause_base_len", 0.2f);
  duration_func(u);
  std::vector<float> e = ends(u);
  ASSERT_EQ(e.size(), 5u);
  EXPECT_FLOAT_EQ(e[2] - e[1], (0.2f + 0.05f) + 0.1f);
  EXPECT_FLOAT_EQ(e[4] - e[3], 0.25f);
  // In single precision the not-last pause is (base + 0.05) + 0.1.
  features_set_float(u->features, "pause_base_len", kPauseBaseLen);
  duration_func(u);
  e = ends(u);
  float expected = static_cast<float>(0.05f + 0.1) + ((0.35f + 0.05f) + 0.1f);
  EXPECT_FLOAT_EQ(e[2], expected);
  utterance_delete(u);
}

TEST(DurationFunc, PauseAfterAPauseOrAnUnphrasedSegment) {
  Utterance* u = utterance_new();
  Relation* seg = utterance_new_relation(u, "Segment");
  for (const char* n : {"pau", "pau", "a", "pau", "pau"}) prosodytest::add_segment(seg, n);
  use_cart(u);
  duration_func(u);
  std::vector<float> e = ends(u);
  EXPECT_FLOAT_EQ(e[0], 0.05f);
  EXPECT_FLOAT_EQ(e[1], 0.25f);  // no phrase before it: 0.2
  EXPECT_NEAR(e[4] - e[3], 0.2, 1e-6);
  utterance_delete(u);
}

TEST(DurationFunc, EmptyAndPauseOnlyUtterances) {
  Utterance* u = utterance_new();
  Relation* seg = utterance_new_relation(u, "Segment");
  use_cart(u);
  duration_func(u);  // nothing to do
  prosodytest::add_segment(seg, "pau");
  duration_func(u);
  EXPECT_FLOAT_EQ(ends(u)[0], 0.05f);
  utterance_delete(u);
}

TEST(DurationFunc, SecondPassReusesTheEndValues) {
  Utterance* u = build({{"BB", {w("ta", {"t", "a"}), w("at", {"a", "t"})}, "L"}});
  use_cart(u);
  uint64_t before = heap_alloc_count();
  duration_func(u);
  uint64_t first = heap_alloc_count() - before;
  EXPECT_GT(first, 0u);
  std::vector<float> e1 = ends(u);
  before = heap_alloc_count();
  duration_func(u);
  EXPECT_EQ(heap_alloc_count(), before);
  EXPECT_EQ(ends(u), e1);
  // An "end" held elsewhere as well is replaced, not overwritten.
  Item* s = utterance_relation(u, "Segment")->head;
  item_set_float(s, "end", 9.0f);
  Value* held = value_retain(item_feature(s, "end"));
  duration_func(u);
  EXPECT_FLOAT_EQ(value_float(held), 9.0f);
  EXPECT_FLOAT_EQ(item_feature_float(s, "end"), 0.05f);
  value_release(held);
  utterance_delete(u);
}

TEST(DurationFuncDeath, MissingSegmentRelation) {
  Utterance* u = utterance_new();
  use_cart(u);
  EXPECT_EXIT(duration_func(u), testing::ExitedWithCode(255), "");
  utterance_delete(u);
}

TEST(DurationFuncDeath, MissingOrMistypedModel) {
  Utterance* u = build({{"BB", {w("a", {"a"})}}});
  EXPECT_EXIT(duration_func(u), testing::ExitedWithCode(255), "VAL: tried to access cart in -1 type val\n");
  features_set_int(u->features, "zdur_cart", 1);
  EXPECT_EXIT(duration_func(u), testing::ExitedWithCode(255), "VAL: tried to access zdur_cart in 1 type val\n");
  utterance_delete(u);
}

}  // namespace
