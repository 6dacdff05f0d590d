// The diphone candidate graph: naming and lookup, gaps, the join cost chosen
// by the right phone, the boundary flags, and whole copies of the targets.
#include "unitsel/graph.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/features.h"
#include "tests/unitsel/segment_block.h"
#include "unitsel/join_cost.h"
#include "unitsel/target_cost.h"

namespace {

// A voice whose unit database is an in-memory sorted index of the given names.
class TestVoice {
 public:
  explicit TestVoice(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    index_.resize(names.size());
    for (size_t k = 0; k < names.size(); ++k) {
      std::memset(index_[k].name, 0, sizeof index_[k].name);
      std::memcpy(index_[k].name, names[k].c_str(), names[k].size());
      index_[k].name[19] = static_cast<char>(k);  // a host byte
    }
    db_ = static_cast<UnitDatabase*>(heap_alloc(sizeof(UnitDatabase)));
    db_->name = "test";
    db_->unit_count = static_cast<uint32_t>(index_.size());
    db_->unit_index = index_.data();
    voice_.features = features_new();
    voice_.feature_functions = features_new();
    features_set(voice_.features, "diphonedb", value_new_diphonedb(db_));  // frees db_ with the list
  }
  ~TestVoice() {
    features_free(voice_.features);
    features_free(voice_.feature_functions);
  }
  TestVoice(const TestVoice&) = delete;
  TestVoice& operator=(const TestVoice&) = delete;

  void set_min_distance(int m) { features_set_int(voice_.features, "tb_min_distance", m); }
  Voice* voice() { return &voice_; }
  UnitDatabase* db() { return db_; }
  const UnitIndexRecord* record(const char* name) {
    for (const auto& r : index_)
      if (std::strcmp(r.name, name) == 0) return &r;
    return nullptr;
  }

 private:
  std::vector<UnitIndexRecord> index_;
  UnitDatabase* db_;
  Voice voice_{};
};

// Targets named by the phones given, with their phone classes.
std::vector<SegmentBlock> targets_of(const std::vector<std::string>& phones) {
  std::vector<SegmentBlock> out(phones.size());
  for (size_t k = 0; k < phones.size(); ++k) out[k].set_name(phones[k]);
  return out;
}

struct Graph {
  // Keeps its own copy of the blocks: the candidates point at their strings.
  Graph(TestVoice& v, std::vector<SegmentBlock> targets) : blocks(std::move(targets)) {
    for (const auto& b : blocks) recs.push_back(b.rec);
    graph = diphone_graph_func(v.voice(), recs.data(), static_cast<int32_t>(recs.size()));
  }
  ~Graph() { candidate_graph_release(graph); }
  Graph(const Graph&) = delete;
  Graph& operator=(const Graph&) = delete;

  std::vector<int> flagged_positions() const {  // the left target's index, read back from the name
    std::vector<int> out;
    for (int32_t k = 0; k < graph->count; ++k)
      if (graph->candidates[k].boundary_flag) out.push_back(static_cast<int>(graph->candidates[k].left.label_value));
    return out;
  }
  std::vector<SegmentBlock> blocks;
  std::vector<SegmentTarget> recs;
  CandidateGraph* graph;
};

TEST(DiphoneName, Format) {
  char out[kDiphoneNameMax + 1];
  ASSERT_TRUE(diphone_name("pau", "a", out));
  EXPECT_STREQ(out, "pau-a");
  ASSERT_TRUE(diphone_name("abcd", "efgh", out));
  EXPECT_STREQ(out, "abcd-efgh");
  ASSERT_TRUE(diphone_name("", "", out));
  EXPECT_STREQ(out, "-");
  EXPECT_FALSE(diphone_name("abcde", "efgh", out));
  EXPECT_STREQ(out, "");
}

TEST(DiphoneGraph, CountsZeroAndOneGiveEmptyGraphs) {
  TestVoice v({"a-t", "t-a"});
  for (int32_t n : {0, 1, -5}) {
    SegmentBlock b;
    CandidateGraph* g = diphone_graph_func(v.voice(), b.get(), n);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->database, v.db());
    EXPECT_EQ(g->target_cost, &target_cost);
    EXPECT_EQ(g->count, 0);
    EXPECT_EQ(g->candidates, nullptr);
    EXPECT_EQ(g->host0, nullptr);
    EXPECT_EQ(g->host1, nullptr);
    EXPECT_EQ(g->host2, nullptr);
    candidate_graph_release(g);
  }
}

