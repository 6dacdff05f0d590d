// Target cost: each penalty of a phone, the tone terms, the length term and
// the final scaling, and the word-boundary pattern of the diphone.
#include "unitsel/target_cost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "core/platform.h"
#include "tests/unitsel/segment_block.h"

namespace {

using Block = SegmentBlock;

// One hand-computed case: starting from two equal blocks (the consonant "t",
// everything else 0 or "content"), `set` changes the target t and the unit u;
// `raw` is the sum before the scaling by 0.4.
struct Case {
  const char* what;
  std::function<void(Block& t, Block& u)> set;
  uint32_t raw;
};

void check(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    Block t, u;
    c.set(t, u);
    EXPECT_EQ(segment_cost_unscaled(t.get(), u.get()), c.raw) << c.what;
    EXPECT_EQ(segment_cost(t.get(), u.get()), static_cast<uint32_t>(static_cast<float>(c.raw) * 0.4f)) << c.what;
  }
}

TEST(SegmentCost, IdenticalBlocksCostNothingButTheHighTone) {
  check({
      {"equal", [](Block&, Block&) {}, 0},
      {"marked accented vowel",
       [](Block& t, Block& u) {
         for (Block* b : {&t, &u}) {
           b->set_name("a").tone("L*");
           (*b)->mark = 2, (*b)->level1 = 3, (*b)->level4 = 1;
         }
       },
       0},
      {"level4 1, levels 1 and 2 above 1, tone H: 1000 -> 400",
       [](Block& t, Block& u) {
         for (Block* b : {&t, &u}) {
           b->tone("H");
           (*b)->level4 = 1, (*b)->level1 = 2, (*b)->level2 = 2;
         }
       },
       1000},
  });
}

TEST(SegmentCost, Context) {
  check({
      {"p_name", [](Block&, Block& u) { u.p_name("i"); }, 7},
      {"n_name", [](Block&, Block& u) { u.n_name("i"); }, 7},
      {"pp_name and nn_name", [](Block&, Block& u) { u.pp_name("i").nn_name("i"); }, 6},
      {"all four", [](Block&, Block& u) { u.pp_name("i").nn_name("i").p_name("i").n_name("o"); }, 20},
      {"a prefix differs", [](Block&, Block& u) { u.p_name("an"); }, 7},
      {"name r", [](Block& t, Block& u) { t.set_name("r"), u.set_name("r").p_name("i"); }, 35},
      {"oh before n", [](Block& t, Block& u) { t.set_name("oh").n_name("n"), u.set_name("oh").n_name("n").p_name("i"); }, 21},
      {"oh before m", [](Block& t, Block& u) { t.set_name("oh").n_name("m"), u.set_name("oh").n_name("m").p_name("i"); }, 7},
      {"r next, consonant unit", [](Block& t, Block& u) { t.n_name("r"), u.n_name("r").p_name("i"); }, 35},
      {"r next, vowel unit", [](Block& t, Block& u) { t.n_name("r"), u.n_name("r").p_name("i").ph_vc("+"); }, 70},
      {"r before on the target only", [](Block& t, Block& u) { t.p_name("r"), u.p_name("a"); }, 35},
      {"name r and r before, vowel unit: 7 * 5 * 10",
       [](Block& t, Block& u) { t.set_name("r").p_name("r"), u.set_name("r").p_name("i").ph_vc("+"); }, 350},
      {"oh before n after r: 13 * 3 * 10",
       [](Block& t, Block& u) {
         t.set_name("oh").n_name("n").p_name("r");
         u.set_name("oh").n_name("n").pp_name("i").nn_name("i").p_name("a");
       },
       390},
      {"on next", [](Block& t, Block& u) { t.n_name("on"), u.n_name("on").p_name("i"); }, 21},
      {"en before", [](Block& t, Block& u) { t.p_name("en"), u.p_name("i"); }, 21},
      {"j next", [](Block& t, Block& u) { t.n_name("j"), u.n_name("j").p_name("i"); }, 21},
      {"r wins over j", [](Block& t, Block& u) { t.p_name("j").n_name("r"), u.p_name("i").n_name("r"); }, 35},
      {"oni and rr are no multipliers", [](Block& t, Block& u) { t.p_name("rr").n_name("oni"), u.p_name("i").n_name("oni"); }, 7},
  });
}

