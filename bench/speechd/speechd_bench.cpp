// sd_selvana driven as speech-dispatcher drives an output module, beside
// Debian's sd_espeak-ng driven the same way in the same run (argument 0:
// sd_selvana with the default voice, or the synthetic one when the default
// voice was not built; argument 1: sd_espeak-ng).
//
//   BM_FirstAudio   time from the end of SPEAK's text to the first AUDIO
//                   event, for a paragraph of six sentences.
// Texts are SSML as speech-dispatcher sends it, a mark after every sentence.
//   BM_StopSilence  the module is held on a full pipe in the middle of a long
//                   text and told to STOP: counter audio_after_stop_ms is the
//                   audio it still sends after reading STOP, stop_to_event_ms
//                   the time until its STOP (or END) event.
//   BM_PeakMemory   a fresh module reads 1,000 and 10,000 words to the end;
//                   counters peak_1k_kB, peak_10k_kB (VmHWM) and their ratio.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "speechd/module_client.h"

namespace {

using Clock = std::chrono::steady_clock;
using speechd::ModuleClient;
using speechd::ModuleMessage;

const char* const kParagraph =
    "O Brasil é o maior país da América do Sul e ocupa quase metade do continente. "
    "A língua oficial é o português, falado por mais de duzentos milhões de pessoas. "
    "Em 2024, a cidade de São Paulo tinha cerca de 11 milhões de habitantes. "
    "O rio Amazonas atravessa a floresta e deságua no oceano Atlântico. "
    "Você já visitou o Rio de Janeiro durante o carnaval? "
    "As praias, a música e a comida atraem turistas do mundo inteiro.";

const char* const kEspeakModule = "/usr/lib/speech-dispatcher-modules/sd_espeak-ng";
const char* const kEspeakConfig = "/etc/speech-dispatcher/modules/espeak-ng.conf";

// The settings speech-dispatcher sends before every message.
const char* const kSettings =
    "SET\npitch=0\npitch_range=0\nrate=0\nvolume=100\npunctuation_mode=none\nspelling_mode=off\n"
    "cap_let_recogn=none\nvoice=female1\nlanguage=pt-BR\nsynthesis_voice=NULL\n.\n";

// `n` words of the paragraph as speech-dispatcher sends them: SSML with a
// mark glued to the end of every sentence.
std::string words(size_t n) {
  std::istringstream in(kParagraph);
  std::vector<std::string> all;
  for (std::string w; in >> w;) all.push_back(w);
  std::string out = "<speak>";
  for (size_t i = 0, marks = 0; i < n; ++i) {
    const std::string& w = all[i % all.size()];
    out += w;
    if (w.back() == '.' || w.back() == '?' || w.back() == '!')
      out += "<mark name=\"__spd_" + std::to_string(marks++) + "\"/>";
    out += i + 1 < n ? " " : "</speak>";
  }
  return out;
}

// A module past INIT and AUDIO, or an error.
struct Module {
  ModuleClient client;
  std::string error;

  explicit Module(int which) {
    std::vector<std::string> argv;
    std::vector<std::string> env;
    if (which == 0) {
      const std::string bin = SELVANA_BIN_DIR;
      argv = {bin + "/sd_selvana"};
      bool recorded = std::filesystem::exists(bin + "/voices/default");
      env = {"SELVANA_VOICE_DIR=" + bin + (recorded ? "/voices/default" : "/voices/tones")};
    } else {
      if (!std::filesystem::exists(kEspeakModule)) {
        error = "sd_espeak-ng is not installed";
        return;
      }
      argv = {kEspeakModule, kEspeakConfig};
    }
    if (!client.start(argv, env, "/dev/null", &error)) return;
    client.send("INIT\nAUDIO\naudio_output_method=server\n.\n");
    int init = client.read(30000).code;
    int ack = client.read(5000).code, done = client.read(5000).code;
    if (init != 299 || ack != 207 || done != 203) error = "the module did not start";
  }

