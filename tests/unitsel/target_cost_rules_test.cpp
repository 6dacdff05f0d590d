// The target cost against a literal, branch-by-branch reading of its rules,
// on random blocks.  The strings are drawn from sets that mix the voice's
// real values with near misses (prefixes, longer strings, empty strings,
// strings of four and eight characters or more) and are each allocated to
// their exact size, so that a read past a terminator shows under the address
// sanitizer.  The bytes and measures include the values where the rules
// change (0, 1, 2, 255; equal, zero, negative, huge and non-finite measures).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "unitsel/target_cost.h"

namespace {

bool is(const char* a, const char* b) { return std::strcmp(a, b) == 0; }
uint32_t differs(const char* a, const char* b) { return is(a, b) ? 0 : 1; }
uint32_t absdiff(uint8_t a, uint8_t b) { return static_cast<uint32_t>(std::abs(int(a) - int(b))); }
uint32_t level(uint8_t t, uint8_t u, uint32_t one_over, uint32_t over_one) {
  if (t == 1 && u > 1) return one_over;
  if (t > 1 && u == 1) return over_one;
  return 0;
}
uint32_t trunc_term(float v) { return v > 0 ? static_cast<uint32_t>(v) : 0; }

uint32_t rules_segment_cost(const SegmentTarget* T, const SegmentTarget* U) {
  const bool u_vowel = U->ph_vc[0] == '+';
  const bool u_voiceless = U->ph_cvox[0] == '-';
  uint32_t c = 3 * (differs(T->pp_name, U->pp_name) + differs(T->nn_name, U->nn_name)) +
               7 * (differs(T->p_name, U->p_name) + differs(T->n_name, U->n_name));
  if (is(T->name, "r"))
    c *= 5;
  else if (is(T->name, "oh") && is(T->n_name, "n"))
    c *= 3;
  if (is(T->p_name, "r") || is(T->n_name, "r"))
    c *= u_vowel ? 10 : 5;
  else if (is(T->p_name, "on") || is(T->n_name, "on") || is(T->p_name, "en") || is(T->n_name, "en") ||
           is(T->p_name, "j") || is(T->n_name, "j"))
    c *= 3;

  uint32_t cost = c + 3 * (absdiff(T->pos1, U->pos1) + absdiff(T->pos2, U->pos2) + absdiff(T->pos3, U->pos3));
  if (T->mark != U->mark) {
    cost += 5;
    if (u_vowel) cost += 1000;
  }
  cost += 2 * (absdiff(T->pos4, U->pos4) + absdiff(T->pos5, U->pos5));
  cost += level(T->level1, U->level1, 2, 2);
  cost += level(T->level2, U->level2, 10, 3);
  cost += (T->flag1 != U->flag1) + (T->flag2 != U->flag2);
  cost += 3 * (differs(T->label, U->label) + absdiff(T->label_value, U->label_value));
  cost += T->flag3 != U->flag3;
  cost += level(T->level3, U->level3, 2, 1) + level(T->level4, U->level4, 2, 1);
  cost += T->flag4 != U->flag4;
  const bool tc = is(T->gpos, "content"), uc = is(U->gpos, "content");
  if (tc != uc) cost += 50;
  if (is(T->gpos_p, "content") != is(U->gpos_p, "content")) cost += 3;
  if (is(T->gpos_n, "content") != is(U->gpos_n, "content")) cost += 3;
  if (!uc && !is(U->gpos, T->gpos)) cost += 10;
  cost += T->flag5 != U->flag5;
  cost += level(T->level5, U->level5, 1, 1) + level(T->level6, U->level6, 1, 1);

  if (U->level4 == 1) {
    uint32_t t = differs(T->tone, U->tone) * 10;
    if (is(U->tone, "L*") && is(T->tone, "L"))
      t = 0;
    else if (is(U->tone, "L") && is(T->tone, "L*"))
      t = 8;
    const uint32_t s = T->level4 == 1 ? 0 : 2;
    if (U->level2 == 1) {
      const uint32_t r = T->level2 == 1 ? 0 : 10;
      if (!u_vowel && u_voiceless)
        cost += 10 * (r + 2 * t);
      else
        cost += 150 * r + 250 * t;
    } else if (U->mark != 0) {
      const uint32_t r = (T->level4 > 1 || T->mark != U->mark) ? 10 : 0;
      if (u_vowel)
        cost += 25 * (r + t);
      else if (u_voiceless)
        cost += 10 * (r + t);
      else
        cost += 15 * (r + t);
    }
    if (U->pos2 == 1) cost += (u_voiceless ? 20 : 40) * t;
    cost += t + 2 * s;
  }
  if ((T->level4 == 1 || T->level3 == 1) && U->level2 > 1 && U->level1 > 1 && is(T->tone, "H")) cost += 1000;

  if (!is(T->name, "pau")) {
    const float x = T->measure, y = U->measure;
    const float sum = x + y;
    if (sum != 0.0f) {
      float r = std::fabs((x - y) / sum);
      // Measures of opposite sign are held at 10^6; a ratio that is not a
      // number adds nothing.
      if (!std::isnan(r)) {
        if (r > 1.0e6f) r = 1.0e6f;
        if (x >= y) {
          cost += trunc_term(150.0f * r);
          if (r > 0.15f) cost += trunc_term(150.0f * r - 22.5f);
          if (r > 0.35f) cost += trunc_term(360.0f * r - 126.0f);
        } else {
          cost += trunc_term(250.0f * r);
          if (r > 0.2f) cost += trunc_term(120.0f * r - 24.0f);
          if (r > 0.3f) cost += trunc_term(150.0f * r - 45.0f);
          if (r > 0.4f) cost += trunc_term(300.0f * r - 120.0f);
        }
      }
    }
  }
  return cost;
}

// Strings near the ones the costs test: phone names, part-of-speech classes,
// tones and labels, their prefixes and extensions, and texts of 4 and 8 or
// more characters that share long prefixes.
const char* const kTexts[] = {
    "",         "a",        "an",       "e",         "eh",       "en",       "j",         "jh",
    "n",        "ni",       "o",        "oh",        "on",       "ohn",      "r",         "rr",
    "t",        "s",        "pau",      "pa",        "paus",     "pause",    "content",   "contents",
    "conten",   "cont",     "c",        "cc",        "in",       "det",      "pps$",      "contentX",
    "contenT",  "content\x01", "Content", "L",       "L*",       "L**",      "H",         "H*",
    "NONE",     "0",        ",",        "?",         "word",     "words",    "wordy",     "abcdefgh",
    "abcdefghi", "abcdefgX", "\xff",    "\xff\xff",  "+",        "-",        "+x",        "-x",
};
constexpr size_t kTextCount = sizeof kTexts / sizeof kTexts[0];

const uint8_t kBytes[] = {0, 0, 1, 1, 1, 2, 2, 3, 4, 7, 8, 100, 254, 255};
const float kMeasures[] = {0.0f, -0.0f, 0.08f, 0.05f, 0.12f, 0.2f, 1.0f, 1.0e-42f, -0.05f, -0.08f, 3.0e38f, -3.0e38f,
                           INFINITY, -INFINITY, NAN};

// One SegmentTarget whose strings are each a heap block of exactly their size.
class ExactBlock {
 public:
  SegmentTarget rec{};

