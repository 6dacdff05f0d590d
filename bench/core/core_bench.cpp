// Feature paths and feature-list lookups on a built utterance.
#include <benchmark/benchmark.h>

#include "core/features.h"
#include "core/path.h"
#include "tests/support/build_utt.h"

namespace {

void BM_FeaturePathWordName(benchmark::State& state) {
  Utterance* u = testutt::build({{"BB",
                                  {{"casa", {{1, {"k", "a"}}, {0, {"z", "a"}}}},
                                   {"amarela", {{0, {"a"}}, {0, {"m", "a"}}, {1, {"r", "eh"}}, {0, {"l", "a"}}}}}}});
  Item* seg = testutt::nth(u, "Segment", 7);  // "r"
  for (auto _ : state) benchmark::DoNotOptimize(feature_path_value(seg, "R:SylStructure.parent.parent.name"));
  utterance_delete(u);
}
BENCHMARK(BM_FeaturePathWordName);

void BM_FeaturesGet30(benchmark::State& state) {
  static const char* kNames[30] = {"f0",  "f1",  "f2",  "f3",  "f4",  "f5",  "f6",  "f7",  "f8",  "f9",
                                   "f10", "f11", "f12", "f13", "f14", "f15", "f16", "f17", "f18", "f19",
                                   "f20", "f21", "f22", "f23", "f24", "f25", "f26", "f27", "f28", "f29"};
  Features* f = features_new();
  for (const char* n : kNames) features_set_int(f, n, 1);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(features_get(f, kNames[i]));
    i = i == 29 ? 0 : i + 1;  // every position of the list in turn
  }
  features_free(f);
}
BENCHMARK(BM_FeaturesGet30);

}  // namespace

BENCHMARK_MAIN();