TEST(SegmentCost, CountsMarksLevelsFlagsAndLabels) {
  check({
      {"pos1..3", [](Block& t, Block& u) { t->pos1 = 3, t->pos3 = 7, u->pos1 = 1, u->pos2 = 1, u->pos3 = 9; }, 15},
      {"pos4..5", [](Block& t, Block& u) { t->pos5 = 253, u->pos4 = 4, u->pos5 = 255; }, 12},
      {"mark on a consonant", [](Block&, Block& u) { u->mark = 3; }, 5},
      {"mark on a vowel unit: 1005 -> 402", [](Block& t, Block& u) { t.set_name("a"), u.set_name("a"), u->mark = 1; }, 1005},
      {"the unit's class decides", [](Block& t, Block& u) { t.set_name("a"), u->mark = 1; }, 5},
      {"level2 1 against 2", [](Block& t, Block& u) { t->level2 = 1, u->level2 = 2; }, 10},
      {"level2 2 against 1", [](Block& t, Block& u) { t->level2 = 2, u->level2 = 1; }, 3},
      {"level4 1 against 2", [](Block& t, Block& u) { t->level4 = 1, u->level4 = 2; }, 2},
      {"level4 2 against 1, tone terms on with s = 2", [](Block& t, Block& u) { t->level4 = 2, u->level4 = 1; }, 1 + 4},
      {"five flags", [](Block&, Block& u) { u->flag1 = u->flag2 = u->flag3 = u->flag4 = u->flag5 = 7; }, 5},
      {"label", [](Block&, Block& u) { u.label("y"); }, 3},
      {"label and label_value", [](Block& t, Block& u) { t->label_value = 5, u.label("y"), u->label_value = 3; }, 9},
  });
  // The level rules tell 0, 1 and "2 or more" apart.
  const struct {
    uint8_t SegmentTarget::*member;
    uint32_t one_over, over_one;
  } levels[] = {{&SegmentTarget::level1, 2, 2}, {&SegmentTarget::level2, 10, 3}, {&SegmentTarget::level3, 2, 1},
                {&SegmentTarget::level5, 1, 1}, {&SegmentTarget::level6, 1, 1}};
  const struct {
    uint8_t t, u;
    int which;  // 1: one_over, 2: over_one
  } pairs[] = {{1, 2, 1}, {1, 200, 1}, {2, 1, 2}, {9, 1, 2}, {0, 1, 0}, {1, 0, 0}, {0, 5, 0}, {2, 5, 0}, {1, 1, 0}};
  for (const auto& l : levels)
    for (const auto& p : pairs) {
      Block t, u;
      t.rec.*l.member = p.t;
      u.rec.*l.member = p.u;
      EXPECT_EQ(segment_cost_unscaled(t.get(), u.get()), p.which == 1 ? l.one_over : p.which == 2 ? l.over_one : 0)
          << int(p.t) << " " << int(p.u);
    }
}

TEST(SegmentCost, PartOfSpeech) {
  check({
      {"content against det", [](Block&, Block& u) { u.gpos("det"); }, 60},
      {"det against content", [](Block& t, Block&) { t.gpos("det"); }, 50},
      {"det against prep", [](Block& t, Block& u) { t.gpos("det"), u.gpos("prep"); }, 10},
      {"det against det", [](Block& t, Block& u) { t.gpos("det"), u.gpos("det"); }, 0},
      {"previous and next word", [](Block&, Block& u) { u.gpos_p("det").gpos_n("in"); }, 6},
      {"two function classes", [](Block& t, Block& u) { t.gpos_p("det").gpos_n("pps"), u.gpos_p("in").gpos_n("aux"); }, 0},
      {"cc is no content", [](Block&, Block& u) { u.gpos_p("cc"); }, 3},
  });
}

