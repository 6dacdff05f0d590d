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

// The phoneset as written in the voice's phone inventory, one row per phone:
// name, then the seven column values in column order.
struct Row {
  const char* name;
  const char* values;
};
const Row kInventory[36] = {
    {"a", "+03 2-00"},  {"an", "+02 2-00"}, {"b", "-+0 00pl"},  {"ch", "--0 00ap"}, {"d", "-+0 00pd"},
    {"e", "+02 1-00"},  {"eh", "+03 1-00"}, {"en", "+02 1-00"}, {"f", "--0 00fb"},  {"g", "-+0 00pv"},
    {"h", "--0 00fv"},  {"i", "+01 1-00"},  {"in", "+01 2-00"}, {"j", "-+0 00gp"},  {"jh", "-+0 00ap"},
    {"k", "--0 00pv"},  {"l", "-+0 00la"},  {"lj", "-+0 00lp"}, {"m", "-+0 00nl"},  {"n", "-+0 00na"},
    {"ni", "-+0 00np"}, {"o", "+02 3+00"},  {"oh", "+03 3+00"}, {"on", "+02 3+00"}, {"p", "--0 00pl"},
    {"pau", "000 0000"}, {"r", "-+0 00ra"}, {"s", "--0 00fa"},  {"sh", "--0 00fp"}, {"t", "--0 00pd"},
    {"u", "+01 3+00"},  {"un", "+01 3-00"}, {"v", "-+0 00fb"},  {"w", "-+0 00gv"},  {"z", "-+0 00fa"},
    {"zh", "-+0 00fp"},
};

// The seven codes of a row (the blank in the written form only groups them).
std::string codes(const char* written) {
  std::string s;
  for (const char* p = written; *p; ++p)
    if (*p != ' ') s += *p;
  return s;
}

TEST(PhonesetPtBr, Header) {
  const Phoneset& ps = phoneset_pt_br;
  EXPECT_STREQ(ps.name, "x-kelto-pt_br");
  EXPECT_STREQ(ps.silence, "pau");
  EXPECT_EQ(ps.num_phones, 36);
  EXPECT_EQ(ps.sorted, 1);
  for (int c = 0; c < 7; ++c) EXPECT_STREQ(ps.feature_names[c], kColumns[c]);
  EXPECT_EQ(ps.feature_names[7], nullptr);
  const char* const order[] = {"+", "0", "3", "2", "-", "p", "l", "a", "d", "1", "f", "b", "v", "g", "n", "r"};
  for (int v = 0; v < 16; ++v) {
    ASSERT_NE(ps.feature_values[v], nullptr);
    EXPECT_STREQ(value_string(ps.feature_values[v]), order[v]);
    EXPECT_EQ(ps.feature_values[v]->head.atom.refcount, kPermanentRefcount);
  }
  EXPECT_EQ(ps.feature_values[16], nullptr);
  for (int i = 0; i < 36; ++i) {
    EXPECT_EQ(ps.feature_matrix[i][7], -1) << ps.phone_names[i];
    if (i > 0) {
      EXPECT_LT(strcmp(ps.phone_names[i - 1], ps.phone_names[i]), 0);
    }
  }
}

TEST(PhonesetPtBr, EveryValueAsTabled) {
  for (const Row& row : kInventory) {
    std::string want = codes(row.values);
    ASSERT_EQ(want.size(), 7u);
    for (int c = 0; c < 7; ++c) {
      Value* v = phone_feature(&phoneset_pt_br, row.name, kColumns[c]);
      EXPECT_EQ(std::string(value_string(v)), std::string(1, want[c])) << row.name << " " << kColumns[c];
    }
  }
  // The two rows that break the pattern of their neighbours.
  EXPECT_STREQ(phone_feature_string(&phoneset_pt_br, "in", "vfront"), "2");
  EXPECT_STREQ(phone_feature_string(&phoneset_pt_br, "un", "vrnd"), "-");
}

TEST(PhonesetPtBr, BisectionAndLinearScanAgreeOnEveryName) {
  Phoneset unsorted = phoneset_pt_br;
  unsorted.sorted = 0;
  for (int i = 0; i < 36; ++i) {
    const char* name = kInventory[i].name;
    EXPECT_EQ(phone_id(&phoneset_pt_br, name), i) << name;
    EXPECT_EQ(phone_id(&unsorted, name), i) << name;
  }
  EXPECT_EQ(phone_id(&phoneset_pt_br, "a"), 0);
  EXPECT_EQ(phone_id(&phoneset_pt_br, "zh"), 35);
  EXPECT_EQ(phone_id(&phoneset_pt_br, "pau"), 25);
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
  for (const Row& row : kInventory) {
    features_set(seg->contents->features, "name", value_new_string(row.name));
    before = heap_alloc_count();
    EXPECT_EQ(ph_vcar(seg), value_default_string()) << row.name;
    EXPECT_EQ(ph_vlng(seg), value_default_string()) << row.name;
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
