#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/featfuncs.h"
#include "core/features.h"
#include "core/item.h"
#include "core/phoneset.h"
#include "core/platform.h"
#include "lang_pt_br/phoneset_pt_br.h"

namespace {

const char* const kColumns[] = {"vc", "cvox", "vheight", "vfront", "vrnd", "ctype", "cplace"};

// The table's values are data, checked through what they drive: the shipped
// duration trees against the trainer's held-out utterances and the target
// costs.  Here: the lookups over the real table.
TEST(PhonesetPtBr, BisectionAndLinearScanAgreeOnEveryName) {
  Phoneset unsorted = phoneset_pt_br;
  unsorted.sorted = 0;
  for (int i = 0; i < phoneset_pt_br.num_phones; ++i) {
    const char* name = phoneset_pt_br.phone_names[i];
    if (i > 0) {
      EXPECT_LT(strcmp(phoneset_pt_br.phone_names[i - 1], name), 0) << name;
    }
    EXPECT_EQ(phone_id(&phoneset_pt_br, name), i) << name;
    EXPECT_EQ(phone_id(&unsorted, name), i) << name;
  }
}

// A vowel has no consonant columns and a consonant no vowel columns; silence
// has neither.
TEST(PhonesetPtBr, VowelAndConsonantColumnsDoNotMix) {
  const char* const vowel_columns[] = {"vheight", "vfront", "vrnd"};
  const char* const consonant_columns[] = {"cvox", "ctype", "cplace"};
  for (int i = 0; i < phoneset_pt_br.num_phones; ++i) {
    const char* name = phoneset_pt_br.phone_names[i];
    const std::string vc = phone_feature_string(&phoneset_pt_br, name, "vc");
    const bool vowel = vc == "+", consonant = vc == "-";
    ASSERT_TRUE(vowel || consonant || std::string(name) == "pau") << name;
    for (const char* column : vowel_columns)
      EXPECT_EQ(std::string(phone_feature_string(&phoneset_pt_br, name, column)) != "0", vowel) << name << " " << column;
    for (const char* column : consonant_columns)
      EXPECT_EQ(std::string(phone_feature_string(&phoneset_pt_br, name, column)) != "0", consonant)
          << name << " " << column;
  }
}

TEST(PhonesetPtBr, DecoratedAndUnknownNamesAreNotFound) {
  for (const char* name : {"a1", "eh1", "-", "", "A", "pau0", "x", "\xe1"}) {  // \xe1: a-acute
    EXPECT_EQ(phone_id(&phoneset_pt_br, name), -1) << name;
    EXPECT_EQ(phone_feature(&phoneset_pt_br, name, "vc"), value_default_string()) << name;
  }
}

TEST(PhonesetPtBr, SilenceIsZeroForEveryFeature) {
  for (const char* column : kColumns) {
    EXPECT_STREQ(phone_feature_string(&phoneset_pt_br, "pau", column), "0") << column;
  }
}

TEST(PhonesetPtBr, PermanentValue) {
  Value* v = phoneset_pt_br_value();
  EXPECT_EQ(value_type(v), kTypePhoneset);
  EXPECT_EQ(v->head.atom.refcount, kPermanentRefcount);
  EXPECT_EQ(value_phoneset(v), &phoneset_pt_br);
  // Stored in a feature list and freed with it, the Value stays untouched.
  Features* f = features_new();
  features_set(f, "phoneset", v);
  features_free(f);
  EXPECT_EQ(v->head.atom.refcount, kPermanentRefcount);
}

TEST(PhonesetPtBr, PhVcarAndPhVlngAreZeroForEveryPhone) {
  Utterance* u = utterance_new();
  features_set(u->features, "phoneset", phoneset_pt_br_value());
  Relation* segs = utterance_new_relation(u, "Segment");
  Item* seg = relation_append(segs, nullptr);
  uint64_t before = heap_alloc_count();
  for (int i = 0; i < phoneset_pt_br.num_phones; ++i) {
    const char* name = phoneset_pt_br.phone_names[i];
    features_set(seg->contents->features, "name", value_new_string(name));
    before = heap_alloc_count();
    EXPECT_EQ(ph_vcar(seg), value_default_string()) << name;
    EXPECT_EQ(ph_vlng(seg), value_default_string()) << name;
    EXPECT_EQ(heap_alloc_count(), before);
  }
  utterance_delete(u);
}

TEST(PhonesetPtBrDeathTest, PhVcarNeedsANameAndAPhoneset) {
  Utterance* u = utterance_new();
  Item* seg = relation_append(utterance_new_relation(u, "Segment"), nullptr);
  item_set_string(seg, "name", "a");
  EXPECT_EXIT(ph_vcar(seg), testing::ExitedWithCode(255), "^VAL: tried to access phoneset in -1 type val\n$");
  features_set(u->features, "phoneset", phoneset_pt_br_value());
  features_remove(seg->contents->features, "name");
  EXPECT_EXIT(ph_vcar(seg), testing::ExitedWithCode(255), "^$");
  utterance_delete(u);
}

}  // namespace
