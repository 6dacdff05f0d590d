#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/features.h"
#include "core/platform.h"

namespace {

std::vector<std::string> names(const Features* f) {
  std::vector<std::string> out;
  for (FeaturePair* p = f->head; p; p = p->next) out.push_back(p->name);
  return out;
}

TEST(Features, NewestFirstAndReplaceInPlace) {
  Features* f = features_new();
  features_set_int(f, "a", 1);
  features_set_int(f, "b", 2);
  features_set_int(f, "c", 3);
  EXPECT_EQ(names(f), (std::vector<std::string>{"c", "b", "a"}));
  features_set_string(f, "b", "two");
  EXPECT_EQ(names(f), (std::vector<std::string>{"c", "b", "a"}));
  EXPECT_STREQ(features_get_string(f, "b"), "two");
  EXPECT_EQ(features_count(f), 3);
  EXPECT_EQ(features_count(nullptr), 0);
  EXPECT_FALSE(features_present(nullptr, "a"));
  EXPECT_EQ(features_get(nullptr, "a"), nullptr);
  features_set(f, "a", nullptr);  // an empty Value changes nothing
  EXPECT_EQ(features_get_int(f, "a"), 1);
  features_free(f);
}

TEST(Features, SameValueAgainStaysAlive) {
  Features* f = features_new();
  Value* v = value_new_string("x");
  features_set(f, "k", v);
  features_set(f, "k", v);
  EXPECT_EQ(v->head.atom.refcount, 1);
  EXPECT_STREQ(features_get_string(f, "k"), "x");
  features_free(f);
}

TEST(Features, ValueHeldByTwoListsSurvivesTheFirst) {
  Features* a = features_new();
  Features* b = features_new();
  Value* v = value_new_string("shared");
  features_set(a, "x", v);
  features_set(b, "y", v);
  EXPECT_EQ(v->head.atom.refcount, 2);
  features_free(a);
  EXPECT_EQ(v->head.atom.refcount, 1);  // the first list gave its hold back
  EXPECT_STREQ(features_get_string(b, "y"), "shared");
  features_free(b);
}

TEST(Features, DefaultsAndRemoval) {
  Features* f = features_new();
  features_set_float(f, "x", 1.5f);
  EXPECT_EQ(features_get_int_or(f, "absent", 42), 42);
  EXPECT_EQ(features_get_int_or(nullptr, "x", 7), 7);
  EXPECT_FLOAT_EQ(features_get_float_or(f, "x", 0.0f), 1.5f);
  EXPECT_STREQ(features_get_string_or(f, "absent", "dflt"), "dflt");
  EXPECT_EQ(features_get_or(f, "absent", value_small_int(3)), value_small_int(3));
  EXPECT_EQ(features_count(f), 1);
  EXPECT_FALSE(features_remove(f, "absent"));
  EXPECT_EQ(features_count(f), 1);
  EXPECT_TRUE(features_remove(f, "x"));
  EXPECT_FALSE(features_present(f, "x"));
  EXPECT_FALSE(features_remove(nullptr, "x"));
  features_free(f);
}

TEST(Features, NamesAreNotCopied) {
  Features* f = features_new();
  char name[] = "abc";
  features_set_int(f, name, 1);
  name[0] = 'x';
  EXPECT_TRUE(features_present(f, "xbc"));
  EXPECT_FALSE(features_present(f, "abc"));
  features_free(f);
}

TEST(Features, PrivateHeapList) {
  PrivateHeap* heap = private_heap_create();
  Features* f = features_new_in_heap(heap);
  for (int i = 0; i < 100; ++i) features_set_int(f, "n", i);
  features_set_string(f, "s", "text");
  EXPECT_EQ(features_get_int(f, "n"), 99);
  features_free(f);
  private_heap_destroy(heap);
}

TEST(FeaturesDeathTest, AbsentNameInStrictGetters) {
  Features* f = features_new();
  EXPECT_EXIT(features_get_int(f, "absent"), testing::ExitedWithCode(255), "^$");
  EXPECT_EXIT(features_get_string(f, "absent"), testing::ExitedWithCode(255), "^$");
  EXPECT_EXIT(features_get_float(f, "absent"), testing::ExitedWithCode(255), "^$");
  features_free(f);
}

TEST(Features, LookupDoesNotAllocate) {
  Features* f = features_new();
  static const char* kNames[30] = {"f0",  "f1",  "f2",  "f3",  "f4",  "f5",  "f6",  "f7",  "f8",  "f9",
                                   "f10", "f11", "f12", "f13", "f14", "f15", "f16", "f17", "f18", "f19",
                                   "f20", "f21", "f22", "f23", "f24", "f25", "f26", "f27", "f28", "f29"};
  for (const char* n : kNames) features_set_int(f, n, 1);
  uint64_t before = heap_alloc_count();
  int found = 0;
  for (const char* n : kNames) found += features_get(f, n) != nullptr;
  EXPECT_EQ(found, 30);
  EXPECT_EQ(heap_alloc_count(), before);
  features_free(f);
}

}  // namespace