  void set(std::mt19937& rng, const ExactBlock* like) {
    std::uniform_int_distribution<size_t> pick_text(0, kTextCount - 1);
    auto text = [&](const char* SegmentTarget::*member) {
      // Half of the time the same text as the other block, so that equal
      // strings at different addresses are common.
      const char* s = like && rng() % 2 ? like->rec.*member : kTexts[pick_text(rng)];
      size_t n = std::strlen(s) + 1;
      auto block = std::make_unique<char[]>(n);
      std::memcpy(block.get(), s, n);
      rec.*member = block.get();
      owned_.push_back(std::move(block));
    };
    for (auto m : {&SegmentTarget::pp_name, &SegmentTarget::p_name, &SegmentTarget::name, &SegmentTarget::n_name,
                   &SegmentTarget::nn_name, &SegmentTarget::label, &SegmentTarget::gpos_p, &SegmentTarget::gpos,
                   &SegmentTarget::gpos_n, &SegmentTarget::tone, &SegmentTarget::ph_vc, &SegmentTarget::ph_cvox,
                   &SegmentTarget::ph_ctype})
      text(m);
    uint8_t SegmentTarget::*bytes[] = {
        &SegmentTarget::pos1,   &SegmentTarget::pos2,   &SegmentTarget::pos3,   &SegmentTarget::mark,
        &SegmentTarget::pos4,   &SegmentTarget::pos5,   &SegmentTarget::level1, &SegmentTarget::level2,
        &SegmentTarget::flag1,  &SegmentTarget::flag2,  &SegmentTarget::label_value, &SegmentTarget::flag3,
        &SegmentTarget::level3, &SegmentTarget::level4, &SegmentTarget::flag4,  &SegmentTarget::flag5,
        &SegmentTarget::level5, &SegmentTarget::level6};
    for (auto m : bytes) rec.*m = like && rng() % 2 ? like->rec.*m : kBytes[rng() % sizeof kBytes];
    // The bytes the costs never read hold noise.
    for (auto& b : rec.spare0) b = static_cast<uint8_t>(rng());
    for (auto& b : rec.spare1) b = static_cast<uint8_t>(rng());
    for (auto& b : rec.spare2) b = static_cast<uint8_t>(rng());
    for (auto& b : rec.spare3) b = static_cast<uint8_t>(rng());
    if (like && rng() % 3 == 0)
      rec.measure = like->rec.measure * (0.5f + static_cast<float>(rng() % 100) / 100.0f);
    else if (rng() % 3 == 0)
      rec.measure = kMeasures[rng() % (sizeof kMeasures / sizeof kMeasures[0])];
    else
      rec.measure = static_cast<float>(rng() % 100000) / 200000.0f;
  }