// Tone terms: the unit's level4 is 1 and so is the target's (s = 0) unless a
// case changes it; the target's tone is "H", the unit's "L" (t = 10).
void tones(Block& t, Block& u) {
  t->level4 = u->level4 = 1;
  t.tone("H"), u.tone("L");
}

TEST(SegmentCost, ToneTerms) {
  check({
      {"t = 10", [](Block& t, Block& u) { tones(t, u); }, 10},
      {"same tone", [](Block& t, Block& u) { tones(t, u), u.tone("H"); }, 0},
      {"L* unit for an L target", [](Block& t, Block& u) { tones(t, u), t.tone("L"), u.tone("L*"); }, 0},
      {"L unit for an L* target", [](Block& t, Block& u) { tones(t, u), t.tone("L*"), u.tone("L"); }, 8},
      {"off unless the unit's level4 is 1", [](Block& t, Block& u) { tones(t, u), t->level4 = u->level4 = 2; }, 0},
      {"s = 2", [](Block& t, Block& u) { tones(t, u), t->level4 = 0; }, 10 + 4},
      {"s = 2 and the level4 rule", [](Block& t, Block& u) { tones(t, u), t->level4 = 3; }, 1 + 10 + 4},
      // Unit level2 = 1: r = 0 or 10.
      {"level2, voiceless consonant, r 0", [](Block& t, Block& u) { tones(t, u), t->level2 = u->level2 = 1; }, 200 + 10},
      {"level2, voiceless consonant, r 10", [](Block& t, Block& u) { tones(t, u), u->level2 = 1; }, 300 + 10},
      {"level2, voiced consonant", [](Block& t, Block& u) { tones(t, u), u.set_name("d"), u->level2 = 1; }, 4000 + 10},
      {"level2, vowel", [](Block& t, Block& u) { tones(t, u), u.set_name("a"), u->level2 = 1; }, 4000 + 10},
      {"level2, vowel marked voiceless", [](Block& t, Block& u) { tones(t, u), u.set_name("a").ph_cvox("-"), u->level2 = 1; }, 4010},
      {"level2, t = 0", [](Block& t, Block& u) { tones(t, u), u.set_name("a").tone("H"), u->level2 = 1; }, 1500},
      // Otherwise a marked unit: r = 10 when the target's level4 > 1 or the marks differ.
      {"mark, voiceless", [](Block& t, Block& u) { tones(t, u), t->mark = u->mark = 2; }, 100 + 10},
      {"mark, voiced", [](Block& t, Block& u) { tones(t, u), u.set_name("z"), t->mark = u->mark = 2; }, 150 + 10},
      {"mark, vowel", [](Block& t, Block& u) { tones(t, u), u.set_name("e"), t->mark = u->mark = 2; }, 250 + 10},
      {"mark, vowel, target level4 2",
       [](Block& t, Block& u) { tones(t, u), u.set_name("e"), t->mark = u->mark = 2, t->level4 = 2; }, 500 + 10 + 1 + 4},
      {"marks differ, vowel", [](Block& t, Block& u) { tones(t, u), u.set_name("e"), u->mark = 2; }, 1005 + 500 + 10},
      {"marks differ, voiceless", [](Block& t, Block& u) { tones(t, u), u->mark = 2; }, 5 + 200 + 10},
      {"level2 before mark", [](Block& t, Block& u) { tones(t, u), u->mark = 2, t->level2 = u->level2 = 1; }, 5 + 200 + 10},
      // Unit pos2 = 1.
      {"pos2, voiceless", [](Block& t, Block& u) { tones(t, u), t->pos2 = u->pos2 = 1; }, 200 + 10},
      {"pos2, voiced", [](Block& t, Block& u) { tones(t, u), u.set_name("m"), t->pos2 = u->pos2 = 1; }, 400 + 10},
      {"pos2, silence, t = 8",
       [](Block& t, Block& u) { tones(t, u), t.tone("L*"), u.set_name("pau").tone("L"), t->pos2 = u->pos2 = 1; }, 320 + 8},
  });
}

