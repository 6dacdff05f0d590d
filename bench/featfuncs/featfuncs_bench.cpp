// Cost of one call of the standard feature functions on a sentence-sized
// utterance, next to a plain stored-feature read through a path (the
// baseline) measured in the same run.
#include <benchmark/benchmark.h>

#include <vector>

#include "core/featfuncs.h"
#include "core/path.h"
#include "core/platform.h"
#include "lang_pt_br/phoneset_pt_br.h"
#include "tests/support/build_utt.h"

namespace {

using testutt::Phrase;
using testutt::Syl;
using testutt::Word;

// "O menino comprou um caderno azul, e a professora gostou muito da cor."
// Two phrases, 14 words, 27 syllables, 61 segments.
Utterance* sentence() {
  std::vector<Phrase> phrases = {
      {"B",
       {
           {"o", {{0, {"u"}}}},
           {"menino", {{0, {"m", "e"}}, {1, {"n", "i"}}, {0, {"n", "u"}}}},
           {"comprou", {{0, {"k", "on"}}, {1, {"p", "r", "o", "w"}}}},
           {"um", {{1, {"un"}}}},
           {"caderno", {{0, {"k", "a"}}, {1, {"d", "eh", "h"}}, {0, {"n", "u"}}}},
           {"azul", {{0, {"a"}}, {1, {"z", "u", "w"}}}},
       }},
      {"BB",
       {
           {"e", {{0, {"i"}}}},
           {"a", {{0, {"a"}}}},
           {"professora", {{0, {"p", "r", "o"}}, {0, {"f", "e"}}, {1, {"s", "o"}}, {0, {"r", "a"}}}},
           {"gostou", {{0, {"g", "o", "s"}}, {1, {"t", "o", "w"}}}},
           {"muito", {{1, {"m", "un", "j"}}, {0, {"t", "u"}}}},
           {"da", {{0, {"d", "a"}}}},
           {"cor", {{1, {"k", "o", "h"}}}},
       }},
  };
  Utterance* u = testutt::build(phrases);
  // Utterances carry the voice's parameters; put the phoneset among them.
  const char* const before[] = {"name", "checksum", "language", "encoding"};
  const char* const after[] = {"silence", "sample_rate", "viterbi_beam", "text_whitespace", "text_postpunctuation",
                               "text_singlecharsymbols", "eng_version", "pause_base_len"};
  for (const char* n : before) features_set_string(u->features, n, "x");
  features_set(u->features, "phoneset", phoneset_pt_br_value());
  for (const char* n : after) features_set_string(u->features, n, "x");
  register_feature_functions(u->ffunctions);
  feature_function_register(u->ffunctions, "ph_vcar", ph_vcar);
  // Accents on the stressed syllables of the content words.
  for (Item* s = utterance_relation(u, "Syllable")->head; s; s = item_next(s))
    item_set_string(s, "accent", item_feature_int(s, "stress") ? "H*" : "NONE");
  return u;
}

std::vector<Item*> items_of(Utterance* u, const char* relation) {
  std::vector<Item*> items;
  for (Item* i = utterance_relation(u, relation)->head; i; i = item_next(i)) items.push_back(i);
  return items;
}

// One call per iteration, cycling through the relation's items, so that
// the Time column is the cost of one call.
template <typename F>
void run(benchmark::State& state, const char* relation, F f) {
  Utterance* u = sentence();
  std::vector<Item*> items = items_of(u, relation);
  size_t next = 0;
  uint64_t allocs = heap_alloc_count();
  for (auto _ : state) {
    benchmark::DoNotOptimize(f(items[next]));
    if (++next == items.size()) next = 0;
  }
  if (heap_alloc_count() != allocs) state.SkipWithError("allocated");
  utterance_delete(u);
}

// Baseline: one stored feature of the item itself, read through a path.
void BM_Baseline_PathName(benchmark::State& state) {
  run(state, "Segment", [](Item* i) { return feature_path_value(i, "name"); });
}
void BM_SegOnsetcoda(benchmark::State& state) { run(state, "Segment", seg_onsetcoda); }
void BM_SegOnsetcoda_Path(benchmark::State& state) {
  run(state, "Segment", [](Item* i) { return feature_path_value(i, "seg_onsetcoda"); });
}
void BM_SsylIn(benchmark::State& state) { run(state, "Syllable", ssyl_in); }
void BM_SsylIn_PathFromSegment(benchmark::State& state) {
  run(state, "Segment", [](Item* i) { return feature_path_value(i, "R:SylStructure.parent.ssyl_in"); });
}
void BM_PhVc(benchmark::State& state) { run(state, "Segment", ph_vc); }
void BM_SylBreak(benchmark::State& state) { run(state, "Syllable", syl_break); }

BENCHMARK(BM_Baseline_PathName);
BENCHMARK(BM_SegOnsetcoda);
BENCHMARK(BM_SegOnsetcoda_Path);
BENCHMARK(BM_SsylIn);
BENCHMARK(BM_SsylIn_PathFromSegment);
BENCHMARK(BM_PhVc);
BENCHMARK(BM_SylBreak);

}  // namespace

BENCHMARK_MAIN();
