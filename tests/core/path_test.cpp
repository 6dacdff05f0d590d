#include <gtest/gtest.h>

#include <string>

#include "core/path.h"
#include "core/platform.h"
#include "tests/support/build_utt.h"

namespace {

using testutt::nth;

Utterance* sample() {
  return testutt::build({{"B", {{"casa", {{1, {"k", "a"}}, {0, {"z", "a"}}}}}},
                         {"BB", {{"bonita", {{0, {"b", "o"}}, {1, {"n", "i"}}, {0, {"t", "a"}}}}}}});
}

Value* fn_stress(Item*) { return value_small_int_string(7); }
Value* fn_none(Item*) { return nullptr; }

TEST(FeaturePath, Navigation) {
  Utterance* u = sample();
  Item* z = nth(u, "Segment", 2);
  EXPECT_STREQ(feature_path_string(z, "name"), "z");
  EXPECT_STREQ(feature_path_string(z, "p.name"), "a");
  EXPECT_STREQ(feature_path_string(z, "pp.name"), "k");
  EXPECT_STREQ(feature_path_string(z, "n.name"), "a");
  EXPECT_STREQ(feature_path_string(z, "nn.name"), "b");
  EXPECT_STREQ(feature_path_string(z, "R:SylStructure.parent.parent.name"), "casa");
  EXPECT_STREQ(feature_path_string(z, "R.SylStructure:parent.parent.name"), "casa");  // separators mix
  EXPECT_EQ(feature_path_int(z, "R:SylStructure.parent.stress"), 0);
  EXPECT_EQ(feature_path_int(nth(u, "Segment", 0), "R:SylStructure.parent.stress"), 1);
  EXPECT_STREQ(feature_path_string(z, "x.name"), "z");  // unknown directive skipped
  EXPECT_STREQ(feature_path_string(z, "n"), "0");       // a feature called n
  Item* last = utterance_relation(u, "Segment")->tail;
  EXPECT_EQ(feature_path_value(last, "n.name"), value_default_string());
  EXPECT_EQ(feature_path_value(nullptr, "name"), value_default_string());
  Item* word = nth(u, "Word", 1);
  EXPECT_STREQ(feature_path_string(word, "R:SylStructure.daughter.daughtern.name"), "o");
  EXPECT_STREQ(feature_path_string(word, "R:SylStructure.daughtern.daughter.name"), "t");
  EXPECT_STREQ(feature_path_string(word, "R:Phrase.parent.name"), "BB");
  EXPECT_STREQ(feature_path_string(word, "R:Phrase.parent.p.daughter.name"), "casa");
  EXPECT_STREQ(feature_path_string(word, "R.name"), "0");  // relation "name" does not exist
  EXPECT_STREQ(feature_path_string(word, "R"), "0");       // R last: empty relation name
  // An item whose contents is not in SylStructure falls off the structure.
  EXPECT_STREQ(feature_path_string(nth(u, "Phrase", 0), "R:SylStructure.parent.parent.name"), "0");
  utterance_delete(u);
}

TEST(FeaturePath, ItemMode) {
  Utterance* u = sample();
  Item* z = nth(u, "Segment", 2);
  Item* syl = feature_path_item(z, "R:SylStructure.parent");
  ASSERT_NE(syl, nullptr);
  EXPECT_TRUE(item_same(syl, nth(u, "Syllable", 1)));
  EXPECT_EQ(feature_path_item(z, ""), z);
  EXPECT_EQ(feature_path_item(z, "R:SylStructure.parent.name"), syl);  // trailing name skipped
  EXPECT_EQ(feature_path_item(z, "n.n.n.n.n.n.n.n.n.n"), nullptr);
  utterance_delete(u);
}

TEST(FeaturePath, FunctionsShadowStoredFeatures) {
  Utterance* u = sample();
  Item* syl = nth(u, "Syllable", 0);
  EXPECT_EQ(feature_path_int(syl, "stress"), 1);
  feature_function_register(u->ffunctions, "stress", fn_stress);
  EXPECT_EQ(feature_path_value(syl, "stress"), value_small_int_string(7));
  feature_function_register(u->ffunctions, "stress", fn_none);  // replaces the first
  EXPECT_EQ(features_count(u->ffunctions), 1);
  EXPECT_EQ(feature_path_value(syl, "stress"), value_default_string());
  utterance_delete(u);
}

TEST(FeaturePath, LengthLimit) {
  Utterance* u = sample();
  Item* k = nth(u, "Segment", 0);
  std::string p149 = std::string(144, 'x') + ".name";
  ASSERT_EQ(p149.size(), 149u);
  EXPECT_STREQ(feature_path_string(k, p149.c_str()), "k");
  std::string p150 = std::string(145, 'x') + ".name";
  EXPECT_EXIT(feature_path_value(k, p150.c_str()), testing::ExitedWithCode(255), "^$");
  EXPECT_EXIT(feature_path_item(k, p150.c_str()), testing::ExitedWithCode(255), "^$");
  utterance_delete(u);
}

TEST(FeaturePathDeathTest, NonFunctionRegisteredUnderAFeatureName) {
  Utterance* u = sample();
  features_set_int(u->ffunctions, "name", 1);
  EXPECT_EXIT(feature_path_value(nth(u, "Segment", 0), "name"), testing::ExitedWithCode(255),
              "^VAL: tried to access ffunc in 1 type val\n$");
  features_set_int(u->ffunctions, "end", 1);
  item_set_int(nth(u, "Segment", 0), "num", 3);
  EXPECT_EXIT(feature_path_string(nth(u, "Segment", 0), "num"), testing::ExitedWithCode(255), "^$");
  utterance_delete(u);
}

TEST(FeaturePath, DoesNotAllocate) {
  Utterance* u = sample();
  Item* z = nth(u, "Segment", 2);
  uint64_t before = heap_alloc_count();
  for (int i = 0; i < 100; ++i) {
    ASSERT_STREQ(feature_path_string(z, "R:SylStructure.parent.parent.name"), "casa");
    ASSERT_EQ(feature_path_int(z, "R:SylStructure.parent.stress"), 0);
  }
  EXPECT_EQ(heap_alloc_count(), before);
  utterance_delete(u);
}

}  // namespace
