// The compact duration trees: statistics lookup, tree walk and rounding.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "core/path.h"
#include "core/platform.h"
#include "prosody/duration.h"
#include "tests/prosody/prosody_utt.h"

namespace {

// A tree set assembled in the test from readable parts.
struct HandCart {
  std::vector<std::array<char, kZdurStringSize>> strings;
  std::vector<uint8_t> stats;
  std::vector<uint8_t> nodes;
  ZdurCart cart{};

  int str(const std::string& s) {
    for (size_t i = 0; i < strings.size(); ++i)
      if (s == strings[i].data()) return static_cast<int>(i);
    std::array<char, kZdurStringSize> slot{};
    memcpy(slot.data(), s.data(), s.size());
    strings.push_back(slot);
    return static_cast<int>(strings.size() - 1);
  }
  void stat(int name_index, int mean, int sd) {
    stats.insert(stats.end(), {static_cast<uint8_t>(name_index), 0, static_cast<uint8_t>(mean & 255),
                               static_cast<uint8_t>((mean >> 8) & 255), static_cast<uint8_t>(sd & 255),
                               static_cast<uint8_t>((sd >> 8) & 255)});
  }
  void question(const std::string& q, const std::string& value, int no) {
    int qi = str(q), vi = str(value);
    nodes.insert(nodes.end(), {static_cast<uint8_t>(qi), static_cast<uint8_t>(vi), static_cast<uint8_t>(no & 255),
                               static_cast<uint8_t>(no >> 8)});
  }
  void leaf(int z) {
    nodes.insert(nodes.end(), {kZdurLeaf, 0, static_cast<uint8_t>(z & 255), static_cast<uint8_t>((z >> 8) & 255)});
  }
  const ZdurCart* done() {
    std::vector<uint8_t> s = stats;
    s.insert(s.end(), {kZdurStatsEnd, 0, 0, 0, 0, 0});
    stats = s;
    cart = {stats.data(), reinterpret_cast<const char(*)[kZdurStringSize]>(strings.data()), nodes.data(),
            static_cast<uint16_t>(strings.size()), static_cast<uint16_t>(nodes.size() / kZdurNodeSize)};
    return &cart;
  }
};

// One-segment utterance "a" (plus pauses) whose segment is returned.
struct OneSeg {
  Utterance* u;
  Item* seg;
  explicit OneSeg(const char* phone, int stress = 1) {
    u = prosodytest::build({{"BB", {{"w", {{stress, {phone}}}}}, "L"}});
    seg = item_next(utterance_relation(u, "Segment")->head);
  }
  ~OneSeg() { utterance_delete(u); }
};

// A single-leaf tree with the statistics "a" 76/41 (the first record) and
// "t" 88/24.
const ZdurCart* leaf_cart(HandCart& h, int z) {
  h.stat(h.str("a"), 76, 41);
  h.stat(h.str("t"), 88, 24);
  h.leaf(z);
  return h.done();
}

TEST(ZdurDuration, WorkedExamples) {
  OneSeg a("a");
  HandCart h1, h2, h3;
  EXPECT_EQ(zdur_duration(leaf_cart(h1, 1000), a.seg), 117);  // 76 + (41000 + 500) / 1000
  EXPECT_EQ(zdur_duration(leaf_cart(h2, -500), a.seg), 55);   // 76 + (-20500 - 500) / 1000
  EXPECT_EQ(zdur_duration(leaf_cart(h3, 0), a.seg), 76);      // a leaf of 0 is exactly the mean
}

TEST(ZdurDuration, RoundsHalfAwayFromZeroOnBothSigns) {
  OneSeg a("a");
  struct Case {
    int z, ms;
  } cases[] = {
      {12, 76},     // 41 * 0.012 = 0.492 -> 0
      {13, 77},     // 0.533 -> 1
      {-12, 76},    // -0.492 -> 0
      {-13, 75},    // -0.533 -> -1
      {1500, 138},  // 61.5 -> 62
      {-1500, 14},  // -61.5 -> -62
      {1, 76},
      {-1, 76},
  };
  for (const Case& c : cases) {
    HandCart h;
    EXPECT_EQ(zdur_duration(leaf_cart(h, c.z), a.seg), c.ms) << c.z;
  }
  // sd 24 with z 2500: exactly 60 either way.
  OneSeg t("t");
  HandCart h, g;
  EXPECT_EQ(zdur_duration(leaf_cart(h, 2500), t.seg), 148);
  EXPECT_EQ(zdur_duration(leaf_cart(g, -2500), t.seg), 28);
}

TEST(ZdurDuration, StatisticsLookup) {
  HandCart h;
  h.stat(h.str("a"), 76, 41);
  h.stat(200, 156, 29);  // names no phone: past the strings
  h.stat(h.str("t"), 88, 24);
  h.leaf(1000);
  const ZdurCart* c = h.done();
  EXPECT_EQ(zdur_stats_mean(zdur_stats_lookup(c, "t")), 88);
  EXPECT_EQ(zdur_stats_sd(zdur_stats_lookup(c, "t")), 24);
  EXPECT_EQ(zdur_stats_lookup(c, "sh"), c->stats);  // no record: the first one
  EXPECT_EQ(zdur_stats_lookup(c, ""), c->stats);
  OneSeg s("sh");
  EXPECT_EQ(zdur_duration(c, s.seg), 117);  // with the statistics of "a"
  OneSeg t("t");
  EXPECT_EQ(zdur_duration(c, t.seg), 112);
}

TEST(ZdurPredict, OperatorsAndIntegerFeatures) {
  HandCart h;
  h.stat(h.str("a"), 76, 41);
  // 0: stress (an int feature) = "01"?  (read as the integer 1)
  h.question("=R:SylStructure.parent.stress", "01", 5);
  // 1:   weight < 2.5?
  h.question("<R:SylStructure.parent.weight", "2.5", 3);
  h.leaf(100);  // 2
  // 3:   weight > 10?
  h.question(">R:SylStructure.parent.weight", "10", 6);
  h.leaf(300);  // 4
  // 5: name = "a"? (string equality, exact)
  h.question("=name", "a", 7);
  h.leaf(-200);  // 6: yes branch of node 5 -- also the no branch of node 3
  h.leaf(-400);  // 7
  const ZdurCart* c = h.done();

  OneSeg a("a", 1);
  Item* syl = feature_path_item(a.seg, "R:SylStructure.parent");
  item_set_float(syl, "weight", 2.0f);
  EXPECT_EQ(zdur_predict(c, a.seg), 100);
  item_set_string(syl, "weight", "2.5");  // not less than 2.5
  EXPECT_EQ(zdur_predict(c, a.seg), -200);
  item_set_int(syl, "weight", 11);
  EXPECT_EQ(zdur_predict(c, a.seg), 300);
  item_set_int(syl, "weight", 10);  // not greater than 10
  EXPECT_EQ(zdur_predict(c, a.seg), -200);
  item_set_int(syl, "stress", 0);
  EXPECT_EQ(zdur_predict(c, a.seg), -200);  // name "a"
  item_set_string(syl, "stress", "1");      // the text "1" is not the text "01"
  EXPECT_EQ(zdur_predict(c, a.seg), -200);
  OneSeg b("b", 0);
  EXPECT_EQ(zdur_predict(c, b.seg), -400);
}

TEST(ZdurPredict, MissingFeatureReadsZero) {
  HandCart h;
  h.stat(h.str("a"), 76, 41);
  h.question("=R:SylStructure.parent.parent.R:Phrase.parent.colour", "0", 2);
  h.leaf(700);
  h.leaf(-700);
  const ZdurCart* c = h.done();
  OneSeg a("a");
  EXPECT_EQ(zdur_predict(c, a.seg), 700);
  item_set_string(feature_path_item(a.seg, "R:SylStructure.parent.parent.R:Phrase.parent"), "colour", "red");
  EXPECT_EQ(zdur_predict(c, a.seg), -700);
}

TEST(ZdurPredict, DamagedTablesStopAtTheMean) {
  OneSeg a("a");
  {
    HandCart h;  // a no-link that points back to the root would never end
    h.stat(h.str("a"), 76, 41);
    h.question("=name", "b", 0);
    h.leaf(900);
    EXPECT_EQ(zdur_predict(h.done(), a.seg), 0);
  }
  {
    HandCart h;  // a yes branch that runs off the end of the nodes
    h.stat(h.str("a"), 76, 41);
    h.question("=name", "a", 1);
    const ZdurCart* c = h.done();
    EXPECT_EQ(zdur_predict(c, a.seg), 0);
  }
  {
    HandCart h;  // a question index outside the strings
    h.stat(h.str("a"), 76, 41);
    h.nodes = {200, 0, 2, 0};
    h.leaf(900);
    h.leaf(900);
    EXPECT_EQ(zdur_predict(h.done(), a.seg), 0);
  }
}

// Counts its calls on the segment itself and answers "1".
Value* probe(Item* seg) {
  item_set_int(seg, "probes", (item_feature_present(seg, "probes") ? item_feature_int(seg, "probes") : 0) + 1);
  return value_small_int_string(1);
}

TEST(ZdurPredict, EachPathIsEvaluatedOncePerWalk) {
  HandCart h;
  h.stat(h.str("a"), 76, 41);
  h.question("=probe", "2", 2);      // 0: no
  h.leaf(111);                       // 1
  h.question("=probe", "1", 4);      // 2: yes
  h.question("=p.name", "pau", 5);   // 3: yes
  h.leaf(222);                       // 4
  h.leaf(333);                       // 5
  const ZdurCart* c = h.done();
  OneSeg a("a");
  feature_function_register(a.u->ffunctions, "probe", probe);
  EXPECT_EQ(zdur_predict(c, a.seg), 222);
  EXPECT_EQ(item_feature_int(a.seg, "probes"), 1);
}

TEST(ZdurPredict, LongWalksOverManyDistinctPaths) {
  // Forty questions on forty different features, each answered no, then a
  // question on the first feature again.
  HandCart h;
  h.stat(h.str("a"), 76, 41);
  std::vector<std::string> names;
  for (int k = 0; k < 40; ++k) names.push_back("f" + std::to_string(k));
  for (int k = 0; k < 40; ++k) h.question("=" + names[k], "x", 2 * k + 2), h.leaf(-1000);
  h.question("=" + names[0], "y", 82);  // node 80
  h.leaf(1234);
  h.leaf(-1234);
  const ZdurCart* c = h.done();
  OneSeg a("a");
  for (int k = 0; k < 40; ++k) item_set_string(a.seg, names[k].c_str(), "y");
  EXPECT_EQ(zdur_predict(c, a.seg), 1234);
  item_set_string(a.seg, names[0].c_str(), "z");
  EXPECT_EQ(zdur_predict(c, a.seg), -1234);
  item_set_string(a.seg, names[39].c_str(), "x");
  EXPECT_EQ(zdur_predict(c, a.seg), -1000);
}

TEST(ZdurPredict, WalksWithoutAllocating) {
  HandCart h;
  h.stat(h.str("a"), 76, 41);
  h.question("=R:SylStructure.parent.stress", "1", 3);
  h.question("=p.name", "pau", 4);
  h.leaf(10);
  h.leaf(20);
  h.leaf(30);
  const ZdurCart* c = h.done();
  OneSeg a("a");
  uint64_t before = heap_alloc_count();
  int16_t d = 0;
  for (int i = 0; i < 100; ++i) d = static_cast<int16_t>(d + zdur_duration(c, a.seg));
  EXPECT_EQ(heap_alloc_count(), before);
  EXPECT_EQ(d, 100 * 76);  // leaf 10 rounds to the mean
}

}  // namespace
