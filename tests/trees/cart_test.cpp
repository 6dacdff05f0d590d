#include "trees/cart.h"

#include <gtest/gtest.h>

#include "core/features.h"
#include "core/item.h"
#include "core/path.h"
#include "core/platform.h"

namespace {

constexpr Value kYes = value_permanent_string("yes");
constexpr Value kNo = value_permanent_string("no");
constexpr Value kOther = value_permanent_string("other");
constexpr Value kIntTwo = value_permanent_int(2);
constexpr Value kIntZero = value_permanent_int(0);
constexpr Value kTextZero = value_permanent_string("0");
constexpr Value kThreeHalf = [] {
  Value v{};
  v.head.atom = {kTypeFloat, kPermanentRefcount};
  v.body.f = 3.5f;
  return v;
}();

const char* const kPaths[] = {"x", "R:Segment.n.x", "counted", "counted", "y"};

// One question on `path` with `op` and operand `v`: yes gives "yes", no
// gives "no".
struct OneQuestion {
  CartNode nodes[3];
  CartTree tree;
  OneQuestion(uint8_t feature, uint8_t op, const Value* v)
      : nodes{{feature, op, 2, v}, {0, kCartLeaf, 0, &kYes}, {0, kCartLeaf, 0, &kNo}}, tree{nodes, kPaths} {}
  const char* ask(const Item* item) { return value_string(cart_evaluate(item, &tree)); }
};

struct Fixture : testing::Test {
  Utterance* u = utterance_new();
  Relation* segs = utterance_new_relation(u, "Segment");
  Item* a = relation_append(segs, nullptr);
  Item* b = relation_append(segs, nullptr);
  ~Fixture() override { utterance_delete(u); }
};

using Cart = Fixture;
using CartDeathTest = Fixture;

TEST_F(Cart, SingleLeafAsksNothing) {
  const CartNode leaf[] = {{3, kCartLeaf, 0, &kOther}};
  const CartTree tree{leaf, kPaths};
  int before_features = features_count(a->contents->features);
  uint64_t before = heap_alloc_count();
  EXPECT_EQ(cart_evaluate(a, &tree), &kOther);
  EXPECT_EQ(cart_evaluate(nullptr, &tree), &kOther);
  EXPECT_EQ(heap_alloc_count(), before);
  EXPECT_EQ(features_count(a->contents->features), before_features);
}

TEST_F(Cart, IsComparesNumbersAcrossTypes) {
  OneQuestion q(0, kCartIs, &kIntTwo);
  item_set_string(a, "x", "2");
  EXPECT_STREQ(q.ask(a), "yes");
  item_set_float(a, "x", 2.0f);
  EXPECT_STREQ(q.ask(a), "yes");
  item_set_int(a, "x", 2);
  EXPECT_STREQ(q.ask(a), "yes");
  item_set_string(a, "x", "2.5");
  EXPECT_STREQ(q.ask(a), "no");
  item_set_string(a, "x", "two");
  EXPECT_STREQ(q.ask(a), "no");
  // A missing feature reads as "0", equal to both the text and the int.
  EXPECT_STREQ(OneQuestion(4, kCartIs, &kTextZero).ask(a), "yes");
  EXPECT_STREQ(OneQuestion(4, kCartIs, &kIntZero).ask(a), "yes");
  EXPECT_STREQ(OneQuestion(4, kCartIs, &kIntTwo).ask(a), "no");
  // Navigation in the path: b's x, seen from a.
  item_set_string(b, "x", "2");
  EXPECT_STREQ(OneQuestion(1, kCartIs, &kIntTwo).ask(a), "yes");
  EXPECT_STREQ(OneQuestion(1, kCartIs, &kIntTwo).ask(b), "no");  // no next: "0"
}

TEST_F(Cart, InLooksThroughAList) {
  Value* list = value_cons(value_new_string("a"), value_cons(value_new_string("b"), value_cons(value_new_int(3), nullptr)));
  OneQuestion q(0, kCartIn, list);
  for (const char* t : {"a", "b", "3", "3.0"}) {
    item_set_string(a, "x", t);
    EXPECT_STREQ(q.ask(a), "yes") << t;
  }
  for (const char* t : {"c", "", "ab", "4"}) {
    item_set_string(a, "x", t);
    EXPECT_STREQ(q.ask(a), "no") << t;
  }
  EXPECT_STREQ(OneQuestion(0, kCartIn, nullptr).ask(a), "no");  // the empty list
  value_release(list);
}

TEST_F(Cart, LessAndGreater) {
  OneQuestion less(0, kCartLess, &kThreeHalf);
  OneQuestion greater(0, kCartGreater, &kThreeHalf);
  item_set_string(a, "x", "3");
  EXPECT_STREQ(less.ask(a), "yes");
  EXPECT_STREQ(greater.ask(a), "no");
  item_set_string(a, "x", "4");
  EXPECT_STREQ(less.ask(a), "no");
  EXPECT_STREQ(greater.ask(a), "yes");
  item_set_float(a, "x", 3.5f);  // equal: neither
  EXPECT_STREQ(less.ask(a), "no");
  EXPECT_STREQ(greater.ask(a), "no");
  item_set_int(a, "x", -7);
  EXPECT_STREQ(less.ask(a), "yes");
  EXPECT_STREQ(OneQuestion(4, kCartLess, &kThreeHalf).ask(a), "yes");  // missing: 0
}

TEST_F(Cart, MatchesUsesThePatternTable) {
  OneQuestion q(0, kCartMatches, &kIntZero);  // pattern 0: ASCII letters joined by single dots
  for (const char* t : {"A", "U.S.A", "e.g"}) {
    item_set_string(a, "x", t);
    EXPECT_STREQ(q.ask(a), "yes") << t;
  }
  for (const char* t : {"", "USA", "U.S.A.", "U..S", "\xc9.U", "1.2"}) {  // \xc9: E-acute
    item_set_string(a, "x", t);
    EXPECT_STREQ(q.ask(a), "no") << t;
  }
  EXPECT_STREQ(OneQuestion(4, kCartMatches, &kIntZero).ask(a), "no");  // missing: "0"
}

// A tree that walks several questions: x is 2? then y > 3.5? else x in (a b).
TEST_F(Cart, WalksYesAndNoBranches) {
  Value* list = value_cons(value_new_string("a"), value_cons(value_new_string("b"), nullptr));
  const CartNode nodes[] = {
      {0, kCartIs, 4, &kIntTwo},        // 0
      {4, kCartGreater, 3, &kThreeHalf},  // 1
      {0, kCartLeaf, 0, &kYes},           // 2: x is 2, y > 3.5
      {0, kCartLeaf, 0, &kNo},            // 3: x is 2, y <= 3.5
      {0, kCartIn, 6, list},              // 4
      {0, kCartLeaf, 0, &kOther},         // 5: x in (a b)
      {0, kCartLeaf, 0, &kTextZero},      // 6
  };
  const CartTree tree{nodes, kPaths};
  item_set_int(a, "x", 2);
  item_set_float(a, "y", 9.0f);
  EXPECT_EQ(cart_evaluate(a, &tree), &kYes);
  item_set_string(a, "y", "1");
  EXPECT_EQ(cart_evaluate(a, &tree), &kNo);
  item_set_string(a, "x", "b");
  EXPECT_EQ(cart_evaluate(a, &tree), &kOther);
  item_set_string(a, "x", "z");
  EXPECT_EQ(cart_evaluate(a, &tree), &kTextZero);
  value_release(list);
}

int g_calls = 0;
Value* counted(Item*) {
  ++g_calls;
  return value_new_float(2.0f);  // fresh: the cache must release it
}

TEST_F(Cart, EachPathIsEvaluatedOncePerCall) {
  feature_function_register(u->ffunctions, "counted", counted);
  // Paths 2 and 3 are the same text; the tree asks about it three times.
  const CartNode nodes[] = {
      {2, kCartLess, 4, &kThreeHalf},    // 0: yes
      {3, kCartGreater, 4, &kIntZero},   // 1: yes
      {2, kCartIs, 4, &kIntTwo},         // 2: yes
      {0, kCartLeaf, 0, &kYes},          // 3
      {0, kCartLeaf, 0, &kNo},           // 4
  };
  const CartTree tree{nodes, kPaths};
  g_calls = 0;
  EXPECT_EQ(cart_evaluate(a, &tree), &kYes);
  EXPECT_EQ(g_calls, 1);
  EXPECT_EQ(cart_evaluate(b, &tree), &kYes);  // a new call, a new cache
  EXPECT_EQ(g_calls, 2);
}

TEST_F(Cart, StoredValuesKeepTheirCounts) {
  item_set_string(a, "x", "2");
  Value* stored = item_feature(a, "x");
  uint16_t count = stored->head.atom.refcount;
  OneQuestion q(0, kCartIs, &kIntTwo);
  EXPECT_STREQ(q.ask(a), "yes");
  EXPECT_EQ(item_feature(a, "x"), stored);
  EXPECT_EQ(stored->head.atom.refcount, count);
}

TEST_F(CartDeathTest, BadQuestions) {
  item_set_string(a, "x", "A");
  item_set_int(a, "y", 1);
  // An operator outside 0..4 and 255.
  EXPECT_EXIT(OneQuestion(0, 5, &kIntZero).ask(a), testing::ExitedWithCode(255), "^$");
  EXPECT_EXIT(OneQuestion(0, 254, &kIntZero).ask(a), testing::ExitedWithCode(255), "^$");
  // matches on a feature that is not a string, or with an operand that is not an int.
  EXPECT_EXIT(OneQuestion(4, kCartMatches, &kIntZero).ask(a), testing::ExitedWithCode(255), "^$");
  EXPECT_EXIT(OneQuestion(0, kCartMatches, &kTextZero).ask(a), testing::ExitedWithCode(255), "^$");
  // A pattern index outside the table.
  EXPECT_EXIT(OneQuestion(0, kCartMatches, &kIntTwo).ask(a), testing::ExitedWithCode(255), "^$");
  // less on a feature that is no number-like atom.
  Value* list = value_cons(value_new_int(1), nullptr);
  item_set(a, "z", list);
  const char* const paths[] = {"z"};
  const CartNode nodes[] = {{0, kCartLess, 2, &kIntTwo}, {0, kCartLeaf, 0, &kYes}, {0, kCartLeaf, 0, &kNo}};
  const CartTree tree{nodes, paths};
  EXPECT_EXIT(cart_evaluate(a, &tree), testing::ExitedWithCode(255), "^$");
  // in with an atom where a list belongs.
  EXPECT_EXIT(OneQuestion(0, kCartIn, &kIntTwo).ask(a), testing::ExitedWithCode(255), "^$");
}

}  // namespace
