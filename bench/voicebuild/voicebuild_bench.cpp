// The voice builder's costs beside their baselines:
//   EdgeAnalysis    one join edge (F0, levels, zero crossings, 16 bands)
//   WindowRms       baseline: the RMS of the same 20 ms window only
//   AddRecording    a recording's front end, label check, edges and units
//   FrontEndOnly    baseline: the front end on the same text
// Compare the pairs' times; the ratios are what matter.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <string>
#include <unistd.h>

#include "core/item.h"
#include "tools/voicebuild/builder.h"

namespace {

constexpr uint32_t kRate = 22050;
const char kText[] = "O governo anunciou nesta segunda-feira um novo pacote de medidas.";

std::vector<int16_t> voiced_signal(size_t n) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> noise(-200, 200);
  std::vector<int16_t> s(n);
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / kRate;
    s[i] = static_cast<int16_t>(4000 * std::sin(2 * M_PI * 210 * t) + 1500 * std::sin(2 * M_PI * 630 * t) +
                                noise(rng));
  }
  return s;
}

void EdgeAnalysis(benchmark::State& state) {
  const std::vector<int16_t> s = voiced_signal(kRate);
  EdgeAnalyzer analyzer(kRate);
  size_t at = 1000;
  for (auto _ : state) {
    benchmark::DoNotOptimize(analyzer.analyse(s, at));
    at = at + 997 < s.size() - 1000 ? at + 997 : 1000;
  }
}
BENCHMARK(EdgeAnalysis);

void WindowRms(benchmark::State& state) {
  const std::vector<int16_t> s = voiced_signal(kRate);
  const size_t half = kRate / 100;
  size_t at = 1000;
  for (auto _ : state) {
    double sum = 0;
    for (size_t i = at - half; i < at + half; ++i) sum += static_cast<double>(s[i]) * s[i];
    benchmark::DoNotOptimize(std::sqrt(sum / (2.0 * half)));
    at = at + 997 < s.size() - 1000 ? at + 997 : 1000;
  }
}
BENCHMARK(WindowRms);

// The front end and a synthetic recording of kText labelled with the front
// end's own durations, made once.
struct Material {
  Material() {
    char dir[] = "/tmp/voicebuild_bench.XXXXXX";
    std::string error;
    if (!mkdtemp(dir) || !front_end.open(std::string(SELVANA_BIN_DIR) + "/libvoice_pt_br_selvana.so", dir, &error))
      return;
    Utterance* u = front_end.utterance(kText, &error);
    if (!u) return;
    double start = 0;
    for (const Item* s = utterance_relation(u, "Segment")->head; s; s = item_next(s)) {
      const double end = item_feature_float(s, "end");
      labels.push_back({start, end, value_string(item_feature(s, "name"))});
      start = end;
    }
    utterance_delete(u);
    recording.sample_rate = kRate;
    recording.samples = voiced_signal(static_cast<size_t>(start * kRate) + 1);
    ok = true;
  }
  FrontEnd front_end;
  std::vector<PhoneLabel> labels;
  Recording recording;
  bool ok = false;
};

Material& material() {
  static Material m;
  return m;
}

void AddRecording(benchmark::State& state) {
  Material& m = material();
  if (!m.ok) {
    state.SkipWithError("the voice module did not load");
    return;
  }
  std::string reason;
  for (auto _ : state) {
    VoiceBuilder builder(m.front_end);
    benchmark::DoNotOptimize(builder.add_recording(kText, m.labels, m.recording, &reason));
  }
}
BENCHMARK(AddRecording)->Unit(benchmark::kMillisecond);

void FrontEndOnly(benchmark::State& state) {
  Material& m = material();
  if (!m.ok) {
    state.SkipWithError("the voice module did not load");
    return;
  }
  std::string error;
  for (auto _ : state) utterance_delete(m.front_end.utterance(kText, &error));
}
BENCHMARK(FrontEndOnly)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
