// Unit-selection hot paths: target cost and the six join costs on random but
// realistic records, and building a candidate graph for 1,000 targets against
// a 10,000-unit index.  BM_Baseline_* time a trivial call over the same
// records and access pattern; compare the cost figures as ratios to them.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "core/contract.h"
#include "core/features.h"
#include "unitsel/graph.h"
#include "unitsel/join_cost.h"
#include "tests/support/phone_class.h"
#include "unitsel/target_cost.h"

namespace {

int phone_count() { return phoneset_pt_br.num_phones; }
const char* phone_name(int i) { return phoneset_pt_br.phone_names[i]; }

// Strings owned by one side (targets or units), so that the two sides never
// share pointers, as with a real host.
class StringPool {
 public:
  const char* get(const std::string& s) {
    for (const auto& p : pool_)
      if (p == s) return p.c_str();
    pool_.push_back(s);
    return pool_.back().c_str();
  }

 private:
  std::deque<std::string> pool_;
};

SegmentTarget random_target(std::mt19937& rng, StringPool& pool, const std::vector<int>& phones, size_t at) {
  static const char* const kGpos[] = {"content", "content", "content", "det", "prep", "in", "cc"};
  static const char* const kTones[] = {"NONE", "NONE", "L*", "L", "H", "H*"};
  auto phone = [&](long k) {
    long n = static_cast<long>(phones.size());
    return std::string(k < 0 || k >= n ? "pau" : phone_name(phones[static_cast<size_t>(k)]));
  };
  long i = static_cast<long>(at);
  SegmentTarget t{};
  t.measure = 0.03f + static_cast<float>(rng() % 1000) / 6000.0f;
  t.pp_name = pool.get(phone(i - 2));
  t.p_name = pool.get(phone(i - 1));
  t.name = pool.get(phone(i));
  t.n_name = pool.get(phone(i + 1));
  t.nn_name = pool.get(phone(i + 2));
  t.pos1 = static_cast<uint8_t>(rng() % 5);
  t.pos2 = static_cast<uint8_t>(rng() % 5);
  t.pos3 = static_cast<uint8_t>(rng() % 4);
  t.mark = static_cast<uint8_t>(rng() % 3);
  t.pos4 = static_cast<uint8_t>(rng() % 4);
  t.pos5 = static_cast<uint8_t>(rng() % 4);
  t.level1 = static_cast<uint8_t>(rng() % 4);
  t.level2 = static_cast<uint8_t>(rng() % 4);
  t.flag1 = static_cast<uint8_t>(rng() % 2);
  t.flag2 = static_cast<uint8_t>(rng() % 2);
  t.label = pool.get(rng() % 2 ? "syl" : "word");
  t.label_value = static_cast<uint8_t>(rng() % 3);
  t.gpos_p = pool.get(kGpos[rng() % 7]);
  t.gpos = pool.get(kGpos[rng() % 7]);
  t.flag3 = static_cast<uint8_t>(rng() % 2);
  t.level3 = static_cast<uint8_t>(rng() % 3);
  t.level4 = static_cast<uint8_t>(rng() % 3);
  t.gpos_n = pool.get(kGpos[rng() % 7]);
  t.flag4 = static_cast<uint8_t>(rng() % 2);
  t.flag5 = static_cast<uint8_t>(rng() % 2);
  t.level5 = static_cast<uint8_t>(rng() % 3);
  t.level6 = static_cast<uint8_t>(rng() % 3);
  t.tone = pool.get(kTones[rng() % 6]);
  PhoneClass c = phone_class(phone(i).c_str());
  t.ph_vc = pool.get(c.vc);
  t.ph_cvox = pool.get(c.cvox);
  t.ph_ctype = pool.get(c.ctype);
  return t;
}

std::vector<int> random_phones(std::mt19937& rng, size_t n) {
  std::vector<int> p(n);
  for (auto& x : p) x = static_cast<int>(rng() % static_cast<uint32_t>(phone_count()));
  return p;
}

std::vector<SegmentTarget> random_targets(std::mt19937& rng, StringPool& pool, size_t n) {
  std::vector<int> phones = random_phones(rng, n);
  std::vector<SegmentTarget> out;
  for (size_t k = 0; k < n; ++k) out.push_back(random_target(rng, pool, phones, k));
  return out;
}

// Edges of neighbouring units: near one another, as the search mostly sees.
JoinEdge random_edge(std::mt19937& rng) {
  JoinEdge e{};
  e.edge_value = static_cast<uint16_t>(500 + rng() % 2500);
  e.edge_level = static_cast<int16_t>(rng() % 8 == 0 ? 20 + rng() % 5 : rng() % 6);
  e.edge_a = static_cast<uint16_t>(100 + rng() % 6);
  e.edge_b = static_cast<int16_t>(static_cast<int>(rng() % 60) - 30);
  e.edge_c = static_cast<uint16_t>(rng() % 10);
  uint8_t base = static_cast<uint8_t>(60 + rng() % 40);
  for (auto& c : e.coef) c = static_cast<uint8_t>(base + rng() % 30);
  return e;
}

constexpr size_t kRecords = 1024;  // a power of two: indices wrap by mask

// With `shared`, targets and units take their strings from one pool, as a
// host that keeps each text once gives them (see SweepData).
struct TargetData {
  explicit TargetData(bool shared) {
    std::mt19937 rng(42);
    targets = random_targets(rng, target_strings, kRecords + 1);
    units = random_targets(rng, shared ? target_strings : unit_strings, kRecords + 1);
    for (size_t k = 0; k < kRecords; ++k) order.push_back(static_cast<uint32_t>(rng() % kRecords));
  }
  StringPool target_strings, unit_strings;
  std::vector<SegmentTarget> targets, units;
  std::vector<uint32_t> order;
};

const TargetData& target_data(bool shared) {
  static const TargetData separate(false), one_pool(true);
  return shared ? one_pool : separate;
}

__attribute__((noinline)) uint32_t baseline_target(const SegmentTarget* a, const SegmentTarget* b,
                                                   const SegmentTarget* c, const SegmentTarget* d) {
  return a->pos1 + b->pos2 + c->pos3 + d->mark;
}

// state.range(0): 1 when targets and units share their strings.
template <typename Fn>
void run_target(benchmark::State& state, Fn fn) {
  const TargetData& d = target_data(state.range(0) == 1);
  size_t k = 0;
  for (auto _ : state) {
    uint32_t u = d.order[k];
    uint32_t t = d.order[(k + 17) & (kRecords - 1)];
    benchmark::DoNotOptimize(fn(&d.targets[t], &d.targets[t + 1], &d.units[u], &d.units[u + 1]));
    k = (k + 1) & (kRecords - 1);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_Baseline_TargetCall(benchmark::State& state) {
  TargetCostFn fn = baseline_target;
  benchmark::DoNotOptimize(fn);
  run_target(state, fn);
}
BENCHMARK(BM_Baseline_TargetCall)->Arg(0)->Arg(1);

void BM_TargetCost(benchmark::State& state) {
  TargetCostFn fn = target_cost;  // called through the graph's pointer, as the host does
  benchmark::DoNotOptimize(fn);
  run_target(state, fn);
}
BENCHMARK(BM_TargetCost)->Arg(0)->Arg(1);

// The search's pattern: one target pair scored against every instance of its
// diphone in turn.  Instances share the diphone's phones; each other member
// matches the target's with probability 1/2 and is random otherwise.
SegmentTarget unit_like(std::mt19937& rng, StringPool& pool, const SegmentTarget& target) {
  std::vector<int> phones = random_phones(rng, 5);
  SegmentTarget u = random_target(rng, pool, phones, 2);
  auto keep = [&] { return rng() % 2 == 0; };
  u.name = pool.get(target.name);
  u.ph_vc = pool.get(target.ph_vc);
  u.ph_cvox = pool.get(target.ph_cvox);
  u.ph_ctype = pool.get(target.ph_ctype);
  if (keep()) u.pp_name = pool.get(target.pp_name);
  if (keep()) u.p_name = pool.get(target.p_name);
  if (keep()) u.n_name = pool.get(target.n_name);
  if (keep()) u.nn_name = pool.get(target.nn_name);
  if (keep()) u.gpos = pool.get(target.gpos);
  if (keep()) u.gpos_p = pool.get(target.gpos_p);
  if (keep()) u.gpos_n = pool.get(target.gpos_n);
  if (keep()) u.tone = pool.get(target.tone);
  if (keep()) u.label = pool.get(target.label);
  uint8_t SegmentTarget::*bytes[] = {&SegmentTarget::pos1,   &SegmentTarget::pos2,   &SegmentTarget::pos3,
                                     &SegmentTarget::mark,   &SegmentTarget::pos4,   &SegmentTarget::pos5,
                                     &SegmentTarget::level1, &SegmentTarget::level2, &SegmentTarget::flag1,
                                     &SegmentTarget::flag2,  &SegmentTarget::label_value, &SegmentTarget::flag3,
                                     &SegmentTarget::level3, &SegmentTarget::level4, &SegmentTarget::flag4,
                                     &SegmentTarget::flag5,  &SegmentTarget::level5, &SegmentTarget::level6};
  for (auto m : bytes)
    if (keep()) u.*m = target.*m;
  if (keep()) u.measure = target.measure * (0.8f + static_cast<float>(rng() % 40) / 100.0f);
  return u;
}

constexpr size_t kGroups = 64;
constexpr size_t kInstances = 32;

// With `shared`, targets and units take their strings from one pool, as a
// host that keeps each text once (and points the targets at the database's
// texts) gives them; otherwise equal texts lie at different addresses.
struct SweepData {
  explicit SweepData(bool shared) {
    std::mt19937 rng(4242);
    StringPool& unit_pool = shared ? target_strings : unit_strings;
    targets = random_targets(rng, target_strings, kGroups + 1);
    for (size_t g = 0; g < kGroups; ++g)
      for (size_t k = 0; k < kInstances; ++k) {
        units.push_back(unit_like(rng, unit_pool, targets[g]));
        units.push_back(unit_like(rng, unit_pool, targets[g + 1]));
      }
  }
  StringPool target_strings, unit_strings;
  std::vector<SegmentTarget> targets, units;
};

const SweepData& sweep_data(bool shared) {
  static const SweepData separate(false), one_pool(true);
  return shared ? one_pool : separate;
}

// state.range(0): 1 when targets and units share their strings.
template <typename Fn>
void run_sweep(benchmark::State& state, Fn fn) {
  const SweepData& d = sweep_data(state.range(0) == 1);
  size_t g = 0, k = 0;
  for (auto _ : state) {
    const SegmentTarget* u = &d.units[2 * (g * kInstances + k)];
    benchmark::DoNotOptimize(fn(&d.targets[g], &d.targets[g + 1], u, u + 1));
    if (++k == kInstances) {
      k = 0;
      g = (g + 1) % kGroups;
    }
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_Baseline_TargetCallSweep(benchmark::State& state) {
  TargetCostFn fn = baseline_target;
  benchmark::DoNotOptimize(fn);
  run_sweep(state, fn);
}
BENCHMARK(BM_Baseline_TargetCallSweep)->Arg(0)->Arg(1);

void BM_TargetCostSweep(benchmark::State& state) {
  TargetCostFn fn = target_cost;
  benchmark::DoNotOptimize(fn);
  run_sweep(state, fn);
}
BENCHMARK(BM_TargetCostSweep)->Arg(0)->Arg(1);

struct EdgeData {
  EdgeData() {
    std::mt19937 rng(7);
    for (size_t k = 0; k < kRecords; ++k) edges.push_back(random_edge(rng));
    for (size_t k = 0; k < kRecords; ++k) order.push_back(static_cast<uint32_t>(rng() % kRecords));
  }
  std::vector<JoinEdge> edges;
  std::vector<uint32_t> order;
};

const EdgeData& edge_data() {
  static const EdgeData data;
  return data;
}

__attribute__((noinline)) uint32_t baseline_join(const JoinEdge* a, const JoinEdge* b, uint32_t bound) {
  return a->edge_a + b->edge_c + bound;
}

// range(0): the bound; 0xffffffff never rejects, 2000 rejects a part of the pairs early.
void run_join(benchmark::State& state, JoinCostFn fn) {
  const EdgeData& d = edge_data();
  uint32_t bound = static_cast<uint32_t>(state.range(0));
  benchmark::DoNotOptimize(fn);
  size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(fn(&d.edges[d.order[k]], &d.edges[k], bound));
    k = (k + 1) & (kRecords - 1);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_Baseline_JoinCall(benchmark::State& state) { run_join(state, baseline_join); }
void BM_JoinCostVowel(benchmark::State& state) { run_join(state, join_cost_vowel); }
void BM_JoinCostVoicelessPlosive(benchmark::State& state) { run_join(state, join_cost_voiceless_plosive); }
void BM_JoinCostVoicedPlosive(benchmark::State& state) { run_join(state, join_cost_voiced_plosive); }
void BM_JoinCostGlideRhotic(benchmark::State& state) { run_join(state, join_cost_glide_rhotic); }
void BM_JoinCostVoicelessOther(benchmark::State& state) { run_join(state, join_cost_voiceless_other); }
void BM_JoinCostOther(benchmark::State& state) { run_join(state, join_cost_other); }
BENCHMARK(BM_Baseline_JoinCall)->Arg(0xffffffff);
BENCHMARK(BM_JoinCostVowel)->Arg(0xffffffff)->Arg(2000);
BENCHMARK(BM_JoinCostVoicelessPlosive)->Arg(0xffffffff)->Arg(2000);
BENCHMARK(BM_JoinCostVoicedPlosive)->Arg(0xffffffff)->Arg(2000);
BENCHMARK(BM_JoinCostGlideRhotic)->Arg(0xffffffff)->Arg(2000);
BENCHMARK(BM_JoinCostVoicelessOther)->Arg(0xffffffff)->Arg(2000);
BENCHMARK(BM_JoinCostOther)->Arg(0xffffffff)->Arg(2000);

// A voice whose database holds every diphone of the phoneset (1,296) and
// further unit names up to 10,000, sorted as in a unit database file.
struct GraphData {
  GraphData() {
    std::vector<std::string> names;
    for (int a = 0; a < phone_count(); ++a)
      for (int b = 0; b < phone_count(); ++b) names.push_back(std::string(phone_name(a)) + "-" + phone_name(b));
    std::mt19937 rng(99);
    while (names.size() < 10000) {
      std::string n = std::string(phone_name(static_cast<int>(rng() % static_cast<uint32_t>(phone_count())))) + "_" + std::to_string(rng() % 100000);
      names.push_back(n.substr(0, 9));
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    index.resize(names.size());
    for (size_t k = 0; k < names.size(); ++k) {
      std::memset(index[k].name, 0, sizeof index[k].name);
      std::memcpy(index[k].name, names[k].c_str(), names[k].size());
    }
    // The voice's list owns the database record and frees it with the list.
    auto* db = static_cast<UnitDatabase*>(heap_alloc(sizeof(UnitDatabase)));
    db->unit_count = static_cast<uint32_t>(index.size());
    db->unit_index = index.data();
    voice.features = features_new();
    voice.feature_functions = features_new();
    features_set(voice.features, "diphonedb", value_new_diphonedb(db));
    features_set_int(voice.features, "tb_min_distance", 6);
    targets = random_targets(rng, strings, 1000);
  }
  std::vector<UnitIndexRecord> index;
  Voice voice{};
  StringPool strings;
  std::vector<SegmentTarget> targets;
};

GraphData& graph_data() {
  static GraphData data;
  return data;
}

void BM_DiphoneGraph1000Targets(benchmark::State& state) {
  GraphData& d = graph_data();
  int32_t candidates = 0;
  for (auto _ : state) {
    CandidateGraph* g = diphone_graph_func(&d.voice, d.targets.data(), static_cast<int32_t>(d.targets.size()));
    candidates = g->count;
    candidate_graph_release(g);
  }
  state.counters["units"] = static_cast<double>(d.index.size());
  state.counters["candidates"] = candidates;
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(d.targets.size()));
}
BENCHMARK(BM_DiphoneGraph1000Targets)->Unit(benchmark::kMicrosecond);

// Baseline for the graph: copying the same targets pairwise into a
// pre-sized array, which any graph builder must do at least.
void BM_Baseline_CopyPairs1000Targets(benchmark::State& state) {
  GraphData& d = graph_data();
  std::vector<Candidate> out(d.targets.size());
  for (auto _ : state) {
    for (size_t k = 0; k + 1 < d.targets.size(); ++k) {
      std::memcpy(static_cast<void*>(&out[k].left), &d.targets[k], sizeof(SegmentTarget));
      std::memcpy(static_cast<void*>(&out[k].right), &d.targets[k + 1], sizeof(SegmentTarget));
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(d.targets.size()));
}
BENCHMARK(BM_Baseline_CopyPairs1000Targets)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
