// Join costs: the five component terms, the spectral distance, and each of
// the six functions with its bound test, its q threshold and its scaling.
#include "unitsel/join_cost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <random>

#include "core/platform.h"

namespace {

constexpr uint32_t kNoBound = 0xffffffffu;

JoinEdge edge() {
  JoinEdge e{};
  e.edge_value = 1000;
  e.edge_level = 5;
  e.edge_a = 100;
  e.edge_b = 0;
  e.edge_c = 10;
  std::memset(e.coef, 50, sizeof e.coef);
  return e;
}

// Edges A and B differing only in the members that a test sets on B.
struct Pair {
  JoinEdge a = edge();
  JoinEdge b = edge();
};

struct Variant {
  const char* name;
  JoinCostFn fn;
};
const Variant kVariants[] = {
    {"vowel", join_cost_vowel},
    {"voiceless_plosive", join_cost_voiceless_plosive},
    {"voiced_plosive", join_cost_voiced_plosive},
    {"glide_rhotic", join_cost_glide_rhotic},
    {"voiceless_other", join_cost_voiceless_other},
    {"other", join_cost_other},
};

TEST(JoinTerms, T1) {
  Pair p;
  const struct {
    int d;
    uint32_t t1;
  } cases[] = {{0, 0}, {1, 0}, {2, 0}, {3, 70}, {10, 350}, {65435, 40 * 65435 - 50}};
  for (auto c : cases) {
    p.b.edge_a = static_cast<uint16_t>(100 + c.d);
    EXPECT_EQ(join_t1(&p.a, &p.b), c.t1) << c.d;
  }
}

TEST(JoinTerms, T2) {
  Pair p;
  const struct {
    uint16_t b;
    uint32_t t2;
  } cases[] = {
      {1000, 0},  {1100, 2},          // v = 2
      {1250, 5},                      // v = 5 (5.56)
      {1300, 3 * 6 - 10},             // v = 6 (6.52)
      {1400, 3 * 8 - 10},             // v = 8 (8.33)
      {1450, 5 * 9 - 32},             // v = 9 (9.18)
      {3000, 5 * 25 - 32},            // v = 25
      {0, 5 * 50 - 32},               // v = 50
      {65535, 5 * 48 - 32},           // 50 * 64.535 / 66.535 = 48.5
  };
  for (auto c : cases) {
    p.b.edge_value = c.b;
    EXPECT_EQ(join_t2(&p.a, &p.b), c.t2) << c.b;
  }
  p.a.edge_value = 0;
  p.b.edge_value = 0;
  EXPECT_EQ(join_t2(&p.a, &p.b), 100u);
}

TEST(JoinTerms, T3) {
  const struct {
    int16_t a, b;
    uint32_t t3;
  } cases[] = {
      {2, 25, kCostReject}, {25, 2, kCostReject}, {2, 20, kCostReject}, {-7, 30, kCostReject},
      {3, 25, 4},           {2, 19, 3},           {20, 20, 0},           {30, 20, 2},
      {0, 2, 200},          {2, 0, 200},          {-5, 2, 201},          {0, 1, 0},
      {1, 2, 0},            {1, 0, 0},            {0, 0, 0},             {5, 9, 0},
      {5, 10, 1},           {-32768, 2, 6554 + 200},
  };
  for (auto c : cases) {
    JoinEdge a = edge(), b = edge();
    a.edge_level = c.a;
    b.edge_level = c.b;
    EXPECT_EQ(join_t3(&a, &b), c.t3) << c.a << " " << c.b;
  }
}

TEST(JoinTerms, T4) {
  const struct {
    int16_t a, b;
    uint32_t t4;
  } cases[] = {{0, 0, 0},     {0, 9, 0},     {0, 10, 3},     {0, 15, 5},       {0, 16, 16},
               {0, 23, 23},   {0, 24, 48},   {0, 47, 94},    {0, 48, 192},     {-100, 100, 800},
               {50, -10, 240}, {-32768, 32767, 4 * 65535}};
  for (auto c : cases) {
    JoinEdge a = edge(), b = edge();
    a.edge_b = c.a;
    b.edge_b = c.b;
    EXPECT_EQ(join_t4(&a, &b), c.t4) << c.a << " " << c.b;
  }
}

TEST(JoinTerms, T5) {
  const struct {
    int d;
    uint32_t t5;
  } cases[] = {{0, 0}, {1, 3}, {2, 31}, {7, 131}, {8, 320}, {100, 4000}};
  for (auto c : cases) {
    Pair p;
    p.b.edge_c = static_cast<uint16_t>(10 + c.d);
    EXPECT_EQ(join_t5(&p.a, &p.b), c.t5) << c.d;
  }
}

// The distance as the steps state it, each product in single precision.
uint32_t spectral_reference(const JoinEdge& a, const JoinEdge& b) {
  float d[16];
  for (int k = 0; k < 16; ++k) d[k] = static_cast<float>(std::abs(a.coef[k] - b.coef[k]));
  auto s1 = static_cast<uint32_t>((d[0] + d[1] + d[2]) + 0.75f * (d[3] + d[4] + d[5]));
  auto s2 = static_cast<uint32_t>(static_cast<float>(s1) + 0.5f * (d[6] + d[7] + d[8]));
  auto s3 = static_cast<uint32_t>(static_cast<float>(s2) +
                                  0.25f * (d[9] + d[10] + d[11] + d[12] + d[13] + d[14] + d[15]));
  return static_cast<uint32_t>(1.5f * static_cast<float>(s3));
}

JoinEdge random_edge(std::mt19937& rng) {
  JoinEdge e{};
  e.edge_value = static_cast<uint16_t>(rng() % 4 == 0 ? rng() % 3 : rng());
  e.edge_level = static_cast<int16_t>(static_cast<int>(rng() % 40) - 5);
  e.edge_a = static_cast<uint16_t>(rng() % 2 ? rng() % 12 : rng());
  e.edge_b = static_cast<int16_t>(rng() % 2 ? static_cast<int>(rng() % 100) - 50 : static_cast<int>(rng()));
  e.edge_c = static_cast<uint16_t>(rng() % 12);
  for (auto& c : e.coef) c = static_cast<uint8_t>(rng());
  for (auto& r : e.reserved) r = static_cast<uint8_t>(rng());
  return e;
}

TEST(JoinTerms, SpectralDistanceMatchesSinglePrecisionSteps) {
  std::mt19937 rng(11);
  for (int k = 0; k < 20000; ++k) {
    JoinEdge a = random_edge(rng), b = random_edge(rng);
    if (k % 3 == 0)  // also many small distances
      for (int c = 0; c < 16; ++c) b.coef[c] = static_cast<uint8_t>(a.coef[c] + rng() % 7);
    ASSERT_EQ(join_spectral_distance(&a, &b), spectral_reference(a, b));
  }
}

TEST(JoinCost, IdenticalEdges) {
  JoinEdge e = edge();
  for (const Variant& v : kVariants)
    EXPECT_EQ(v.fn(&e, &e, kNoBound), v.fn == join_cost_voiceless_plosive ? 32u : 0u) << v.name;
  // Both edge values 0: T2 = 100.
  e.edge_value = 0;
  EXPECT_EQ(join_cost_vowel(&e, &e, kNoBound), 200u);
  EXPECT_EQ(join_cost_voiceless_plosive(&e, &e, kNoBound), 352u);  // 3.2 * 110
  EXPECT_EQ(join_cost_voiced_plosive(&e, &e, kNoBound), 80u);
  EXPECT_EQ(join_cost_glide_rhotic(&e, &e, kNoBound), 960u);
  EXPECT_EQ(join_cost_voiceless_other(&e, &e, kNoBound), 48u);  // 0.8 * trunc(0.6 * 100)
  EXPECT_EQ(join_cost_other(&e, &e, kNoBound), 80u);
}

TEST(JoinCost, HardLevelMismatchAlwaysRejects) {
  Pair p;
  p.a.edge_level = 2;
  p.b.edge_level = 25;
  for (const Variant& v : kVariants)
    for (uint32_t bound : {0u, 1u, 1000u, 800000u, 800001u, 1000000u, 5000000u, kNoBound}) {
      EXPECT_EQ(v.fn(&p.a, &p.b, bound), kCostReject) << v.name << " " << bound;
      EXPECT_EQ(v.fn(&p.b, &p.a, bound), kCostReject) << v.name << " " << bound;
    }
  // 0 against 2 is no mismatch but adds 200.
  p.a.edge_level = 0;
  p.b.edge_level = 2;
  EXPECT_EQ(join_cost_vowel(&p.a, &p.b, kNoBound), 400u);
  EXPECT_EQ(join_cost_other(&p.a, &p.b, kNoBound), 160u);
}

TEST(JoinCost, BoundZeroRejectsEverything) {
  std::mt19937 rng(3);
  JoinEdge e = edge();
  for (const Variant& v : kVariants) {
    EXPECT_EQ(v.fn(&e, &e, 0), kCostReject) << v.name;
    for (int k = 0; k < 200; ++k) {
      JoinEdge a = random_edge(rng), b = random_edge(rng);
      EXPECT_EQ(v.fn(&a, &b, 0), kCostReject) << v.name;
    }
  }
}

TEST(JoinCost, EdgeCDifferenceInVowelCost) {
  Pair p;
  p.b.edge_c = 11;
  EXPECT_EQ(join_cost_vowel(&p.a, &p.b, kNoBound), 6u);
  p.b.edge_c = 18;
  EXPECT_EQ(join_cost_vowel(&p.a, &p.b, kNoBound), 640u);
}

// Sets the spectral coefficients of B so that s3 = s (through coef[0]); q = 1.5 s.
void set_distance(Pair& p, int s) {
  std::memset(p.b.coef, 50, 16);
  p.b.coef[0] = static_cast<uint8_t>(50 + s);
}

// Each variant's bound test at, below and above its scaled cheap part, its
// q threshold on both sides, and its own mix of terms.
struct VariantCase {
  const char* what;
  JoinCostFn fn;
  std::function<void(Pair&)> set;
  uint32_t reject_at;  // the scaled cheap part: bounds up to it reject
  uint32_t cost;       // the result with a bound above it
};

TEST(JoinCost, BoundsThresholdsAndTerms) {
  auto edge_c = [](int d) { return [d](Pair& p) { p.b.edge_c = static_cast<uint16_t>(10 + d); }; };
  auto edge_b = [](int d) { return [d](Pair& p) { p.b.edge_b = static_cast<int16_t>(d); }; };
  auto distance = [](int s) { return [s](Pair& p) { set_distance(p, s); }; };
  const VariantCase cases[] = {
      {"vowel: 2p = 6", join_cost_vowel, edge_c(1), 6, 6},
      {"vowel: q 34", join_cost_vowel, distance(23), 0, 68},
      {"vowel: q 36 counts as 45", join_cost_vowel, distance(24), 0, 90},
      {"vowel: q 100 counts as 685", join_cost_vowel, distance(67), 0, 1370},
      {"vowel: every term, 70 + 8 + 200 + 16 + 31 + 15", join_cost_vowel,
       [](Pair& p) {
         p.b.edge_a = 103, p.b.edge_value = 1300, p.a.edge_level = 0, p.b.edge_level = 2;
         p.b.edge_b = 16, p.b.edge_c = 12, p.b.coef[0] = 60;
       },
       2 * 325, 2 * 340},
      {"voiceless plosive: p = 10, 3.2p = 32", join_cost_voiceless_plosive, [](Pair&) {}, 32, 32},
      {"voiceless plosive: 70/3 + 31/2 + 10 = 48, 153.6", join_cost_voiceless_plosive,
       [](Pair& p) { p.b.edge_a = 103, p.b.edge_c = 12; }, 153, 153},
      {"voiceless plosive: q 70, (10 + 23) 3.2", join_cost_voiceless_plosive, distance(47), 32, 105},
      {"voiceless plosive: q 72 -> 80, (10 + 26) 3.2", join_cost_voiceless_plosive, distance(48), 32, 115},
      {"voiced plosive: p = 320, 0.8p = 256", join_cost_voiced_plosive, edge_c(8), 256, 256},
      {"voiced plosive: all five terms", join_cost_voiced_plosive,
       [](Pair& p) { p.b.edge_c = 18, p.b.edge_a = 103; }, 312, 312},
      {"voiced plosive: q 70", join_cost_voiced_plosive, distance(47), 0, 56},
      {"voiced plosive: q 72 -> 80", join_cost_voiced_plosive, distance(48), 0, 64},
      {"glide: T4 5, 9.6p = 48", join_cost_glide_rhotic, edge_b(15), 48, 48},
      {"glide: no T1", join_cost_glide_rhotic, [](Pair& p) { p.b.edge_a = 110; }, 0, 0},
      {"glide: half of T5, 15 * 9.6", join_cost_glide_rhotic, edge_c(2), 144, 144},
      {"glide: q 60", join_cost_glide_rhotic, distance(40), 0, 576},
      {"glide: q 61 -> 63, 604.8", join_cost_glide_rhotic, distance(41), 0, 604},
      {"voiceless other: p = 20, 0.8p = 16", join_cost_voiceless_other, edge_b(20), 16, 16},
      {"voiceless other: 0.6 * 93 + 0.05 * 70 = 59.3, no T5", join_cost_voiceless_other,
       [](Pair& p) { p.b.edge_value = 3000, p.b.edge_a = 103, p.b.edge_c = 30; }, 47, 47},
      {"voiceless other: q 90, 0.8 * 27", join_cost_voiceless_other, distance(60), 0, 21},
      {"voiceless other: q 91 -> 95, 0.8 * 28", join_cost_voiceless_other, distance(61), 0, 22},
      {"voiceless other: trunc(0.3 * 95 + 20) = 48", join_cost_voiceless_other,
       [](Pair& p) { set_distance(p, 61), p.b.edge_b = 20; }, 16, 38},
      {"other: p = 20, 0.8p = 16", join_cost_other, edge_b(20), 16, 16},
      {"other: q 40", join_cost_other, distance(27), 0, 32},
      {"other: q 42 -> 50", join_cost_other, distance(28), 0, 40},
  };
  for (const VariantCase& c : cases) {
    Pair p;
    c.set(p);
    EXPECT_EQ(c.fn(&p.a, &p.b, c.reject_at), kCostReject) << c.what;
    if (c.reject_at > 0) {
      EXPECT_EQ(c.fn(&p.a, &p.b, c.reject_at - 1), kCostReject) << c.what;
    }
    EXPECT_EQ(c.fn(&p.a, &p.b, c.reject_at + 1), c.cost) << c.what;
    EXPECT_EQ(c.fn(&p.a, &p.b, kNoBound), c.cost) << c.what;
  }
}

TEST(JoinCost, SymmetricInAAndB) {
  std::mt19937 rng(2026);
  for (int k = 0; k < 50000; ++k) {
    JoinEdge a = random_edge(rng), b = random_edge(rng);
    if (k % 4 == 0) b.edge_level = a.edge_level;  // keep plenty of joinable pairs
    uint32_t bound = k % 2 ? kNoBound : static_cast<uint32_t>(rng() % 20000);
    ASSERT_EQ(join_t1(&a, &b), join_t1(&b, &a));
    ASSERT_EQ(join_t2(&a, &b), join_t2(&b, &a));
    ASSERT_EQ(join_t3(&a, &b), join_t3(&b, &a));
    ASSERT_EQ(join_t4(&a, &b), join_t4(&b, &a));
    ASSERT_EQ(join_t5(&a, &b), join_t5(&b, &a));
    ASSERT_EQ(join_spectral_distance(&a, &b), join_spectral_distance(&b, &a));
    for (const Variant& v : kVariants) ASSERT_EQ(v.fn(&a, &b, bound), v.fn(&b, &a, bound)) << v.name;
  }
}

TEST(JoinCost, IgnoresReservedBytes) {
  Pair p;
  std::memset(p.b.reserved, 0xab, sizeof p.b.reserved);
  for (const Variant& v : kVariants) EXPECT_EQ(v.fn(&p.a, &p.b, kNoBound), v.fn(&p.a, &p.a, kNoBound)) << v.name;
}

TEST(JoinCost, DoesNotAllocate) {
  std::mt19937 rng(5);
  JoinEdge edges[64];
  for (auto& e : edges) e = random_edge(rng);
  uint64_t before = heap_alloc_count();
  uint64_t sum = 0;
  for (int k = 0; k < 4096; ++k)
    for (const Variant& v : kVariants) sum += v.fn(&edges[k % 64], &edges[(k * 7 + 3) % 64], kNoBound);
  EXPECT_EQ(heap_alloc_count(), before);
  EXPECT_GT(sum, 0u);
}

}  // namespace
