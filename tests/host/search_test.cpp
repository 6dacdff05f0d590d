// The unit-selection search on synthetic voices: cheapest path against an
// exhaustive search, recording neighbours, the beam, missing diphones.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "core/platform.h"
#include "host/search.h"
#include "tests/host/engine_voice.h"

namespace {

using enginetest::TestVoice;

// Cost of a path as the search defines it, every join computed in full.
uint64_t path_cost(const SearchPlan* plan, const std::vector<int32_t>& path) {
  uint64_t cost = 0;
  for (size_t p = 0; p < path.size(); ++p) {
    cost += search_target_cost(plan, plan->options[path[p]]);
    if (p > 0) cost += search_join_cost(plan->options[path[p - 1]], plan->options[path[p]], kForcedJoinCost);
  }
  return cost;
}

uint64_t exhaustive_min(const SearchPlan* plan) {
  uint64_t best = UINT64_MAX;
  std::vector<int32_t> path(plan->positions);
  std::function<void(int32_t)> walk = [&](int32_t p) {
    if (p == plan->positions) {
      best = std::min(best, path_cost(plan, path));
      return;
    }
    for (int32_t o = plan->first[p]; o < plan->first[p + 1]; ++o) {
      path[p] = o;
      walk(p + 1);
    }
  };
  walk(0);
  return best;
}

std::vector<int32_t> chosen(const SearchPlan* plan) { return {plan->path, plan->path + plan->positions}; }

// Runs the search with the given beam; the state keeps the plan alive.
SearchPlan* search(TestVoice& v, Value* state, std::vector<SegmentTarget>& targets, int32_t beam,
                   std::vector<std::string>* notes = nullptr) {
  SearchPlan* plan = search_prepare(synth_state(state), v.voice(), v.engine().graph_fn, v.engine().db, targets.data(),
                                    static_cast<int32_t>(targets.size()), beam, notes);
  search_run(plan);
  return plan;
}

TEST(Search, FindsTheCheapestPathOfRandomVoices) {
  testutil::TempDir dir;
  const std::vector<const char*> phones = {"pau", "a", "t", "o", "s", "a", "pau"};
  for (int seed = 0; seed < 12; ++seed) {
    std::mt19937 rng(static_cast<unsigned>(seed));
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    VoiceDbRecipe recipe = enginetest::recipe();
    for (size_t p = 0; p + 1 < phones.size(); ++p) {
      int n = pick(1, 3);
      for (int k = 0; k < n; ++k) {
        VoiceDbUnit u = enginetest::unit(phones[p], phones[p + 1], static_cast<uint32_t>(pick(0, 2)),
                                         static_cast<uint32_t>(p), static_cast<float>(pick(40, 140)),
                                         static_cast<float>(pick(40, 140)), 160);
        u.left.mark = static_cast<uint8_t>(pick(0, 1));
        for (JoinEdge* e : {&u.start_edge, &u.end_edge}) {
          *e = enginetest::edge(static_cast<uint8_t>(pick(80, 130)), static_cast<uint16_t>(pick(500, 1500)));
          e->edge_a = static_cast<uint16_t>(pick(0, 5));
          e->edge_c = static_cast<uint16_t>(pick(0, 2));
          e->edge_b = static_cast<int16_t>(pick(-45, -15));
        }
        recipe.units.push_back(u);
      }
    }
    TestVoice v(dir.path());
    ASSERT_TRUE(v.open(recipe));
    std::vector<SegmentTarget> targets = enginetest::targets(phones);
    Value* state = synth_state_new();
    SearchPlan* plan = search(v, state, targets, 50);
    const uint64_t best = exhaustive_min(plan);
    EXPECT_EQ(plan->cost, best) << "seed " << seed;
    EXPECT_EQ(path_cost(plan, chosen(plan)), plan->cost) << "seed " << seed;
    // A beam as wide as the largest position is still exact.
    value_release(state);
    state = synth_state_new();
    plan = search(v, state, targets, 3);
    EXPECT_EQ(plan->cost, best) << "seed " << seed;
    value_release(state);
  }
}

TEST(Search, PrefersUnitsThatWereNeighboursInARecording) {
  testutil::TempDir dir;
  VoiceDbRecipe recipe = enginetest::recipe();
  // Every edge differs from every other one, so only recording neighbours
  // join for free: (1, 3) followed by (1, 4).
  const uint32_t left[3][2] = {{2, 0}, {1, 3}, {3, 7}};
  const uint32_t right[3][2] = {{2, 5}, {3, 0}, {1, 4}};
  uint8_t coef = 20;
  for (auto& r : left) {
    VoiceDbUnit u = enginetest::unit("a", "t", r[0], r[1]);
    u.end_edge = enginetest::edge(coef += 40);
    recipe.units.push_back(u);
  }
  for (auto& r : right) {
    VoiceDbUnit u = enginetest::unit("t", "o", r[0], r[1]);
    u.start_edge = enginetest::edge(coef += 40);
    recipe.units.push_back(u);
  }
  TestVoice v(dir.path());
  ASSERT_TRUE(v.open(recipe));
  std::vector<SegmentTarget> targets = enginetest::targets({"a", "t", "o"});
  Value* state = synth_state_new();
  SearchPlan* plan = search(v, state, targets, 50);
  const SearchOption& a = plan->options[plan->path[0]];
  const SearchOption& b = plan->options[plan->path[1]];
  EXPECT_EQ(a.recording, 1u);
  EXPECT_EQ(a.position, 3u);
  EXPECT_EQ(b.recording, 1u);
  EXPECT_EQ(b.position, 4u);
  EXPECT_EQ(search_join_cost(a, b, kForcedJoinCost), 0u);
  // The same two units from different recordings would pay for the seam.
  SearchOption moved = b;
  moved.recording = 9;
  EXPECT_GT(search_join_cost(a, moved, kForcedJoinCost), 0u);
  EXPECT_EQ(plan->cost, exhaustive_min(plan));
  value_release(state);
}

// Position 0 has a unit A that fits its target best and a unit B that fits
// worse but was recorded right before the only unit C of position 1; A and C
// join badly (`bad_join`) or well.
VoiceDbRecipe beam_voice(bool bad_join) {
  VoiceDbRecipe recipe = enginetest::recipe();
  VoiceDbUnit a = enginetest::unit("a", "t", 0, 0, 80, 80);
  VoiceDbUnit b = enginetest::unit("a", "t", 5, 0, 80, 300);
  VoiceDbUnit c = enginetest::unit("t", "o", 5, 1, 80, 80);
  a.end_edge = enginetest::edge(bad_join ? 20 : 100);
  c.start_edge = enginetest::edge(100);
  recipe.units = {a, b, c};
  return recipe;
}

TEST(Search, TheBeamChangesTheResultOnlyWhenTheBestPathLeavesIt) {
  testutil::TempDir dir;
  for (bool bad_join : {true, false}) {
    TestVoice v(dir.path());
    ASSERT_TRUE(v.open(beam_voice(bad_join)));
    std::vector<SegmentTarget> targets = enginetest::targets({"a", "t", "o"});
    Value* narrow = synth_state_new();
    Value* wide = synth_state_new();
    SearchPlan* one = search(v, narrow, targets, 1);
    SearchPlan* two = search(v, wide, targets, 2);
    EXPECT_EQ(two->cost, exhaustive_min(two));
    const SearchOption& first_narrow = one->options[one->path[0]];
    const SearchOption& first_wide = two->options[two->path[0]];
    if (bad_join) {
      // A wins position 0 alone and the beam of one keeps nothing else.
      EXPECT_EQ(first_narrow.recording, 0u);
      EXPECT_EQ(first_wide.recording, 5u);
      EXPECT_GT(one->cost, two->cost);
    } else {
      EXPECT_EQ(first_narrow.recording, 0u);
      EXPECT_EQ(first_wide.recording, 0u);
      EXPECT_EQ(one->cost, two->cost);
    }
    value_release(narrow);
    value_release(wide);
  }
}

TEST(Search, MissingDiphonesTakeARelatedPhoneAChainASpliceOrASilence) {
  testutil::TempDir dir;
  VoiceDbRecipe recipe = enginetest::recipe();
  recipe.units = {enginetest::unit("a", "t", 0, 0), enginetest::unit("t", "eh", 0, 1), enginetest::unit("e", "s", 1, 0),
                  enginetest::unit("zh", "a", 2, 0), enginetest::unit("o", "m", 3, 0)};
  TestVoice v(dir.path());
  ASSERT_TRUE(v.open(recipe));
  // t-e: one step (t-eh); e-zh: two steps (zh, sh, s); zh-m: nothing stands
  // in, the halves of zh-a and o-m are spliced; m-u: only a silence.
  std::vector<SegmentTarget> targets = enginetest::targets({"a", "t", "e", "zh", "m", "u"});
  std::vector<std::string> notes;
  Value* state = synth_state_new();
  SearchPlan* plan = search(v, state, targets, 50, &notes);
  const std::vector<std::string> want = {
      "diphone t-e missing: using t-eh", "diphone e-zh missing: using e-s",
      "diphone zh-m missing: splicing the first half of zh-a and the second half of o-m",
      "diphone m-u missing: using 80 ms of silence"};
  EXPECT_EQ(notes, want);
  const SearchOption& sub = plan->options[plan->path[1]];
  ASSERT_NE(sub.candidate, nullptr);
  EXPECT_STREQ(sub.candidate->unit->name, "t-eh");
  const SearchOption& gap = plan->options[plan->path[4]];
  EXPECT_EQ(gap.instance, kNoInstance);
  EXPECT_EQ(gap.silence_samples, 1280u);
  value_release(state);

  // The whole text still speaks: the units, the splice of two halves and
  // the silence.
  std::string error;
  state = synth_state_new();
  ASSERT_TRUE(synth_targets(v.engine(), state, targets.data(), 6, nullptr, &error, nullptr, &plan)) << error;
  const Wave* wave = synth_state(state)->wave;
  ASSERT_EQ(wave->num_samples, 4 * 800 + 1280);
  const AudioPlacement& at = plan->placements[3];
  const VoiceDbUnit &first = recipe.units[3], &second = recipe.units[4];
  for (int32_t x = at.exact_begin; x < at.exact_end; ++x) {
    const int32_t k = x - at.begin;
    const int16_t want_sample = k < 400 - 40 ? first.samples[80 + k] : k >= 400 + 40 ? second.samples[80 + k] : wave->samples[x];
    ASSERT_EQ(wave->samples[x], want_sample) << x;
  }
  for (int32_t i = 4 * 800 + 40; i < wave->num_samples; ++i) ASSERT_EQ(wave->samples[i], 0) << i;
  value_release(state);
}

TEST(Search, ARunOfTheSearchAllocatesNothing) {
  testutil::TempDir dir;
  VoiceDbRecipe recipe = enginetest::recipe();
  for (uint32_t r = 0; r < 6; ++r)
    for (auto [l, rt] : {std::pair{"pau", "a"}, {"a", "t"}, {"t", "o"}, {"o", "pau"}})
      recipe.units.push_back(enginetest::unit(l, rt, r, 0, 60.0f + 10 * r));
  TestVoice v(dir.path());
  ASSERT_TRUE(v.open(recipe));
  std::vector<SegmentTarget> targets = enginetest::targets({"pau", "a", "t", "o", "pau"});
  Value* state = synth_state_new();
  SearchPlan* plan = search_prepare(synth_state(state), v.voice(), v.engine().graph_fn, v.engine().db,
                                    targets.data(), 5, 4, nullptr);
  const uint64_t before = heap_alloc_count();
  search_run(plan);
  EXPECT_EQ(heap_alloc_count(), before);
  EXPECT_EQ(plan->state_count[3], 4);
  value_release(state);
}

TEST(Search, FewerThanTwoTargetsGiveAnEmptyWave) {
  testutil::TempDir dir;
  VoiceDbRecipe recipe = enginetest::recipe();
  recipe.units = {enginetest::unit("a", "t", 0, 0)};
  TestVoice v(dir.path());
  ASSERT_TRUE(v.open(recipe));
  std::vector<SegmentTarget> targets = enginetest::targets({"a"});
  std::string error;
  Value* state = synth_state_new();
  ASSERT_TRUE(synth_targets(v.engine(), state, targets.data(), 1, nullptr, &error, nullptr));
  EXPECT_EQ(synth_state(state)->wave->num_samples, 0);
  EXPECT_EQ(synth_state(state)->wave->sample_rate, 16000);
  value_release(state);

  // Far too many segments for one search are refused, not attempted.
  std::vector<SegmentTarget> many(100001, enginetest::block("a", 80));
  state = synth_state_new();
  EXPECT_FALSE(synth_targets(v.engine(), state, many.data(), 100001, nullptr, &error, nullptr));
  EXPECT_EQ(error, "a sentence of 100001 segments is too long to speak at once");
  EXPECT_EQ(synth_state(state)->graph, nullptr);
  value_release(state);
}

}  // namespace

