// Target cost: worked examples of the scaling, the continuity of the length
// term and the word-boundary pattern of the diphone.  Each penalty of a phone
// is checked against a literal reading of the rules in target_cost_rules_test.
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

// The length term alone: x is the target's measure, y the unit's.  The ratios
// below are exact binary fractions.
uint32_t length_raw(float x, float y, const char* name = "t") {
  Block t, u;
  t.set_name(name), u.set_name(name);
  t->measure = x;
  u->measure = y;
  return segment_cost_unscaled(t.get(), u.get());
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