TEST(SegmentCost, HighTonePenalty) {
  auto high = [](Block& t, Block& u) {
    t.tone("H"), u.tone("H");
    t->level3 = u->level3 = 1;
    t->level1 = u->level1 = t->level2 = u->level2 = 2;
  };
  check({
      {"through level3", high, 1000},
      {"through level4", [&](Block& t, Block& u) { high(t, u), t->level3 = u->level3 = 0, t->level4 = 1, u->level4 = 2; }, 1000 + 2},
      {"unit level1 1", [&](Block& t, Block& u) { high(t, u), u->level1 = 1; }, 2},
      {"unit level2 1", [&](Block& t, Block& u) { high(t, u), u->level2 = 1; }, 3},
      {"target tone L", [&](Block& t, Block& u) { high(t, u), t.tone("L"), u.tone("L"); }, 0},
      {"unaccented target", [&](Block& t, Block& u) { high(t, u), t->level3 = u->level3 = 0; }, 0},
  });
}

// The length term alone: x is the target's measure, y the unit's.  The ratios
// below are exact binary fractions.
uint32_t length_raw(float x, float y, const char* name = "t") {
  Block t, u;
  t.set_name(name), u.set_name(name);
  t->measure = x;
  u->measure = y;
  return segment_cost_unscaled(t.get(), u.get());
}