 private:
  std::vector<std::unique_ptr<char[]>> owned_;
};

TEST(SegmentCostRules, AgreeWithTheRulesOnRandomBlocks) {
  std::mt19937 rng(2024);
  const int rounds = 100000;
  for (int k = 0; k < rounds; ++k) {
    ExactBlock t, u;
    t.set(rng, nullptr);
    u.set(rng, &t);
    const uint32_t want = rules_segment_cost(&t.rec, &u.rec);
    ASSERT_EQ(segment_cost_unscaled(&t.rec, &u.rec), want) << "round " << k;
    ASSERT_EQ(segment_cost(&t.rec, &u.rec), static_cast<uint32_t>(static_cast<float>(want) * 0.4f)) << "round " << k;
  }
}

// The vector form of the byte terms and the member-by-member form that
// other processors use give the same sum.
TEST(SegmentCostRules, BothFormsOfTheByteTermsAgree) {
  std::mt19937 rng(5);
  for (int k = 0; k < 50000; ++k) {
    ExactBlock t, u;
    t.set(rng, nullptr);
    u.set(rng, &t);
    ASSERT_EQ(segment_byte_terms(&t.rec, &u.rec), segment_byte_terms_portable(&t.rec, &u.rec)) << "round " << k;
  }
}

TEST(SegmentCostRules, TargetCostAddsTheBoundaryPatternOnRandomBlocks) {
  std::mt19937 rng(77);
  for (int k = 0; k < 20000; ++k) {
    ExactBlock tl, tr, ul, ur;
    tl.set(rng, nullptr);
    tr.set(rng, nullptr);
    ul.set(rng, &tl);
    ur.set(rng, &tr);
    // The pattern reads 1s: make them frequent.
    for (SegmentTarget* b : {&tl.rec, &tr.rec, &ul.rec, &ur.rec})
      if (rng() % 2) b->pos1 = b->pos2 = b->pos4 = b->pos5 = 1;
    const bool p = tl.rec.pos2 == 1 && tl.rec.pos5 == 1 && tr.rec.pos1 == 1 && tr.rec.pos4 == 1;
    const bool q = ul.rec.pos2 == 1 && ul.rec.pos5 == 1 && ur.rec.pos1 == 1 && ur.rec.pos4 == 1;
    uint32_t want = segment_cost(&tl.rec, &ul.rec) + segment_cost(&tr.rec, &ur.rec);
    if (p && !q) want += 200;
    if (q && !p) want += 5;
    ASSERT_EQ(target_cost(&tl.rec, &tr.rec, &ul.rec, &ur.rec), want) << "round " << k;
  }
}

}  // namespace
