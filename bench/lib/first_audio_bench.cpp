// Time to the first audio through libselvana: a 12-word sentence opening a
// long paragraph, against the whole paragraph, and espeak-ng's time to its
// first callback with samples (synchronous mode) and to the end of the same
// paragraph, in the same run.
//
// Argument 0: the synthetic voice with 8 instances of every diphone;
// argument 1: the recorded default voice, when it was built.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "include/selvana/selvana.h"

#ifdef SELVANA_HAVE_ESPEAK_NG
#include <espeak-ng/speak_lib.h>
#endif

namespace {

// The first sentence has 12 words.
const char kParagraph[] =
    "A menina comprou pão fresco na padaria da esquina hoje cedo. "
    "O Brasil é o maior país da América do Sul e ocupa quase metade do continente. "
    "A língua oficial é o português, falado por mais de duzentos milhões de pessoas. "
    "Em 2024, a cidade de São Paulo tinha cerca de 11 milhões de habitantes. "
    "O rio Amazonas atravessa a floresta e deságua no oceano Atlântico. "
    "Você já visitou o Rio de Janeiro durante o carnaval? "
    "As praias, a música e a comida atraem turistas do mundo inteiro. "
    "No inverno, as serras do Sul recebem visitantes que procuram o frio. "
    "Os trens e os ônibus ligam as cidades do interior às capitais. "
    "A feira de domingo vende frutas, verduras, queijos e flores.";

using Clock = std::chrono::steady_clock;

selvana_engine* engine(bool recorded) {
  static selvana_engine* engines[2] = {nullptr, nullptr};
  static bool tried[2] = {false, false};
  if (tried[recorded]) return engines[recorded];
  tried[recorded] = true;
  std::string dir = recorded ? std::string(SELVANA_BIN_DIR) + "/voices/default"
                             : std::filesystem::temp_directory_path().string() + "/selvana_say_bench_voice";
  if (!recorded && !std::filesystem::exists(dir + "/vox_pt_br_selvana")) {
    std::string cmd = std::string(SELVANA_BIN_DIR) + "/selvana-testvoice --instances 8 " + dir;
    if (std::system(cmd.c_str()) != 0) return nullptr;
  }
  if (!std::filesystem::exists(dir + "/vox_pt_br_selvana")) return nullptr;
  char message[256];
  std::string module = std::string(SELVANA_BIN_DIR) + "/libvoice_pt_br_selvana.so";
  if (selvana_open(dir.c_str(), module.c_str(), &engines[recorded], message, sizeof message) != SELVANA_OK)
    engines[recorded] = nullptr;
  return engines[recorded];
}

struct Timing {
  Clock::time_point start, first;
  bool got = false;
  bool stop_at_first = false;
  uint64_t samples = 0;
};

int on_audio(const int16_t*, size_t count, const selvana_event*, size_t, void* data) {
  auto* t = static_cast<Timing*>(data);
  t->samples += count;
  if (count && !t->got) {
    t->got = true;
    t->first = Clock::now();
    if (t->stop_at_first) return 1;
  }
  return 0;
}

void run_selvana(benchmark::State& state, bool first_only) {
  selvana_engine* e = engine(state.range(0) == 1);
  if (!e) {
    state.SkipWithError("the voice is not available");
    return;
  }
  double speech = 0;
  for (auto _ : state) {
    Timing t;
    t.stop_at_first = first_only;
    t.start = Clock::now();
    selvana_speak(e, kParagraph, sizeof kParagraph - 1, SELVANA_TEXT_PLAIN, on_audio, &t);
    const auto end = first_only ? t.first : Clock::now();
    state.SetIterationTime(std::chrono::duration<double>(end - t.start).count());
    speech = static_cast<double>(t.samples) / selvana_sample_rate(e);
  }
  if (!first_only) state.counters["speech_s"] = speech;
}

void BM_SelvanaFirstChunk(benchmark::State& state) { run_selvana(state, true); }
void BM_SelvanaWholeParagraph(benchmark::State& state) { run_selvana(state, false); }
BENCHMARK(BM_SelvanaFirstChunk)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelvanaWholeParagraph)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);

#ifdef SELVANA_HAVE_ESPEAK_NG
Timing* g_espeak = nullptr;

int espeak_audio(short*, int n, espeak_EVENT*) {
  Timing* t = g_espeak;
  t->samples += static_cast<uint64_t>(n > 0 ? n : 0);
  if (n > 0 && !t->got) {
    t->got = true;
    t->first = Clock::now();
    if (t->stop_at_first) return 1;
  }
  return 0;
}

void run_espeak(benchmark::State& state, bool first_only) {
  static const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, 0);
  if (rate <= 0 || espeak_SetVoiceByName("pt-br") != EE_OK) {
    state.SkipWithError("espeak-ng has no pt-br voice");
    return;
  }
  espeak_SetSynthCallback(espeak_audio);
  for (auto _ : state) {
    Timing t;
    t.stop_at_first = first_only;
    g_espeak = &t;
    t.start = Clock::now();
    espeak_Synth(kParagraph, sizeof kParagraph, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
    const auto end = first_only ? t.first : Clock::now();
    state.SetIterationTime(std::chrono::duration<double>(end - t.start).count());
  }
}

void BM_EspeakFirstCallback(benchmark::State& state) { run_espeak(state, true); }
void BM_EspeakWholeParagraph(benchmark::State& state) { run_espeak(state, false); }
BENCHMARK(BM_EspeakFirstCallback)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EspeakWholeParagraph)->UseManualTime()->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
