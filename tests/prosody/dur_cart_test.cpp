// The alternative duration model: a general CART tree of float z-scores with
// statistics in seconds.
#include <gtest/gtest.h>

#include <vector>

#include "core/features.h"
#include "prosody/duration.h"
#include "tests/prosody/prosody_utt.h"
#include "trees/cart.h"

namespace {

constexpr Value permanent_float(float f) {
  Value v{};
  v.head.atom = {kTypeFloat, kPermanentRefcount};
  v.body.f = f;
  return v;
}

constexpr Value kA = value_permanent_string("a");
constexpr Value kStressed = value_permanent_int(1);
constexpr Value kLong = permanent_float(2.0f);
constexpr Value kMid = permanent_float(1.0f);
constexpr Value kShort = permanent_float(-0.5f);

const char* const kPaths[] = {"name", "R:SylStructure.parent.stress"};
// name is "a"?  -> stress is 1?  -> 2.0 / 1.0 ;  otherwise -0.5
const CartNode kNodes[] = {
    {0, kCartIs, 4, &kA},
    {1, kCartIs, 3, &kStressed},
    {0, kCartLeaf, 0, &kLong},
    {0, kCartLeaf, 0, &kMid},
    {0, kCartLeaf, 0, &kShort},
};
const CartTree kTree = {kNodes, kPaths};

const DurStat kStats[] = {{"a", 0.1f, 0.02f}, {"t", 0.05f, 0.01f}, {nullptr, 0.0f, 0.0f}};

void use_dur_cart(Utterance* u) {
  features_set(u->features, "dur_cart", value_new_object(kTypeCart, const_cast<CartTree*>(&kTree)));
  features_set(u->features, "dur_stats", value_new_object(kTypeDurStats, const_cast<DurStat*>(kStats)));
}

TEST(DurStats, LookupFallsBackToTheFirstRecord) {
  EXPECT_EQ(dur_stats_lookup(kStats, "t"), &kStats[1]);
  EXPECT_EQ(dur_stats_lookup(kStats, "a"), &kStats[0]);
  EXPECT_EQ(dur_stats_lookup(kStats, "k"), &kStats[0]);
  EXPECT_EQ(dur_stats_lookup(kStats, ""), &kStats[0]);
}

TEST(DurCart, ZScoresScaledBySecondsStatistics) {
  // pau | a (stressed) t a (unstressed) k | pau
  Utterance* u = prosodytest::build({{"BB", {{"ata", {{1, {"a", "t"}}, {0, {"a", "k"}}}}}, "L"}});
  use_dur_cart(u);
  duration_func(u);
  std::vector<float> e = prosodytest::ends(u);
  ASSERT_EQ(e.size(), 6u);
  EXPECT_FLOAT_EQ(e[0], 0.05f);
  EXPECT_NEAR(e[1] - e[0], 2.0 * 0.02 + 0.1, 1e-6);    // a, stressed
  EXPECT_NEAR(e[2] - e[1], -0.5 * 0.01 + 0.05, 1e-6);  // t
  EXPECT_NEAR(e[3] - e[2], 1.0 * 0.02 + 0.1, 1e-6);    // a, unstressed
  EXPECT_NEAR(e[4] - e[3], -0.5 * 0.02 + 0.1, 1e-6);   // k: the statistics of "a"
  EXPECT_NEAR(e[5] - e[4], 0.4, 1e-6);                 // the last pause after "BB"
  utterance_delete(u);
}

TEST(DurCart, CompactTreeWinsWhenBothArePresent) {
  static constexpr uint8_t kStatsBytes[] = {0, 0, 100, 0, 20, 0, 255, 0, 0, 0, 0, 0};
  static constexpr char kStrings[][kZdurStringSize] = {"a"};
  static constexpr uint8_t kLeaf[] = {kZdurLeaf, 0, 0, 0};
  static constexpr ZdurCart kCompact = {kStatsBytes, kStrings, kLeaf, 1, 1};
  Utterance* u = prosodytest::build({{"BB", {{"a", {{1, {"a"}}}}}}});
  use_dur_cart(u);
  features_set(u->features, "zdur_cart", value_new_zdur_cart(const_cast<ZdurCart*>(&kCompact)));
  duration_func(u);
  EXPECT_NEAR(prosodytest::ends(u)[1], 0.15, 1e-6);  // 0.05 + 100 ms
  utterance_delete(u);
}

TEST(DurCartDeath, BothPartsOfTheModelAreNeeded) {
  Utterance* u = prosodytest::build({{"BB", {{"a", {{1, {"a"}}}}}}});
  features_set(u->features, "dur_cart", value_new_object(kTypeCart, const_cast<CartTree*>(&kTree)));
  EXPECT_EXIT(duration_func(u), testing::ExitedWithCode(255), "VAL: tried to access dur_stats in -1 type val\n");
  features_set_string(u->features, "dur_stats", "a");
  EXPECT_EXIT(duration_func(u), testing::ExitedWithCode(255), "VAL: tried to access dur_stats in 5 type val\n");
  utterance_delete(u);
}

}  // namespace
