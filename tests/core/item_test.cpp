#include <gtest/gtest.h>

#include "core/item.h"
#include "core/platform.h"
#include "tests/support/build_utt.h"

namespace {

using testutt::nth;

Utterance* three_words() {
  return testutt::build({{"BB",
                          {{"casa", {{1, {"k", "a"}}, {0, {"z", "a"}}}},
                           {"de", {{0, {"d", "i"}}}},
                           {"papel", {{0, {"p", "a"}}, {1, {"p", "eh", "w"}}}}}}});
}

TEST(Items, NavigationAndSharedContents) {
  Utterance* u = three_words();
  Item* seg0 = nth(u, "Segment", 0);
  Item* seg2 = nth(u, "Segment", 2);
  EXPECT_STREQ(item_feature_string(seg0, "name"), "k");
  EXPECT_STREQ(item_feature_string(item_next(seg0), "name"), "a");
  EXPECT_EQ(item_prev(seg0), nullptr);
  EXPECT_EQ(item_next(nullptr), nullptr);
  Item* in_ss = item_in_relation(seg2, "SylStructure");
  ASSERT_NE(in_ss, nullptr);
  EXPECT_NE(in_ss, seg2);
  EXPECT_TRUE(item_same(in_ss, seg2));
  EXPECT_FALSE(item_same(seg0, seg2));
  EXPECT_TRUE(item_same(nullptr, nullptr));
  EXPECT_FALSE(item_same(seg0, nullptr));
  Item* syl = item_parent(in_ss);  // second daughter: parent found through prev
  EXPECT_EQ(item_parent(item_in_relation(seg0, "SylStructure")), item_in_relation(nth(u, "Syllable", 0), "SylStructure"));
  Item* word = item_parent(syl);
  EXPECT_STREQ(item_feature_string(word, "name"), "casa");
  EXPECT_EQ(item_parent(word), nullptr);  // top level
  EXPECT_EQ(item_in_relation(seg0, "Phrase"), nullptr);
  EXPECT_EQ(item_utterance(seg0), u);
  EXPECT_EQ(item_utterance(nullptr), nullptr);
  Item* w = item_in_relation(word, "Word");
  EXPECT_STREQ(item_feature_string(item_last_daughter(item_in_relation(w, "SylStructure")), "name"), "syl");
  // Features written through one node are seen through the other.
  item_set_float(in_ss, "end", 0.25f);
  EXPECT_FLOAT_EQ(item_feature_float(seg2, "end"), 0.25f);
  EXPECT_EQ(utterance_relation(u, "Segment")->tail, nth(u, "Segment", 10));
  utterance_delete(u);
}

TEST(Items, DeletingFirstDaughterMovesTheParentLink) {
  Utterance* u = three_words();
  Item* word = item_in_relation(nth(u, "Word", 0), "SylStructure");
  Item* first = item_first_daughter(word);
  Item* second = item_next(first);
  item_delete(first);
  EXPECT_EQ(item_first_daughter(word), second);
  EXPECT_EQ(second->up, word);
  EXPECT_EQ(item_parent(second), word);
  for (Item* seg = item_first_daughter(second); seg; seg = item_next(seg))
    EXPECT_EQ(item_parent(item_parent(seg)), word);
  // The deleted syllable's segments left SylStructure but stay in Segment.
  Item* k = nth(u, "Segment", 0);
  EXPECT_STREQ(item_feature_string(k, "name"), "k");
  EXPECT_EQ(item_in_relation(k, "SylStructure"), nullptr);
  utterance_delete(u);
}

TEST(Items, DeletingSharedAndLastNodes) {
  Utterance* u = three_words();
  Relation* seg = utterance_relation(u, "Segment");
  Item* a = nth(u, "Segment", 1);
  Item* a_ss = item_in_relation(a, "SylStructure");
  item_delete(a);  // shared: the SylStructure node keeps the contents
  EXPECT_STREQ(item_feature_string(a_ss, "name"), "a");
  EXPECT_EQ(item_in_relation(a_ss, "Segment"), nullptr);
  item_delete(a_ss);  // last node: contents freed (checked by the sanitizer build)
  EXPECT_STREQ(item_feature_string(nth(u, "Segment", 1), "name"), "z");
  while (seg->head) item_delete(seg->head);
  EXPECT_EQ(seg->head, nullptr);
  EXPECT_EQ(seg->tail, nullptr);
  utterance_delete(u);
}

TEST(Items, DeletingTheOnlyItemEmptiesTheRelation) {
  Utterance* u = utterance_new();
  Relation* r = utterance_new_relation(u, "Word");
  Item* i = relation_append(r, nullptr);
  item_set_string(i, "name", "x");
  item_delete(i);
  EXPECT_EQ(r->head, nullptr);
  EXPECT_EQ(r->tail, nullptr);
  // Replacing a relation deletes the old one.
  relation_append(r, nullptr);
  Relation* again = utterance_new_relation(u, "Word");
  EXPECT_EQ(again->head, nullptr);
  EXPECT_EQ(utterance_relation(u, "Word"), again);
  relation_delete(nullptr);
  utterance_delete(nullptr);
  utterance_delete(u);
}

TEST(Items, UtteranceAsValue) {
  Utterance* u = three_words();
  features_set_string(u->features, "language_code", "pt-BR");
  value_release(value_new_object(kTypeUtterance, u));  // destructor deletes it whole
}

TEST(ItemsDeathTest, MissingRelationAndWrongTypes) {
  Utterance* u = three_words();
  EXPECT_EXIT(utterance_relation(u, "Intonation"), testing::ExitedWithCode(255), "^$");
  features_set_int(u->relations, "Bogus", 3);
  EXPECT_EXIT(utterance_relation(u, "Bogus"), testing::ExitedWithCode(255),
              "^VAL: tried to access relation in 1 type val\n$");
  Item* seg = nth(u, "Segment", 0);
  features_set_int(seg->contents->relations, "Odd", 1);
  EXPECT_EXIT(item_in_relation(seg, "Odd"), testing::ExitedWithCode(255),
              "^VAL: tried to access item in 1 type val\n$");
  EXPECT_EXIT(item_feature_int(seg, "absent"), testing::ExitedWithCode(255), "^$");
  features_remove(seg->contents->relations, "Odd");
  features_remove(u->relations, "Bogus");
  utterance_delete(u);
}

}  // namespace
