// Target cost: each penalty of a phone, the tone terms, the length term and
// the final scaling, and the word-boundary pattern of the diphone.
#include "unitsel/target_cost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "core/platform.h"
#include "tests/unitsel/segment_block.h"

namespace {

uint32_t raw(const SegmentBlock& t, const SegmentBlock& u) { return segment_cost_unscaled(t.get(), u.get()); }
uint32_t cost(const SegmentBlock& t, const SegmentBlock& u) { return segment_cost(t.get(), u.get()); }

TEST(SegmentCost, IdenticalBlocksCostNothing) {
  SegmentBlock t;
  EXPECT_EQ(raw(t, t), 0u);
  SegmentBlock u = t;  // same text, different pointers
  EXPECT_EQ(cost(t, u), 0u);
  SegmentBlock vowel;
  vowel.set_name("a");
  vowel->mark = 2;
  vowel->level1 = 3;
  vowel->level4 = 1;
  vowel.tone("L*");
  EXPECT_EQ(cost(vowel, SegmentBlock(vowel)), 0u);
}

TEST(SegmentCost, HighTonePenaltyAppliesEvenAgainstItself) {
  SegmentBlock b;
  b->level4 = 1;
  b->level1 = 2;
  b->level2 = 2;
  b.tone("H");
  EXPECT_EQ(raw(b, SegmentBlock(b)), 1000u);
  EXPECT_EQ(cost(b, SegmentBlock(b)), 400u);

  // Through level3 as well, with the tone terms off (unit level4 not 1).
  SegmentBlock t;
  t->level3 = 1;
  t->level1 = t->level2 = 2;
  t.tone("H");
  SegmentBlock u = t;
  EXPECT_EQ(raw(t, u), 1000u);
  // Each missing condition removes it.
  SegmentBlock low = u;
  low->level1 = 1;  // unit level1 not above 1 (and the level1 rule adds 2)
  EXPECT_EQ(raw(t, low), 2u);
  low = u;
  low->level2 = 1;  // level2 rule: target above 1, unit 1 adds 3
  EXPECT_EQ(raw(t, low), 3u);
  SegmentBlock no_h = t;
  no_h.tone("L");
  SegmentBlock no_h_u = no_h;
  EXPECT_EQ(raw(no_h, no_h_u), 0u);
  SegmentBlock unaccented = t;
  unaccented->level3 = 0;
  SegmentBlock unaccented_u = unaccented;
  EXPECT_EQ(raw(unaccented, unaccented_u), 0u);
}

TEST(SegmentCost, ContextNames) {
  SegmentBlock t;
  SegmentBlock u = t;
  u.p_name("i");
  EXPECT_EQ(raw(t, u), 7u);
  EXPECT_EQ(cost(t, u), 2u);
  u = t;
  u.n_name("i");
  EXPECT_EQ(raw(t, u), 7u);
  u = t;
  u.pp_name("i");
  EXPECT_EQ(raw(t, u), 3u);
  u.nn_name("i");
  EXPECT_EQ(raw(t, u), 6u);
  u.p_name("i").n_name("o");
  EXPECT_EQ(raw(t, u), 20u);

  // A prefix is a different name.
  u = t;
  u.p_name("an");
  EXPECT_EQ(raw(t, u), 7u);
}

TEST(SegmentCost, ContextMultipliers) {
  SegmentBlock t;
  SegmentBlock u = t;
  u.p_name("i");  // c = 7

  SegmentBlock r = t;
  r.set_name("r");
  SegmentBlock ru = r;
  ru.p_name("i");
  EXPECT_EQ(raw(r, ru), 35u);
  EXPECT_EQ(cost(r, ru), 14u);

  // "oh" before "n" triples; "oh" elsewhere does not.
  SegmentBlock oh = t;
  oh.set_name("oh").n_name("n");
  SegmentBlock ohu = oh;
  ohu.p_name("i");
  EXPECT_EQ(raw(oh, ohu), 21u);
  oh.n_name("m");
  ohu.n_name("m");
  EXPECT_EQ(raw(oh, ohu), 7u);

  // A neighbouring "r": 10 against a vowel unit, 5 against anything else.
  SegmentBlock nr = t;
  nr.n_name("r");
  SegmentBlock nru = nr;
  nru.p_name("i");
  EXPECT_EQ(raw(nr, nru), 35u);
  nru.ph_vc("+");
  EXPECT_EQ(raw(nr, nru), 70u);
  // The previous name is the target's: "r" there, a different one on the unit.
  SegmentBlock pr = t;
  pr.p_name("r");
  SegmentBlock pru = pr;
  pru.p_name("a");
  EXPECT_EQ(raw(pr, pru), 35u);

  // Both multipliers apply in turn: 7 * 5 * 10.
  SegmentBlock rr = r;
  rr.p_name("r");
  SegmentBlock rru = rr;
  rru.p_name("i").ph_vc("+");
  EXPECT_EQ(raw(rr, rru), 350u);
  // "oh" + "n" then "r" before: 7 * 3 * 5.
  SegmentBlock ohr = oh;
  ohr.n_name("n").p_name("r");
  SegmentBlock ohru = ohr;
  ohru.pp_name("i").nn_name("i").p_name("a");  // c = 3 + 3 + 7 = 13
  EXPECT_EQ(raw(ohr, ohru), 13u * 3 * 10);  // the unit "oh" is a vowel

  // "on", "en" and "j" as neighbours triple; "r" wins over them.
  for (const char* nb : {"on", "en", "j"}) {
    SegmentBlock x = t;
    x.n_name(nb);
    SegmentBlock xu = x;
    xu.p_name("i");
    EXPECT_EQ(raw(x, xu), 21u) << nb;
    SegmentBlock y = t;
    y.p_name(nb);
    SegmentBlock yu = y;
    yu.p_name("i");
    EXPECT_EQ(raw(y, yu), 21u) << nb;
    y.n_name("r");
    yu.n_name("r");
    EXPECT_EQ(raw(y, yu), 35u) << nb;
  }
  // Whole-string tests: "oni" and "rr" are not "on" and "r".
  SegmentBlock other = t;
  other.n_name("oni");
  SegmentBlock otheru = other;
  otheru.p_name("i");
  EXPECT_EQ(raw(other, otheru), 7u);
  other.n_name("rr");
  otheru.n_name("rr");
  EXPECT_EQ(raw(other, otheru), 7u);
}

TEST(SegmentCost, PositionsAndMark) {
  SegmentBlock t;
  t->pos1 = 3;
  t->pos2 = 0;
  t->pos3 = 7;
  SegmentBlock u = t;
  u->pos1 = 1;
  u->pos2 = 1;
  u->pos3 = 9;
  EXPECT_EQ(raw(t, u), 3u * (2 + 1 + 2));
  u = t;
  u->pos4 = 4;
  u->pos5 = 255;
  t->pos5 = 253;
  EXPECT_EQ(raw(t, u), 2u * (4 + 2));

  // A mark mismatch: 5 on a consonant, 1005 on a vowel unit.
  SegmentBlock m = SegmentBlock();
  SegmentBlock mu = m;
  mu->mark = 3;
  EXPECT_EQ(raw(m, mu), 5u);
  EXPECT_EQ(cost(m, mu), 2u);
  SegmentBlock v;
  v.set_name("a");
  SegmentBlock vu = v;
  vu->mark = 1;
  EXPECT_EQ(raw(v, vu), 1005u);
  EXPECT_EQ(cost(v, vu), 402u);
  // The unit's class decides, not the target's.
  SegmentBlock cv = v;
  cv.ph_vc("-");
  EXPECT_EQ(raw(v, cv), 0u);
  cv->mark = 1;
  EXPECT_EQ(raw(v, cv), 5u);
}

TEST(SegmentCost, LevelRules) {
  struct Case {
    uint8_t SegmentTarget::*member;
    uint32_t one_over;  // target 1, unit 2 or more
    uint32_t over_one;  // target 2 or more, unit 1
  };
  const Case cases[] = {
      {&SegmentTarget::level1, 2, 2}, {&SegmentTarget::level2, 10, 3}, {&SegmentTarget::level3, 2, 1},
      {&SegmentTarget::level5, 1, 1}, {&SegmentTarget::level6, 1, 1},
  };
  for (const Case& c : cases) {
    SegmentBlock t;
    SegmentBlock u;
    t.rec.*c.member = 1;
    u.rec.*c.member = 2;
    EXPECT_EQ(raw(t, u), c.one_over);
    u.rec.*c.member = 200;
    EXPECT_EQ(raw(t, u), c.one_over);
    t.rec.*c.member = 2;
    u.rec.*c.member = 1;
    EXPECT_EQ(raw(t, u), c.over_one);
    t.rec.*c.member = 9;
    EXPECT_EQ(raw(t, u), c.over_one);
    // 0 against anything, and two values above 1, are not told apart.
    t.rec.*c.member = 0;
    EXPECT_EQ(raw(t, u), 0u);
    t.rec.*c.member = 2;
    u.rec.*c.member = 5;
    EXPECT_EQ(raw(t, u), 0u);
    t.rec.*c.member = 1;
    u.rec.*c.member = 0;
    EXPECT_EQ(raw(t, u), 0u);
  }

  // level4: 2 for target 1 against unit 2; target 2 against unit 1 adds 1 and
  // switches the tone terms on (here only s = 2, so 2 * 2 more).
  SegmentBlock t;
  SegmentBlock u;
  t->level4 = 1;
  u->level4 = 2;
  EXPECT_EQ(raw(t, u), 2u);
  t->level4 = 2;
  u->level4 = 1;
  EXPECT_EQ(raw(t, u), 1u + 4u);
}

TEST(SegmentCost, FlagsAndLabels) {
  uint8_t SegmentTarget::*flags[] = {&SegmentTarget::flag1, &SegmentTarget::flag2, &SegmentTarget::flag3,
                                     &SegmentTarget::flag4, &SegmentTarget::flag5};
  SegmentBlock t;
  SegmentBlock u;
  uint32_t expected = 0;
  for (auto f : flags) {
    u.rec.*f = 7;
    ++expected;
    EXPECT_EQ(raw(t, u), expected);
  }
  SegmentBlock l;
  SegmentBlock lu;
  lu.label("y");
  EXPECT_EQ(raw(l, lu), 3u);
  lu->label_value = 2;
  EXPECT_EQ(raw(l, lu), 9u);
  l->label_value = 5;
  lu.label("x");
  EXPECT_EQ(raw(l, lu), 9u);
}

TEST(SegmentCost, PartOfSpeech) {
  SegmentBlock t;
  SegmentBlock u;
  u.gpos("det");  // content against a function word, and the unit's class differs
  EXPECT_EQ(raw(t, u), 60u);
  SegmentBlock ft;
  ft.gpos("det");
  EXPECT_EQ(raw(ft, SegmentBlock()), 50u);  // unit is content: no class term
  SegmentBlock fu;
  fu.gpos("prep");
  EXPECT_EQ(raw(ft, fu), 10u);
  fu.gpos("det");
  EXPECT_EQ(raw(ft, fu), 0u);
  u = SegmentBlock();
  u.gpos_p("det");
  EXPECT_EQ(raw(t, u), 3u);
  u.gpos_n("in");
  EXPECT_EQ(raw(t, u), 6u);
  // Two different function-word classes on the neighbours count nothing.
  SegmentBlock a;
  a.gpos_p("det").gpos_n("pps");
  SegmentBlock b;
  b.gpos_p("in").gpos_n("aux");
  EXPECT_EQ(raw(a, b), 0u);
}

// Tone terms: the unit has level4 = 1; the target too unless stated (s = 0).
class ToneTerms : public ::testing::Test {
 protected:
  void SetUp() override {
    t->level4 = 1;
    u->level4 = 1;
    t.tone("H");
    u.tone("L");  // t = 10
  }
  SegmentBlock t;
  SegmentBlock u;
};

TEST_F(ToneTerms, ToneDifference) {
  EXPECT_EQ(raw(t, u), 10u);
  u.tone("H");
  EXPECT_EQ(raw(t, u), 0u);
  t.tone("L");
  u.tone("L*");
  EXPECT_EQ(raw(t, u), 0u);
  t.tone("L*");
  u.tone("L");
  EXPECT_EQ(raw(t, u), 8u);
  // Off when the unit's level4 is not 1.
  u->level4 = 2;
  t->level4 = 2;
  EXPECT_EQ(raw(t, u), 0u);
}

TEST_F(ToneTerms, TargetLevel4AddsS) {
  t->level4 = 0;
  EXPECT_EQ(raw(t, u), 10u + 2 * 2);
  t->level4 = 3;
  EXPECT_EQ(raw(t, u), 1u + 10 + 2 * 2);  // plus the level4 rule
}

TEST_F(ToneTerms, UnitLevel2One) {
  u->level2 = 1;
  t->level2 = 1;  // r = 0
  // u is "t": a voiceless consonant.
  EXPECT_EQ(raw(t, u), 10u * (0 + 2 * 10) + 10);
  t->level2 = 0;  // r = 10
  EXPECT_EQ(raw(t, u), 10u * (10 + 2 * 10) + 10);
  u.set_name("d");  // voiced consonant
  EXPECT_EQ(raw(t, u), 150u * 10 + 250 * 10 + 10);
  u.set_name("a");  // vowel
  EXPECT_EQ(raw(t, u), 150u * 10 + 250 * 10 + 10);
  // A vowel unit marked voiceless is still no consonant.
  u.ph_cvox("-");
  EXPECT_EQ(raw(t, u), 150u * 10 + 250 * 10 + 10);
  u.tone("H");  // t = 0
  EXPECT_EQ(raw(t, u), 150u * 10);
}

TEST_F(ToneTerms, UnitMarked) {
  t->mark = u->mark = 2;  // r = 0
  EXPECT_EQ(raw(t, u), 10u * 10 + 10);  // voiceless consonant
  u.set_name("z");
  EXPECT_EQ(raw(t, u), 15u * 10 + 10);  // voiced consonant
  u.set_name("e");
  EXPECT_EQ(raw(t, u), 25u * 10 + 10);  // vowel
  t->level4 = 2;                        // r = 10, plus level4 rule 1 and s = 2
  EXPECT_EQ(raw(t, u), 25u * 20 + 10 + 1 + 4);
  t->level4 = 1;
  t->mark = 0;  // mark differs: r = 10, and the mark rule 5 + 1000 on a vowel
  EXPECT_EQ(raw(t, u), 1005u + 25 * 20 + 10);
  u.set_name("s");
  EXPECT_EQ(raw(t, u), 5u + 10 * 20 + 10);
  // level2 = 1 takes precedence over the mark branch.
  u->level2 = 1;
  t->level2 = 1;
  EXPECT_EQ(raw(t, u), 5u + 10 * (0 + 2 * 10) + 10);
}

TEST_F(ToneTerms, UnitPos2) {
  t->pos2 = u->pos2 = 1;
  EXPECT_EQ(raw(t, u), 20u * 10 + 10);  // voiceless
  u.set_name("m");
  EXPECT_EQ(raw(t, u), 40u * 10 + 10);
  u.set_name("pau");  // cvox "0"
  EXPECT_EQ(raw(t, u), 40u * 10 + 10);
  t.tone("L*");
  u.tone("L");  // t = 8
  EXPECT_EQ(raw(t, u), 40u * 8 + 8);
}

// The length term alone: the target is "t", measures x (target), y (unit).
uint32_t length_raw(float x, float y) {
  SegmentBlock t;
  SegmentBlock u;
  t->measure = x;
  u->measure = y;
  return raw(t, u);
}

TEST(SegmentCost, LengthTermTargetLonger) {
  EXPECT_EQ(length_raw(1.0f, 1.0f), 0u);
  EXPECT_EQ(length_raw(9.0f, 7.0f), 18u);                  // r = 0.125: 18.75
  EXPECT_EQ(length_raw(19.0f, 13.0f), 28u + 5);            // r = 0.1875: 28.125, 5.625
  EXPECT_EQ(length_raw(21.0f, 11.0f), 46u + 24);           // r = 0.3125: 46.875, 24.375
  EXPECT_EQ(length_raw(11.0f, 5.0f), 56u + 33 + 9);        // r = 0.375: 56.25, 33.75, 9
  EXPECT_EQ(length_raw(3.0f, 1.0f), 75u + 52 + 54);        // r = 0.5: the 181 of the worked case
  EXPECT_EQ(length_raw(1.0f, 0.0f), 150u + 127 + 234);     // r = 1
}

TEST(SegmentCost, LengthTermUnitLonger) {
  EXPECT_EQ(length_raw(13.0f, 19.0f), 46u);                // r = 0.1875: 46.875
  EXPECT_EQ(length_raw(3.0f, 5.0f), 62u + 6);              // r = 0.25: 62.5, 6
  EXPECT_EQ(length_raw(11.0f, 21.0f), 78u + 13 + 1);       // r = 0.3125: 78.125, 13.5, 1.875
  EXPECT_EQ(length_raw(9.0f, 23.0f), 109u + 28 + 20 + 11);  // r = 0.4375
  EXPECT_EQ(length_raw(1.0f, 3.0f), 125u + 36 + 30 + 30);  // r = 0.5: the 221 of the worked case
  EXPECT_EQ(length_raw(0.0f, 1.0f), 250u + 96 + 105 + 180);
}

// The extra terms start at zero on their strict thresholds, so the term has no
// jump anywhere: sweeping r in small steps through every threshold, the cost
// never falls and never rises by more than a few points per step.
TEST(SegmentCost, LengthTermContinuousAtThresholds) {
  for (bool target_longer : {true, false}) {
    uint32_t previous = 0;
    for (int k = 0; k <= 6000; ++k) {
      float r = static_cast<float>(k) / 10000.0f;  // 0 .. 0.6
      // x, y with (x - y) / (x + y) = r and x + y = 2.
      float a = 1.0f + r;
      float b = 1.0f - r;
      uint32_t c = target_longer ? length_raw(a, b) : length_raw(b, a);
      EXPECT_GE(c, previous) << "r=" << r;
      EXPECT_LE(c, previous + 4) << "r=" << r;
      previous = c;
    }
  }
}

TEST(SegmentCost, LengthTermEdges) {
  EXPECT_EQ(length_raw(0.0f, 0.0f), 0u);  // x + y = 0
  EXPECT_EQ(length_raw(2.0f, -2.0f), 0u);
  // Silence as target never pays it; silence as unit does.
  SegmentBlock t;
  t.set_name("pau");
  t->measure = 3.0f;
  SegmentBlock u = t;
  u.set_name("t");
  u->measure = 1.0f;
  EXPECT_EQ(raw(t, u), 0u);
  EXPECT_EQ(raw(u, t), 221u);
  // Measures outside the positive range stay bounded and defined.
  EXPECT_LT(length_raw(1.0f, -0.999999f), 1000000000u);
  EXPECT_EQ(length_raw(NAN, 1.0f), 0u);
  EXPECT_EQ(length_raw(INFINITY, 1.0f), 0u);
}

TEST(SegmentCost, ScalingTruncates) {
  SegmentBlock t;
  SegmentBlock u;
  u->flag1 = 1;  // 1 -> 0.4
  EXPECT_EQ(cost(t, u), 0u);
  u->flag2 = 1;
  u->flag3 = 1;  // 3 -> 1.2
  EXPECT_EQ(cost(t, u), 1u);
  u.gpos("det");  // 63 -> 25.2
  EXPECT_EQ(cost(t, u), 25u);
  u->pos1 = 255;
  u->pos2 = 255;
  u->pos3 = 255;  // 63 + 2295 = 2358 -> 943.2
  EXPECT_EQ(cost(t, u), 943u);
}

TEST(TargetCost, SumsBothPhones) {
  SegmentBlock tl, tr;
  tr.set_name("a");
  SegmentBlock ul = tl, ur = tr;
  ul.p_name("o");        // 7 -> 2
  ur->mark = 1;          // 1005 -> 402
  EXPECT_EQ(target_cost(tl.get(), tr.get(), ul.get(), ur.get()), 404u);
  EXPECT_EQ(target_cost(tl.get(), tr.get(), tl.get(), tr.get()), 0u);
}

TEST(TargetCost, WordBoundaryPattern) {
  SegmentBlock tl, tr;
  tl->pos2 = 1;
  tl->pos5 = 1;
  tr->pos1 = 1;
  tr->pos4 = 1;
  SegmentBlock ul, ur;  // all 0: each phone costs 3 + 2 = 5 -> 2
  EXPECT_EQ(target_cost(tl.get(), tr.get(), ul.get(), ur.get()), 2u + 2 + 200);
  EXPECT_EQ(target_cost(ul.get(), ur.get(), tl.get(), tr.get()), 2u + 2 + 5);
  EXPECT_EQ(target_cost(tl.get(), tr.get(), tl.get(), tr.get()), 0u);
  EXPECT_EQ(target_cost(ul.get(), ur.get(), ul.get(), ur.get()), 0u);
  // Any one of the four members missing breaks the pattern.
  uint8_t SegmentTarget::*left_members[] = {&SegmentTarget::pos2, &SegmentTarget::pos5};
  uint8_t SegmentTarget::*right_members[] = {&SegmentTarget::pos1, &SegmentTarget::pos4};
  const uint32_t left_phone[] = {0, 1};  // pos5 alone: 2 -> 0; pos2 alone: 3 -> 1
  for (int k = 0; k < 2; ++k) {
    SegmentBlock l = tl;
    l.rec.*left_members[k] = 0;
    EXPECT_EQ(target_cost(l.get(), tr.get(), ul.get(), ur.get()), left_phone[k] + 2);
  }
  const uint32_t right_phone[] = {1, 0};  // pos1 off by one: 3 -> 1; pos4: 2 -> 0
  for (int k = 0; k < 2; ++k) {
    SegmentBlock r = tr;
    r.rec.*right_members[k] = 0;
    EXPECT_EQ(target_cost(tl.get(), r.get(), tl.get(), tr.get()), right_phone[k] + 5);
  }
}

TEST(TargetCost, DoesNotAllocate) {
  std::mt19937 rng(7);
  SegmentBlock blocks[8];
  const char* names[] = {"a", "t", "r", "oh", "n", "s", "pau", "e"};
  for (int k = 0; k < 8; ++k) {
    blocks[k].set_name(names[k]);
    blocks[k]->level4 = static_cast<uint8_t>(rng() % 3);
    blocks[k]->level2 = static_cast<uint8_t>(rng() % 3);
    blocks[k]->mark = static_cast<uint8_t>(rng() % 2);
    blocks[k]->measure = 0.02f + static_cast<float>(rng() % 100) / 1000.0f;
    blocks[k].tone(rng() % 2 ? "L*" : "H");
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
