#include <gtest/gtest.h>

#include <string>

#include "core/features.h"
#include "core/platform.h"
#include "core/value.h"

namespace {

TEST(Value, RecordIsTwoWords) {
  EXPECT_EQ(sizeof(Value), 2 * sizeof(void*));
  Value* i = value_new_int(3);
  Value* c = value_cons(i, nullptr);
  EXPECT_TRUE(value_is_atom(i));
  EXPECT_TRUE(value_is_cell(c));
  EXPECT_EQ(value_type(c), 0);
  EXPECT_EQ(value_type(nullptr), -1);
  value_release(c);
}

TEST(Value, Conversions) {
  Value* s = value_new_string("12abc");
  Value* letters = value_new_string("abc");
  Value* f = value_new_float(-2.7f);
  Value* fs = value_new_string(" 2.5");
  EXPECT_EQ(value_int(s), 12);
  EXPECT_EQ(value_int(letters), 0);
  EXPECT_EQ(value_int(f), -2);
  EXPECT_FLOAT_EQ(value_float(fs), 2.5f);
  EXPECT_FLOAT_EQ(value_float(value_small_int(7)), 7.0f);
  EXPECT_STREQ(value_string(s), "12abc");
  for (Value* v : {s, letters, f, fs}) value_release(v);
  Value* empty = value_new_string(nullptr);
  EXPECT_EQ(value_string(empty), nullptr);
  EXPECT_EQ(value_int(empty), 0);
  value_release(empty);
}

TEST(Value, EqualityMixesNumbersAndTexts) {
  Value* s3 = value_new_string("3");
  Value* i3 = value_new_int(3);
  Value* f3 = value_new_float(3.0f);
  Value* letters = value_new_string("abc");
  EXPECT_TRUE(value_equal(s3, i3));
  EXPECT_TRUE(value_equal(i3, f3));
  EXPECT_TRUE(value_equal(letters, value_small_int(0)));
  EXPECT_FALSE(value_equal(letters, value_small_int(1)));
  EXPECT_TRUE(value_equal(nullptr, nullptr));
  EXPECT_FALSE(value_equal(nullptr, i3));
  EXPECT_FALSE(value_equal(i3, nullptr));
  int a = 1, b = 1;
  Value* oa = value_new_userdata(&a);
  Value* oa2 = value_new_userdata(&a);
  Value* ob = value_new_userdata(&b);
  EXPECT_TRUE(value_equal(oa, oa2));
  EXPECT_FALSE(value_equal(oa, ob));
  EXPECT_FALSE(value_equal(oa, i3));  // object against number: different types
  Value* l1 = value_cons(value_new_string("a"), value_cons(value_new_int(2), nullptr));
  Value* l2 = value_cons(value_new_string("a"), value_cons(value_new_string("2"), nullptr));
  Value* l3 = value_cons(value_new_string("a"), nullptr);
  EXPECT_TRUE(value_equal(l1, l2));
  EXPECT_FALSE(value_equal(l1, l3));
  EXPECT_FALSE(value_equal(l3, value_car(l3)));  // atom never equals a cell
  for (Value* v : {s3, i3, f3, letters, oa, oa2, ob, l1, l2, l3}) value_release(v);
}

TEST(Value, OrderingAndMembership) {
  Value* two = value_new_string("2");
  Value* ten = value_new_int(10);
  EXPECT_TRUE(value_less(two, ten));  // compared as numbers, not texts
  EXPECT_TRUE(value_greater(ten, two));
  EXPECT_FALSE(value_less(ten, ten));
  Value* list = value_cons(value_new_string("x"), value_cons(value_new_float(10.0f), nullptr));
  EXPECT_TRUE(value_member(ten, list));
  EXPECT_FALSE(value_member(two, list));
  EXPECT_FALSE(value_member(two, nullptr));
  for (Value* v : {two, ten, list}) value_release(v);
}

TEST(Value, ReferenceCounting) {
  // A fresh Value released at once is destroyed; retained once and released
  // once it is destroyed too; retained twice and released once it survives.
  uint64_t before = heap_alloc_count();
  Value* v = value_new_string("x");
  EXPECT_EQ(heap_alloc_count() - before, 2u);  // record and text
  EXPECT_EQ(v->head.atom.refcount, 0);
  value_retain(v);
  value_retain(v);
  value_release(v);
  EXPECT_EQ(v->head.atom.refcount, 1);
  EXPECT_STREQ(value_string(v), "x");
  value_release(v);  // destroyed; the sanitizer build checks that nothing leaks
  Value* cell = value_cons(nullptr, nullptr);
  EXPECT_EQ(value_retain(cell), cell);  // cells carry no count
  value_release(cell);
}

TEST(Value, CountRaisedTo65535BecomesPermanent) {
  Value* v = value_new_int(1);
  v->head.atom.refcount = 65534;
  value_retain(v);
  EXPECT_EQ(v->head.atom.refcount, kPermanentRefcount);
  value_release(v);
  value_retain(v);
  EXPECT_EQ(v->head.atom.refcount, kPermanentRefcount);
  v->head.atom.refcount = 0;
  value_release(v);
}

TEST(Value, PermanentSmallValues) {
  EXPECT_EQ(value_small_int(25), value_small_int(19));
  EXPECT_EQ(value_small_int(-1), value_small_int(19));
  for (int n = 0; n < 20; ++n) {
    EXPECT_EQ(value_int(value_small_int(n)), n);
    EXPECT_EQ(value_string(value_small_int_string(n)), std::to_string(n));
  }
  EXPECT_EQ(value_small_int_string(20), value_small_int_string(19));
  EXPECT_EQ(value_default_string(), value_small_int_string(0));
  Value* p = value_small_int_string(4);
  value_retain(p);
  value_release(p);
  value_release(p);
  EXPECT_EQ(p->head.atom.refcount, kPermanentRefcount);
  // Releasing a list frees every cell and element; permanent elements survive.
  Value* list = value_cons(p, value_cons(value_new_string("a"), nullptr));
  value_release(list);
  EXPECT_STREQ(value_string(p), "4");
}

TEST(Value, ListOperations) {
  Value* b = value_cons(value_new_int(3), nullptr);
  EXPECT_EQ(value_append(nullptr, b), b);
  Value* a = value_cons(value_new_int(1), value_cons(value_new_int(2), nullptr));
  Value* ab = value_append(a, b);
  EXPECT_EQ(ab, a);
  EXPECT_EQ(value_list_length(ab), 3);
  EXPECT_EQ(value_last_cell(ab), b);
  Value* r = value_reverse(ab);
  EXPECT_EQ(value_int(value_car(r)), 3);
  EXPECT_EQ(value_int(value_car(value_cdr(value_cdr(r)))), 1);
  EXPECT_EQ(value_reverse(nullptr), nullptr);
  value_release(r);
}

TEST(Value, SetCarDropsOneCountButNeverDestroys) {
  Value* held = value_new_string("held");
  Value* cell = value_cons(held, nullptr);  // held: count 1
  Features* other = features_new();
  features_set(other, "k", held);  // count 2
  Value* fresh = value_new_string("fresh");
  value_set_car(cell, fresh);  // held back to 1, fresh stored unretained
  EXPECT_EQ(held->head.atom.refcount, 1);
  EXPECT_EQ(fresh->head.atom.refcount, 0);
  value_retain(fresh);  // the list now holds it
  value_release(cell);
  features_free(other);
  Value* c2 = value_cons(nullptr, nullptr);
  value_set_cdr(c2, nullptr);  // empty old element simply replaced
  value_release(c2);
}

TEST(ValueDeathTest, WrongAccessEndsTheProcess) {
  Value* i = value_new_int(1);
  EXPECT_EXIT(value_object(i, kTypeItem), testing::ExitedWithCode(255),
              "^VAL: tried to access item in 1 type val\n$");
  EXPECT_EXIT(value_object(nullptr, kTypePhoneset), testing::ExitedWithCode(255),
              "^VAL: tried to access phoneset in -1 type val\n$");
  EXPECT_EXIT(value_string(i), testing::ExitedWithCode(255), "^$");
  EXPECT_EXIT(value_int(nullptr), testing::ExitedWithCode(255), "^$");
  EXPECT_EXIT(value_float(value_new_userdata(nullptr)), testing::ExitedWithCode(255), "^$");
  EXPECT_EXIT(value_car(i), testing::ExitedWithCode(255), "^$");
  EXPECT_EXIT(value_cdr(nullptr), testing::ExitedWithCode(255), "^$");
  EXPECT_EXIT(value_last_cell(value_cons(nullptr, i)), testing::ExitedWithCode(255), "^$");
  EXPECT_EXIT(value_less(i, nullptr), testing::ExitedWithCode(255), "^$");
  EXPECT_EXIT(value_greater(value_cons(nullptr, nullptr), i), testing::ExitedWithCode(255), "^$");
  EXPECT_EXIT(value_member(i, i), testing::ExitedWithCode(255), "^$");
  EXPECT_EXIT(value_set_car(i, nullptr), testing::ExitedWithCode(255), "^$");
  value_release(i);
}

TEST(ValueRegistry, RowsAndDestructors) {
  EXPECT_STREQ(value_type_name(kTypeInt), "int");
  EXPECT_STREQ(value_type_name(kTypeUtterance), "utterance");
  EXPECT_STREQ(value_type_name(13), "");
  EXPECT_STREQ(value_type_name(kTypeZdurCart), "zdur_cart");
  EXPECT_STREQ(value_type_name(kTypeValFunc), "valfunc");
  EXPECT_EQ(value_type_entry(33), nullptr);
  EXPECT_EQ(value_type_entry(39), nullptr);
  EXPECT_EQ(value_type_entry(57), nullptr);
  // Every object type with a do-nothing row can be released safely.
  for (int t : {15, 17, 19, 21, 23, 25, 27, 29, 41, 43, 47, 49, 51, 53, 55}) {
    static int dummy;
    value_release(value_new_object(t, &dummy));
  }
  // A features Value frees its list, and the list releases what it holds.
  Features* f = features_new();
  features_set_string(f, "a", "b");
  value_release(value_new_object(kTypeFeatures, f));
}

}  // namespace
