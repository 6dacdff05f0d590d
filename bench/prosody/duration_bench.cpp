// Segments per second through duration_func with the voice's tree set, and
// the same utterances with a one-leaf tree (pause rules, statistics lookup
// and the "end" updates only) as the baseline of the same run.
#include <benchmark/benchmark.h>

#include <vector>

#include "core/featfuncs.h"
#include "core/path.h"
#include "core/platform.h"
#include "lang_pt_br/phoneset_pt_br.h"
#include "lang_pt_br/pos.h"
#include "prosody/duration.h"
#include "tests/prosody/prosody_utt.h"

namespace {

// A paragraph: every held-out utterance of the trainer, one after another.
Utterance* paragraph(const ZdurCart* cart, int* segments) {
  std::vector<prosodytest::Phrase> phrases;
  for (const prosodytest::CheckUtt& cu :
       prosodytest::read_check_file(SELVANA_SOURCE_DIR "/tests/prosody/zdur_check.txt"))
    phrases.insert(phrases.end(), cu.phrases.begin(), cu.phrases.end());
  Utterance* u = prosodytest::build(phrases);
  features_set(u->features, "phoneset", phoneset_pt_br_value());
  features_set(u->features, "zdur_cart", value_new_zdur_cart(const_cast<ZdurCart*>(cart)));
  register_feature_functions(u->ffunctions);
  feature_function_register(u->ffunctions, "gpos", gpos);
  *segments = 0;
  for (Item* s = utterance_relation(u, "Segment")->head; s; s = item_next(s)) ++*segments;
  return u;
}

void run(benchmark::State& state, const ZdurCart* cart) {
  int segments = 0;
  Utterance* u = paragraph(cart, &segments);
  duration_func(u);  // the first pass makes the "end" Values
  uint64_t allocs = heap_alloc_count();
  for (auto _ : state) {
    duration_func(u);
    benchmark::ClobberMemory();
  }
  state.counters["allocs_per_pass"] =
      static_cast<double>(heap_alloc_count() - allocs) / static_cast<double>(state.iterations());
  state.counters["segments"] = segments;
  state.SetItemsProcessed(state.iterations() * segments);
  utterance_delete(u);
}

void BM_DurationShippedTree(benchmark::State& state) { run(state, &kZdurCartPtBr); }

void BM_DurationOneLeafBaseline(benchmark::State& state) {
  static constexpr uint8_t kLeaf[] = {kZdurLeaf, 0, 0, 0};
  const ZdurCart one_leaf = {kZdurCartPtBr.stats, kZdurCartPtBr.strings, kLeaf, kZdurCartPtBr.num_strings, 1};
  run(state, &one_leaf);
}

BENCHMARK(BM_DurationShippedTree);
BENCHMARK(BM_DurationOneLeafBaseline);

}  // namespace

BENCHMARK_MAIN();