namespace {

TEST(Search, BoundaryFlagsLetOnlyTheBestPathGoOn) {
  testutil::TempDir dir;
  VoiceDbRecipe recipe = enginetest::recipe();
  const std::vector<const char*> phones = {"pau", "a", "t", "a", "s", "a", "t", "o", "pau"};
  for (size_t p = 0; p + 1 < phones.size(); ++p)
    for (uint32_t r = 0; r < 3; ++r)
      recipe.units.push_back(enginetest::unit(phones[p], phones[p + 1], r, static_cast<uint32_t>(p), 60.0f + 20 * r));
  TestVoice v(dir.path());
  ASSERT_TRUE(v.open(recipe));
  std::vector<SegmentTarget> targets = enginetest::targets(phones);
  Value* state = synth_state_new();
  SearchPlan* free_plan = search(v, state, targets, 50);
  for (int32_t p = 0; p < free_plan->positions; ++p) EXPECT_EQ(free_plan->cut[p], 0) << p;
  const uint64_t best = free_plan->cost;
  value_release(state);

  // With tb_min_distance 2 the module flags consonant positions; the beam
  // collapses there and the search still finds a path no cheaper than the
  // best one.
  features_set_int(v.voice()->features, "tb_min_distance", 2);
  state = synth_state_new();
  SearchPlan* plan = search(v, state, targets, 50);
  int flagged = 0;
  for (int32_t p = 0; p < plan->positions; ++p) {
    if (!plan->cut[p]) continue;
    ++flagged;
    EXPECT_EQ(plan->state_count[p], 1) << p;
  }
  EXPECT_GT(flagged, 0);
  EXPECT_GE(plan->cost, best);
  EXPECT_EQ(path_cost(plan, chosen(plan)), plan->cost);
  value_release(state);
}

TEST(SearchDeathTest, ASynthesisStateOfAnotherTypeEndsTheProcess) {
  EXPECT_EXIT(synth_state(value_new_int(3)), testing::ExitedWithCode(255), "VAL: tried to access wavesynth in 1 type val");
}

}  // namespace
