#include <gtest/gtest.h>

#include "core/features.h"
#include "core/item.h"
#include "core/phoneset.h"
#include "core/platform.h"

namespace {

constexpr Value kPlus = value_permanent_string("+");
constexpr Value kMinus = value_permanent_string("-");
constexpr Value kZero = value_permanent_string("0");
constexpr Value kStop = value_permanent_string("s");
const Value* const kValues[] = {&kPlus, &kMinus, &kZero, &kStop, nullptr};
const char* const kColumns[] = {"vc", "ctype", nullptr};

// Names in ascending byte order; "\xe9" (the letter e-acute) sorts after every
// ASCII name only under an unsigned comparison.
const char* const kNames[] = {"a", "k", "pau", "t", "\xe9"};
constexpr int32_t kA[] = {0, 2, -1};
constexpr int32_t kK[] = {1, 3, -1};
constexpr int32_t kPau[] = {2, 2, -1};
constexpr int32_t kShort[] = {1, -1};  // a row that stops after its first column
constexpr int32_t kE[] = {0, 2, -1};
const int32_t* const kRows[] = {kA, kK, kPau, kShort, kE};

const Phoneset kSorted = {"test", kColumns, kValues, kNames, "pau", 5, kRows, 1};
const Phoneset kUnsorted = {"test", kColumns, kValues, kNames, "pau", 5, kRows, 0};

TEST(Phoneset, BisectionAndScanAgree) {
  for (int32_t i = 0; i < 5; ++i) {
    EXPECT_EQ(phone_id(&kSorted, kNames[i]), i) << kNames[i];
    EXPECT_EQ(phone_id(&kUnsorted, kNames[i]), i) << kNames[i];
  }
  for (const char* missing : {"", "a1", "A", "b", "pa", "paus", "z", "\xff"}) {
    EXPECT_EQ(phone_id(&kSorted, missing), -1) << missing;
    EXPECT_EQ(phone_id(&kUnsorted, missing), -1) << missing;
  }
  EXPECT_EQ(phone_id(&kSorted, nullptr), -1);
  EXPECT_EQ(phone_id(nullptr, "a"), -1);
}

TEST(Phoneset, FeaturesAreTableValuesOrTheSharedZero) {
  EXPECT_EQ(phone_feature(&kSorted, "a", "vc"), &kPlus);
  EXPECT_EQ(phone_feature(&kSorted, "k", "ctype"), &kStop);
  EXPECT_EQ(phone_feature(&kUnsorted, "k", "vc"), &kMinus);
  EXPECT_STREQ(phone_feature_string(&kSorted, "\xe9", "vc"), "+");
  // Misses answer with the one shared "0", never freed by callers.
  EXPECT_EQ(phone_feature(&kSorted, "a1", "vc"), value_default_string());
  EXPECT_EQ(phone_feature(&kSorted, "a", "vlng"), value_default_string());
  EXPECT_EQ(phone_feature(&kSorted, "t", "ctype"), value_default_string());  // past the row's end
  EXPECT_STREQ(phone_feature_string(&kSorted, "t", "vc"), "-");
  EXPECT_STREQ(phone_feature_string(&kSorted, "zz", "ctype"), "0");
}

TEST(Phoneset, LookupsDoNotAllocate) {
  uint64_t before = heap_alloc_count();
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(phone_feature(&kSorted, "k", "ctype"), &kStop);
    ASSERT_EQ(phone_feature(&kUnsorted, "x", "vc"), value_default_string());
  }
  EXPECT_EQ(heap_alloc_count(), before);
}

TEST(Phoneset, ItemPhonesetReadsTheUtterance) {
  Utterance* u = utterance_new();
  Item* seg = relation_append(utterance_new_relation(u, "Segment"), nullptr);
  features_set(u->features, "phoneset", value_new_phoneset(const_cast<Phoneset*>(&kSorted)));
  EXPECT_EQ(item_phoneset(seg), &kSorted);
  utterance_delete(u);
}

TEST(PhonesetDeathTest, MissingOrMistypedPhonesetFeature) {
  Utterance* u = utterance_new();
  Item* seg = relation_append(utterance_new_relation(u, "Segment"), nullptr);
  EXPECT_EXIT(item_phoneset(seg), testing::ExitedWithCode(255), "^VAL: tried to access phoneset in -1 type val\n$");
  features_set_int(u->features, "phoneset", 3);
  EXPECT_EXIT(item_phoneset(seg), testing::ExitedWithCode(255), "^VAL: tried to access phoneset in 1 type val\n$");
  // An item outside any utterance has no phoneset either.
  EXPECT_EXIT(item_phoneset(nullptr), testing::ExitedWithCode(255), "^VAL: tried to access phoneset in -1 type val\n$");
  utterance_delete(u);
}

}  // namespace
