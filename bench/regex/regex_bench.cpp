// Cost of asking whether a token has a stored pattern's form.
//
// The baseline is a hand-written scan that checks the same token for digits,
// dots and a decimal comma in one pass: the cheapest possible answer to a
// similar question.  Compare the regex figures with it as ratios.
#include <benchmark/benchmark.h>

#include <cstring>

#include "core/platform.h"
#include "lang_pt_br/token_patterns.h"

namespace {

const char kNumberToken[] = "-1.234.567,8";  // 12 characters
static_assert(sizeof kNumberToken == 13);

bool hand_scan(const char* s) {
  if (*s == '-' || *s == '+') ++s;
  bool digit = false;
  for (; *s; ++s) {
    char c = *s;
    if (c >= '0' && c <= '9')
      digit = true;
    else if (c != '.' && c != ',')
      return false;
  }
  return digit;
}

void BM_Baseline_HandScan(benchmark::State& state) {
  const char* token = kNumberToken;
  for (auto _ : state) {
    benchmark::DoNotOptimize(token);
    benchmark::DoNotOptimize(hand_scan(token));
  }
}
BENCHMARK(BM_Baseline_HandScan);

void run_pattern(benchmark::State& state, const Regex* regex, const char* token) {
  uint64_t before = heap_alloc_count();
  for (auto _ : state) {
    benchmark::DoNotOptimize(token);
    benchmark::DoNotOptimize(regex_matches(regex, token));
  }
  state.counters["allocs_per_call"] =
      benchmark::Counter(static_cast<double>(heap_alloc_count() - before) / static_cast<double>(state.iterations()));
}

void BM_NumberPattern_12Chars(benchmark::State& state) { run_pattern(state, &number_pattern, kNumberToken); }
BENCHMARK(BM_NumberPattern_12Chars);

void BM_NumberPattern_12Chars_NoMatch(benchmark::State& state) {
  run_pattern(state, &number_pattern, "-1.234.567,x");
}
BENCHMARK(BM_NumberPattern_12Chars_NoMatch);

void BM_DigitsPattern_12Chars(benchmark::State& state) { run_pattern(state, &digits_pattern, "123456789012"); }
BENCHMARK(BM_DigitsPattern_12Chars);

void BM_DateDmyPattern(benchmark::State& state) { run_pattern(state, &date_dmy_pattern, "25/12/2013"); }
BENCHMARK(BM_DateDmyPattern);

void BM_WordPattern_12Chars(benchmark::State& state) { run_pattern(state, &word_pattern, "guarda-chuva"); }
BENCHMARK(BM_WordPattern_12Chars);

void BM_RegexFind_NumberPattern(benchmark::State& state) {
  for (auto _ : state) {
    RegexMatch* m = regex_find(&number_pattern, kNumberToken);
    benchmark::DoNotOptimize(m);
    heap_free(m);
  }
}
BENCHMARK(BM_RegexFind_NumberPattern);

}  // namespace

BENCHMARK_MAIN();