TEST(SegmentCost, LengthTerm) {
  const struct {
    float x, y;
    uint32_t raw;
  } cases[] = {
      {1, 1, 0},
      {9, 7, 18},             // r = 0.125: 18.75
      {19, 13, 28 + 5},       // r = 0.1875: 28.125, 5.625
      {21, 11, 46 + 24},      // r = 0.3125: 46.875, 24.375
      {11, 5, 56 + 33 + 9},   // r = 0.375: 56.25, 33.75, 9
      {3, 1, 75 + 52 + 54},   // r = 0.5
      {1, 0, 150 + 127 + 234},
      {13, 19, 46},                 // r = 0.1875: 46.875
      {3, 5, 62 + 6},               // r = 0.25: 62.5, 6
      {11, 21, 78 + 13 + 1},        // r = 0.3125: 78.125, 13.5, 1.875
      {9, 23, 109 + 28 + 20 + 11},  // r = 0.4375
      {1, 3, 125 + 36 + 30 + 30},   // r = 0.5
      {0, 1, 250 + 96 + 105 + 180},
      {0, 0, 0},   // x + y = 0
      {2, -2, 0},
      {NAN, 1, 0},
      {INFINITY, 1, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(length_raw(c.x, c.y), c.raw) << c.x << " " << c.y;
  // Silence as the target never pays it; as the unit it does.
  EXPECT_EQ(length_raw(3, 1, "pau"), 0u);
  Block t, u;
  t->measure = 1;
  u.set_name("pau");
  u->measure = 3;
  EXPECT_EQ(segment_cost_unscaled(t.get(), u.get()), 221u);
  // Measures of opposite sign stay bounded and defined.
  EXPECT_LT(length_raw(1.0f, -0.999999f), 1000000000u);
}

// The extra terms start at zero on their strict thresholds, so the term has no
// jump: sweeping r in small steps across every threshold, the cost never
// falls and rises by at most one per term and step.
TEST(SegmentCost, LengthTermContinuousAtThresholds) {
  for (bool target_longer : {true, false}) {
    uint32_t previous = 0;
    for (int k = 0; k <= 6000; ++k) {
      float r = static_cast<float>(k) / 10000.0f;
      float a = 1.0f + r, b = 1.0f - r;  // (a - b) / (a + b) = r
      uint32_t c = target_longer ? length_raw(a, b) : length_raw(b, a);
      ASSERT_GE(c, previous) << r;
      ASSERT_LE(c, previous + 4) << r;
      previous = c;
    }
  }
}

TEST(SegmentCost, ScalingTruncates) {
  check({
      {"1 -> 0.4", [](Block&, Block& u) { u->flag1 = 1; }, 1},
      {"3 -> 1.2", [](Block&, Block& u) { u->flag1 = u->flag2 = u->flag3 = 1; }, 3},
      {"2358 -> 943.2", [](Block&, Block& u) { u.gpos("det"), u->flag1 = u->flag2 = u->flag3 = 1, u->pos1 = u->pos2 = u->pos3 = 255; }, 2358},
  });
  Block t, u;
  u->pos1 = u->pos2 = u->pos3 = 255;
  u.gpos("det");
  u->flag1 = u->flag2 = u->flag3 = 1;
  EXPECT_EQ(segment_cost(t.get(), u.get()), 943u);
  u = Block();
  u.p_name("i");
  EXPECT_EQ(segment_cost(t.get(), u.get()), 2u);
}

TEST(TargetCost, SumsBothPhonesAndTheWordBoundaryPattern) {
  Block tl, tr, ul, ur;
  tr.set_name("a");
  ur.set_name("a");
  ul.p_name("o");  // 7 -> 2
  ur->mark = 1;    // 1005 -> 402
  EXPECT_EQ(target_cost(tl.get(), tr.get(), ul.get(), ur.get()), 404u);

  Block pl, pr;  // the pattern: left pos2 and pos5 1, right pos1 and pos4 1
  pl->pos2 = pl->pos5 = pr->pos1 = pr->pos4 = 1;
  Block zl, zr;  // each phone against the pattern: 5 -> 2
  EXPECT_EQ(target_cost(pl.get(), pr.get(), zl.get(), zr.get()), 2u + 2 + 200);
  EXPECT_EQ(target_cost(zl.get(), zr.get(), pl.get(), pr.get()), 2u + 2 + 5);
  EXPECT_EQ(target_cost(pl.get(), pr.get(), pl.get(), pr.get()), 0u);
  // Any member missing breaks the pattern.
  Block l = pl;
  l->pos5 = 0;  // left phone: pos2 alone, 3 -> 1
  EXPECT_EQ(target_cost(l.get(), pr.get(), zl.get(), zr.get()), 1u + 2);
  Block r = pr;
  r->pos1 = 0;  // unit side keeps the pattern: right phone 3 -> 1, plus 5
  EXPECT_EQ(target_cost(pl.get(), r.get(), pl.get(), pr.get()), 1u + 5);
}

TEST(TargetCost, DoesNotAllocate) {
  std::mt19937 rng(7);
  Block blocks[8];
  const char* names[] = {"a", "t", "r", "oh", "n", "s", "pau", "e"};
  for (int k = 0; k < 8; ++k) {
    blocks[k].set_name(names[k]).tone(rng() % 2 ? "L*" : "H");
    blocks[k]->level4 = static_cast<uint8_t>(rng() % 3);
    blocks[k]->level2 = static_cast<uint8_t>(rng() % 3);
    blocks[k]->mark = static_cast<uint8_t>(rng() % 2);
    blocks[k]->measure = 0.02f + static_cast<float>(rng() % 100) / 1000.0f;
  }
  uint64_t before = heap_alloc_count();
  uint64_t sum = 0;
  for (int k = 0; k < 4096; ++k)
    sum += target_cost(blocks[k % 8].get(), blocks[(k + 1) % 8].get(), blocks[(k * 3) % 8].get(),
                       blocks[(k * 5 + 1) % 8].get());
  EXPECT_EQ(heap_alloc_count(), before);
  EXPECT_GT(sum, 0u);
}

}  // namespace