TEST(DiphoneGraph, MissingDiphonesLeaveGaps) {
  TestVoice v({"pau-a", "a-t", "e-pau"});
  Graph g(v, targets_of({"pau", "a", "t", "e", "pau"}));  // "t-e" is missing
  ASSERT_EQ(g.graph->count, 3);
  const Candidate* c = g.graph->candidates;
  EXPECT_EQ(c[0].unit, v.record("pau-a"));
  EXPECT_EQ(c[1].unit, v.record("a-t"));
  EXPECT_EQ(c[2].unit, v.record("e-pau"));
  EXPECT_STREQ(c[2].left.name, "e");
  EXPECT_STREQ(c[2].right.name, "pau");
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(c[k].boundary_flag, 0);
    EXPECT_EQ(c[k].owned, nullptr);
    EXPECT_EQ(c[k].host_first, 0);
    EXPECT_EQ(c[k].host_count, 0);
    EXPECT_EQ(c[k].host_data, nullptr);
  }
  // Nothing found at all is still a valid graph.
  TestVoice none({"x-y"});
  Graph empty(none, targets_of({"pau", "a", "pau"}));
  EXPECT_EQ(empty.graph->count, 0);
}

TEST(DiphoneGraph, OverlongNamesFindNothing) {
  // A name cut to nine characters must not pick up the unit that happens to
  // carry the cut name.
  TestVoice v({"abcde-fgh", "abcd-efgh"});
  std::vector<SegmentBlock> t(2);
  t[0].set_name("abcde");
  t[1].set_name("fghij");
  Graph g(v, t);
  EXPECT_EQ(g.graph->count, 0);
  t[0].set_name("abcd");
  t[1].set_name("efgh");
  Graph g2(v, t);
  ASSERT_EQ(g2.graph->count, 1);
  EXPECT_EQ(g2.graph->candidates[0].unit, v.record("abcd-efgh"));
}

TEST(DiphoneGraph, CandidatesCopyBothTargetsWhole) {
  TestVoice v({"a-t", "t-a"});
  std::vector<SegmentBlock> t = targets_of({"a", "t", "a"});
  for (size_t k = 0; k < t.size(); ++k) {
    SegmentTarget& r = t[k].rec;
    r.measure = 0.05f * static_cast<float>(k + 1);
    std::memset(r.spare0, 0x10 + static_cast<int>(k), sizeof r.spare0);
    std::memset(r.spare1, 0x20 + static_cast<int>(k), sizeof r.spare1);
    std::memset(r.spare2, 0x30 + static_cast<int>(k), sizeof r.spare2);
    std::memset(r.spare3, 0x40 + static_cast<int>(k), sizeof r.spare3);
    r.host0 = &t[k];
    r.host1 = &r;
    r.pos3 = static_cast<uint8_t>(k + 7);
  }
  Graph g(v, t);
  ASSERT_EQ(g.graph->count, 2);
  for (int k = 0; k < 2; ++k) {
    const Candidate& c = g.graph->candidates[k];
    EXPECT_EQ(std::memcmp(&c.left, &g.recs[k], sizeof(SegmentTarget)), 0) << k;
    EXPECT_EQ(std::memcmp(&c.right, &g.recs[k + 1], sizeof(SegmentTarget)), 0) << k;
    // The strings are the host's, not copies.
    EXPECT_EQ(c.left.name, g.recs[k].name);
  }
}