  // Settings, then SPEAK with `text`; returns the time the text was sent.
  Clock::time_point speak(const std::string& text) {
    client.send(kSettings);
    client.read(5000);
    client.read(5000);
    client.send("SPEAK\n");
    client.read(5000);
    Clock::time_point sent = Clock::now();
    client.send(text + "\n.\n");
    return sent;
  }

  // Messages until the end of the spoken message; the audio samples in those
  // that start at or after `from` bytes into the output.
  size_t drain(uint64_t from = 0) {
    size_t n = 0;
    for (;;) {
      ModuleMessage m = client.read(60000);
      if (m.code == 705 && m.offset >= from) n += m.audio.size();
      if (m.code <= 0 || m.code == 702 || m.code == 703 || m.code == 704) return n;
    }
  }
};

void label(benchmark::State& state) {
  if (state.range(0) == 1) {
    state.SetLabel("sd_espeak-ng");
  } else {
    bool recorded = std::filesystem::exists(std::string(SELVANA_BIN_DIR) + "/voices/default");
    state.SetLabel(recorded ? "sd_selvana, default voice" : "sd_selvana, synthetic voice");
  }
}

void BM_FirstAudio(benchmark::State& state) {
  Module m(static_cast<int>(state.range(0)));
  if (!m.error.empty()) return state.SkipWithError(m.error.c_str());
  const std::string paragraph = words(77);  // the six sentences
  for (auto _ : state) {
    Clock::time_point sent = m.speak(paragraph);
    ModuleMessage r;
    do r = m.client.read(10000);
    while (r.code > 0 && r.code != 705);
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - sent).count());
    m.client.send("STOP\n");
    m.drain();
  }
  label(state);
}
BENCHMARK(BM_FirstAudio)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_StopSilence(benchmark::State& state) {
  Module m(static_cast<int>(state.range(0)));
  if (!m.error.empty()) return state.SkipWithError(m.error.c_str());
  double after_ms = 0, to_event_ms = 0;
  int rate = 0;
  for (auto _ : state) {
    m.speak(words(3000));
    ModuleMessage r;
    do r = m.client.read(10000);
    while (r.code > 0 && r.code != 705);
    rate = r.sample_rate;
    // Held on a full pipe: nothing more arrives.
    for (size_t last = 0; last != m.client.pending_bytes() || last == 0;) {
      last = m.client.pending_bytes();
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    uint64_t at_stop = m.client.bytes_received() + m.client.pending_bytes();
    Clock::time_point stop = Clock::now();
    m.client.send("STOP\n");
    after_ms += 1000.0 * static_cast<double>(m.drain(at_stop)) / rate;
    to_event_ms += std::chrono::duration<double, std::milli>(Clock::now() - stop).count();
  }
  state.counters["audio_after_stop_ms"] = after_ms / static_cast<double>(state.iterations());
  state.counters["stop_to_event_ms"] = to_event_ms / static_cast<double>(state.iterations());
  label(state);
}
BENCHMARK(BM_StopSilence)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(10);

// The module's peak resident memory after reading `n` words to the end.
double peak_kb(int which, size_t n, std::string* error) {
  Module m(which);
  if (!m.error.empty()) {
    *error = m.error;
    return 0;
  }
  m.speak(words(n));
  m.drain();
  std::ifstream status("/proc/" + std::to_string(m.client.pid()) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.starts_with("VmHWM:")) return std::stod(line.substr(6));
  *error = "no VmHWM";
  return 0;
}

void BM_PeakMemory(benchmark::State& state) {
  std::string error;
  double small = 0, large = 0;
  for (auto _ : state) {
    small = peak_kb(static_cast<int>(state.range(0)), 1000, &error);
    large = peak_kb(static_cast<int>(state.range(0)), 10000, &error);
  }
  if (!error.empty()) return state.SkipWithError(error.c_str());
  state.counters["peak_1k_kB"] = small;
  state.counters["peak_10k_kB"] = large;
  state.counters["ratio_10k_1k"] = large / small;
  label(state);
}
BENCHMARK(BM_PeakMemory)->Arg(0)->Arg(1)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
