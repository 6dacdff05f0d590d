#include "lang_pt_br/pos.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "core/path.h"
#include "core/platform.h"
#include "tests/support/build_utt.h"

namespace {

std::string tag(const char* word) { return value_string(pos_tag_of(word)); }

TEST(Gpos, OneWordOfEveryClass) {
  EXPECT_EQ(tag("ao"), "in");
  EXPECT_EQ(tag("\xe0s"), "in");  // às
  EXPECT_EQ(tag("que"), "wp");
  EXPECT_EQ(tag("qu\xea"), "wp");  // quê
  EXPECT_EQ(tag("aonde"), "wp");
  EXPECT_EQ(tag("isso"), "det");
  EXPECT_EQ(tag("\xe0queles"), "det");  // àqueles
  EXPECT_EQ(tag("voc\xeas"), "pps");    // vocês
  EXPECT_EQ(tag("nos"), "pps");         // a pronoun, not a contraction of "em"
  EXPECT_EQ(tag("nossos"), "pps$");
  EXPECT_EQ(tag("tamb\xe9m"), "cc");  // também
  EXPECT_EQ(tag("ou"), "cc");
  EXPECT_EQ(tag("a"), "art");
  EXPECT_EQ(tag("uns"), "art");
  EXPECT_EQ(tag("casa"), "content");
}

TEST(Gpos, ExactByteWiseMatch) {
  EXPECT_EQ(tag("Que"), "content");
  EXPECT_EQ(tag("QUE"), "content");
  EXPECT_EQ(tag("portando"), "cc");
  EXPECT_EQ(tag("portanto"), "content");
  EXPECT_EQ(tag("voce"), "content");  // without the accent
  EXPECT_EQ(tag(""), "content");
  EXPECT_EQ(tag(nullptr), "content");
  // UTF-8 spelling of "você" is not the ISO-8859-15 word.
  EXPECT_EQ(tag("voc\xc3\xaa"), "content");
}

TEST(Gpos, EveryListedWordFindsItsOwnClass) {
  std::set<std::string> seen;
  for (const Value* const* cls = kPosClasses; *cls; ++cls) {
    for (const Value* w = *cls + 1; w->body.s; ++w) {
      EXPECT_EQ(value_type(w), kTypeString);
      EXPECT_EQ(w->head.atom.refcount, kPermanentRefcount);
      // No word is listed twice, so the search order never hides one.
      EXPECT_TRUE(seen.insert(w->body.s).second) << w->body.s;
      EXPECT_EQ(pos_tag_of(w->body.s), *cls);
      for (const char* c = w->body.s; *c; ++c)
        EXPECT_FALSE(static_cast<unsigned char>(*c) == 0xc3) << "UTF-8 lead byte in " << w->body.s;
    }
  }
}

TEST(Gpos, FeatureFunctionReturnsTheConstantTag) {
  Utterance* u = testutt::build({{"BB", {{"Que", {{1, {"k", "e"}}}}, {"que", {{1, {"k", "e"}}}}, {"nos", {{0, {"n", "u", "s"}}}}}}});
  feature_function_register(u->ffunctions, "gpos", gpos);
  Item* w0 = testutt::nth(u, "Word", 0);
  Item* w2 = testutt::nth(u, "Word", 2);
  uint64_t before = heap_alloc_count();
  Value* v = feature_path_value(w0, "gpos");
  Value* n = feature_path_value(w0, "n.gpos");
  Value* seg = feature_path_value(testutt::nth(u, "Segment", 5), "R:SylStructure.parent.parent.gpos");
  EXPECT_EQ(heap_alloc_count(), before);
  EXPECT_STREQ(value_string(v), "content");
  EXPECT_STREQ(value_string(n), "wp");
  EXPECT_STREQ(value_string(seg), "pps");
  EXPECT_EQ(v->head.atom.refcount, kPermanentRefcount);
  // Releasing the tag, as a careless caller might, leaves it intact.
  value_release(n);
  EXPECT_STREQ(value_string(feature_path_value(w2, "p.gpos")), "wp");
  utterance_delete(u);
}

TEST(Gpos, WordWithoutNameIsContent) {
  Utterance* u = testutt::build({{"BB", {{"x", {{1, {"a"}}}}}}});
  Item* w = testutt::nth(u, "Word", 0);
  item_set_int(w, "name", 7);
  EXPECT_STREQ(value_string(gpos(w)), "content");
  utterance_delete(u);
}

}  // namespace