TEST(DiphoneGraph, JoinCostChosenByTheRightPhone) {
  const struct {
    const char* phone;
    JoinCostFn fn;
  } cases[] = {
      {"a", join_cost_vowel},          {"an", join_cost_vowel},          {"un", join_cost_vowel},
      {"oh", join_cost_vowel},         {"b", join_cost_voiced_plosive},  {"d", join_cost_voiced_plosive},
      {"g", join_cost_voiced_plosive}, {"k", join_cost_voiceless_plosive}, {"p", join_cost_voiceless_plosive},
      {"t", join_cost_voiceless_plosive}, {"j", join_cost_glide_rhotic},  {"w", join_cost_glide_rhotic},
      {"r", join_cost_glide_rhotic},   {"ch", join_cost_voiceless_other}, {"f", join_cost_voiceless_other},
      {"h", join_cost_voiceless_other}, {"s", join_cost_voiceless_other}, {"sh", join_cost_voiceless_other},
      {"jh", join_cost_other},         {"l", join_cost_other},           {"lj", join_cost_other},
      {"m", join_cost_other},          {"n", join_cost_other},           {"ni", join_cost_other},
      {"v", join_cost_other},          {"z", join_cost_other},           {"zh", join_cost_other},
      {"pau", join_cost_other},
  };
  std::vector<std::string> names;
  std::vector<std::string> phones;
  for (const auto& c : cases) {
    names.push_back(std::string("e-") + c.phone);
    names.push_back(std::string(c.phone) + "-e");
    phones.push_back("e");
    phones.push_back(c.phone);
  }
  phones.push_back("e");
  TestVoice v(names);
  Graph g(v, targets_of(phones));
  ASSERT_EQ(g.graph->count, static_cast<int32_t>(2 * std::size(cases)));
  for (size_t k = 0; k < std::size(cases); ++k) {
    EXPECT_EQ(g.graph->candidates[2 * k].join_cost, cases[k].fn) << cases[k].phone;
    EXPECT_EQ(g.graph->candidates[2 * k + 1].join_cost, &join_cost_vowel) << cases[k].phone;  // into "e"
  }

  // The strings decide, compared whole; the first matching row wins.
  SegmentBlock b;
  b.ph_vc("+").ph_cvox("-").ph_ctype("p");
  EXPECT_EQ(join_cost_for_target(b.get()), &join_cost_vowel);
  b.ph_vc("-").ph_cvox("0").ph_ctype("p");
  EXPECT_EQ(join_cost_for_target(b.get()), &join_cost_voiceless_plosive);
  b.ph_cvox("-").ph_ctype("r");
  EXPECT_EQ(join_cost_for_target(b.get()), &join_cost_glide_rhotic);
  b.ph_vc("++").ph_cvox("-+").ph_ctype("pl");
  EXPECT_EQ(join_cost_for_target(b.get()), &join_cost_other);
}

// Flag tests: a run of targets in which only the right phone of chosen
// candidates is a consonant.  Each target carries its own position in
// label_value so that flagged candidates can be read back by position.
std::vector<int> flags_for(TestVoice& v, std::vector<std::string> phones) {
  std::vector<SegmentBlock> t = targets_of(phones);
  for (size_t k = 0; k < t.size(); ++k) t[k]->label_value = static_cast<uint8_t>(k);
  Graph g(v, t);
  return g.flagged_positions();
}

std::vector<std::string> vowels_with(int n, std::initializer_list<std::pair<int, const char*>> consonants) {
  std::vector<std::string> p(static_cast<size_t>(n), "a");
  for (auto [pos, name] : consonants) p[static_cast<size_t>(pos)] = name;
  return p;
}

std::vector<std::string> all_diphones(std::initializer_list<const char*> phones) {
  std::vector<std::string> out;
  for (const char* a : phones)
    for (const char* b : phones) out.push_back(std::string(a) + "-" + b);
  return out;
}

TEST(BoundaryFlag, OffWithoutPositiveMinDistance) {
  TestVoice v(all_diphones({"a", "s", "t", "pau"}));
  std::vector<std::string> phones(30, "s");
  EXPECT_TRUE(flags_for(v, phones).empty());  // absent
  v.set_min_distance(0);
  EXPECT_TRUE(flags_for(v, phones).empty());
  v.set_min_distance(-3);
  EXPECT_TRUE(flags_for(v, phones).empty());
  v.set_min_distance(4);
  EXPECT_FALSE(flags_for(v, phones).empty());
}

TEST(BoundaryFlag, VoicedFricativeNeedsMoreThanOneAndAHalfM) {
  TestVoice v(all_diphones({"a", "v", "l"}));
  v.set_min_distance(4);
  // The candidate at position i has target i + 1 on its right.
  EXPECT_TRUE(flags_for(v, vowels_with(14, {{7, "v"}})).empty());  // d = 6 is not more than 6
  EXPECT_EQ(flags_for(v, vowels_with(14, {{8, "v"}})), std::vector<int>{7});
  EXPECT_EQ(flags_for(v, vowels_with(16, {{5, "v"}, {12, "v"}})), std::vector<int>{11});
}

TEST(BoundaryFlag, LateralOnlyBeyondTwiceM) {
  TestVoice v(all_diphones({"a", "v", "l"}));
  v.set_min_distance(4);
  EXPECT_TRUE(flags_for(v, vowels_with(14, {{8, "l"}})).empty());  // d = 7
  EXPECT_TRUE(flags_for(v, vowels_with(14, {{9, "l"}})).empty());  // d = 8
  EXPECT_EQ(flags_for(v, vowels_with(14, {{10, "l"}})), std::vector<int>{9});
}

TEST(BoundaryFlag, VoicelessConsonantsFromM) {
  TestVoice v(all_diphones({"a", "s", "t", "r", "j", "g", "ch"}));
  v.set_min_distance(4);
  EXPECT_TRUE(flags_for(v, vowels_with(14, {{4, "s"}})).empty());  // d = 3
  EXPECT_EQ(flags_for(v, vowels_with(14, {{5, "s"}})), std::vector<int>{4});
  EXPECT_EQ(flags_for(v, vowels_with(14, {{5, "ch"}})), std::vector<int>{4});  // affricate
  // Plosives, rhotics and glides wait for d > 2m.
  for (const char* c : {"t", "r", "j", "g"}) {
    EXPECT_TRUE(flags_for(v, vowels_with(14, {{9, c}})).empty()) << c;
    EXPECT_EQ(flags_for(v, vowels_with(14, {{10, c}})), std::vector<int>{9}) << c;
  }
  // A run of voiceless fricatives: every m positions while m targets remain.
  std::vector<std::string> run(12, "s");
  EXPECT_EQ(flags_for(v, run), (std::vector<int>{4, 8}));
  run.pop_back();  // n - i >= m fails at i = 8
  EXPECT_EQ(flags_for(v, run), (std::vector<int>{4}));
}

TEST(BoundaryFlag, DistanceCountsPositionsAcrossGaps) {
  // "s-x" and "x-s" are missing: positions 1 and 2 have no candidate, yet the
  // candidate at position 4 is 4 positions from the start and is flagged.
  TestVoice v(all_diphones({"s", "a"}));
  v.set_min_distance(4);
  EXPECT_EQ(flags_for(v, {"s", "s", "x", "s", "s", "s", "s", "s", "s", "s"}), (std::vector<int>{4}));
}

TEST(BoundaryFlag, SilenceAndVowelsNeverFlagged) {
  TestVoice v(all_diphones({"a", "pau", "i"}));
  v.set_min_distance(1);
  EXPECT_TRUE(flags_for(v, std::vector<std::string>(40, "pau")).empty());
  EXPECT_TRUE(flags_for(v, std::vector<std::string>(40, "a")).empty());
  std::vector<std::string> mixed;
  for (int k = 0; k < 40; ++k) mixed.push_back(k % 3 ? "a" : (k % 2 ? "i" : "pau"));
  EXPECT_TRUE(flags_for(v, mixed).empty());
}

TEST(DiphoneGraph, GrowsOneCandidateAtATimeAndReleases) {
  TestVoice v(all_diphones({"a", "s", "t", "pau"}));
  v.set_min_distance(3);
  std::vector<std::string> phones;
  const char* cycle[] = {"pau", "s", "a", "t", "a"};
  for (int k = 0; k < 300; ++k) phones.push_back(cycle[k % 5]);
  std::vector<SegmentBlock> t = targets_of(phones);
  Graph g(v, t);
  ASSERT_EQ(g.graph->count, 299);
  for (int32_t k = 0; k < g.graph->count; ++k) {
    const Candidate& c = g.graph->candidates[k];
    ASSERT_EQ(c.unit, v.record((phones[k] + "-" + phones[k + 1]).c_str()));
    ASSERT_EQ(c.owned, nullptr);
    ASSERT_EQ(c.host_data, nullptr);
  }
  // The host hangs its own blocks on candidates; releasing frees them.
  g.graph->candidates[0].owned = heap_alloc(32);
  g.graph->candidates[298].owned = heap_alloc(64);
}

TEST(DiphoneGraphDeathTest, DiphonedbOfAnotherTypeIsFatal) {
  Voice voice{features_new(), features_new(), nullptr};
  features_set_int(voice.features, "diphonedb", 3);
  SegmentBlock b[2];
  SegmentTarget recs[2] = {b[0].rec, b[1].rec};
  EXPECT_EXIT(diphone_graph_func(&voice, recs, 2), testing::ExitedWithCode(255), "VAL: tried to access");
  features_free(voice.features);
  features_free(voice.feature_functions);
}

}  // namespace
