// Real-time factor of speaking a paragraph: the host engine by stage (front
// end, unit search, audio) on a synthetic voice with several instances of
// every diphone (argument 0) and on the recorded default voice when it was
// built (argument 1), and espeak-ng speaking the same paragraph through its
// library in the same run as the baseline.
//
// Counters: *_rtf are seconds of processing per second of speech (smaller is
// faster); speech_s is the length of the speech produced per iteration.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "host/search.h"
#include "host/synth.h"
#include "host/targets.h"
#include "host/text_io.h"
#include "host/voice_host.h"
#include "include/selvana/selvana.h"

#ifdef SELVANA_HAVE_ESPEAK_NG
#include <espeak-ng/speak_lib.h>
#endif

namespace {

const char* const kParagraph[] = {
    "O Brasil é o maior país da América do Sul e ocupa quase metade do continente.",
    "A língua oficial é o português, falado por mais de duzentos milhões de pessoas.",
    "Em 2024, a cidade de São Paulo tinha cerca de 11 milhões de habitantes.",
    "O rio Amazonas atravessa a floresta e deságua no oceano Atlântico.",
    "Você já visitou o Rio de Janeiro durante o carnaval?",
    "As praias, a música e a comida atraem turistas do mundo inteiro.",
};

using Clock = std::chrono::steady_clock;
double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

struct Engine {
  HostVoice host;
  SynthEngine engine;
  bool ready = false;
  std::string error;

  // The synthetic voice (written once into the temporary folder), or the
  // recorded default voice next to the tools when `recorded` is set.
  explicit Engine(bool recorded) {
    std::string dir = recorded ? std::string(SELVANA_BIN_DIR) + "/voices/default"
                               : std::filesystem::temp_directory_path().string() + "/selvana_say_bench_voice";
    std::string db = dir + "/vox_pt_br_selvana/2718093645/vox_pt_br_selvana22v";
    if (recorded && !std::filesystem::exists(db)) {
      error = "the default voice was not built";
      return;
    }
    if (!std::filesystem::exists(db)) {
      std::string cmd = std::string(SELVANA_BIN_DIR) + "/selvana-testvoice --instances 8 " + dir;
      if (std::system(cmd.c_str()) != 0) {
        error = "cannot write the benchmark voice";
        return;
      }
    }
    HostOptions options;
    options.voice = dir;
    options.module = std::string(SELVANA_BIN_DIR) + "/libvoice_pt_br_selvana.so";
    ready = host_voice_open(&host, options, &error) && synth_engine_open(&engine, host.voice, &error);
  }
  ~Engine() {
    if (host.voice) host_voice_close(&host);
  }
};

Engine& engine(bool recorded = false) {
  static Engine synthetic(false);
  static Engine real(true);
  return recorded ? real : synthetic;
}

// The search plan of one utterance in the synthesis state `st`, its targets
// filled and pointed at the database's texts as synthesis does.
SearchPlan* prepare_plan(Engine& e, Utterance* u, Value* st) {
  const int32_t n = targets_count(u);
  auto* targets =
      static_cast<SegmentTarget*>(synth_block(synth_state(st), static_cast<int32_t>(sizeof(SegmentTarget)) * n));
  targets_fill(u, targets, n);
  voicedb_share_texts(e.engine.db, targets, n);
  return search_prepare(synth_state(st), e.engine.voice, e.engine.graph_fn, e.engine.db, targets, n, e.engine.beam,
                        nullptr);
}

// state.range(0): 0 for the synthetic voice, 1 for the recorded default voice.
void BM_SelvanaSay(benchmark::State& state) {
  Engine& e = engine(state.range(0) == 1);
  if (!e.ready) {
    state.SkipWithError(e.error.c_str());
    return;
  }
  std::vector<std::vector<TextRun>> sentences;
  for (const char* s : kParagraph) sentences.push_back({{utf8_to_latin9(s, nullptr), {}}});
  double front = 0, search = 0, audio = 0, speech = 0;
  for (auto _ : state) {
    speech = 0;
    auto t0 = Clock::now();
    for (const auto& runs : sentences) {
      std::string error;
      auto a = Clock::now();
      Utterance* u = synth_front_end(e.engine, runs, nullptr, &error);
      auto b = Clock::now();
      front += seconds(a, b);
      Value* st = synth_state_new();
      SynthTimes times;
      synth_utterance(e.engine, st, u, nullptr, &error, &times);
      search += times.search;
      audio += times.audio;
      speech += static_cast<double>(synth_state(st)->wave->num_samples) / e.engine.db.sample_rate;
      benchmark::DoNotOptimize(synth_state(st)->wave->samples);
      value_release(st);
      utterance_delete(u);
    }
    state.SetIterationTime(seconds(t0, Clock::now()));
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["speech_s"] = speech;
  state.counters["front_end_rtf"] = front / n / speech;
  state.counters["search_rtf"] = search / n / speech;
  state.counters["audio_rtf"] = audio / n / speech;
  state.counters["total_rtf"] = (front + search + audio) / n / speech;
}
BENCHMARK(BM_SelvanaSay)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// The same paragraph through libselvana on the same voice: text in, audio
// out in chunks through the callback.  Against BM_SelvanaSay, the library's
// own cost (sentence cutting, offsets, events, chunking).
int library_audio(const int16_t* samples, size_t count, const selvana_event*, size_t, void*) {
  benchmark::DoNotOptimize(samples);
  benchmark::DoNotOptimize(count);
  return 0;
}

void BM_LibrarySay(benchmark::State& state) {
  Engine& e = engine(state.range(0) == 1);
  if (!e.ready) {
    state.SkipWithError(e.error.c_str());
    return;
  }
  static selvana_engine* lib[2] = {nullptr, nullptr};
  selvana_engine*& engine = lib[state.range(0) == 1];
  if (!engine) {
    std::string dir = state.range(0) == 1 ? std::string(SELVANA_BIN_DIR) + "/voices/default"
                                          : std::filesystem::temp_directory_path().string() + "/selvana_say_bench_voice";
    std::string module = std::string(SELVANA_BIN_DIR) + "/libvoice_pt_br_selvana.so";
    char message[256];
    if (selvana_open(dir.c_str(), module.c_str(), &engine, message, sizeof message) != SELVANA_OK) {
      state.SkipWithError(message);
      return;
    }
  }
  std::string text;
  for (const char* s : kParagraph) text += std::string(text.empty() ? "" : " ") + s;
  for (auto _ : state) {
    auto t0 = Clock::now();
    selvana_speak(engine, text.data(), text.size(), SELVANA_TEXT_PLAIN, library_audio, nullptr);
    state.SetIterationTime(seconds(t0, Clock::now()));
  }
}
BENCHMARK(BM_LibrarySay)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// The search alone on utterances made once: targets, graph, expansion and
// the Viterbi pass.
void BM_SelvanaSearchOnly(benchmark::State& state) {
  Engine& e = engine(state.range(0) == 1);
  if (!e.ready) {
    state.SkipWithError(e.error.c_str());
    return;
  }
  std::vector<Utterance*> utts;
  std::string error;
  for (const char* s : kParagraph) utts.push_back(synth_front_end(e.engine, {{utf8_to_latin9(s, nullptr), {}}}, nullptr, &error));
  int64_t options = 0;
  for (auto _ : state) {
    for (Utterance* u : utts) {
      Value* st = synth_state_new();
      SearchPlan* plan = prepare_plan(e, u, st);
      search_run(plan);
      options += plan->first[plan->positions];
      benchmark::DoNotOptimize(plan->cost);
      value_release(st);
    }
  }
  state.counters["options"] = benchmark::Counter(static_cast<double>(options), benchmark::Counter::kAvgIterations);
  for (Utterance* u : utts) utterance_delete(u);
}
BENCHMARK(BM_SelvanaSearchOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The target cost on the calls a search really makes: every option of the
// paragraph's diphones, the candidate's target blocks against the unit's
// blocks from the voice database, in search order.  BM_Baseline_TargetCall
// makes a trivial call on the same records in the same order.
struct TargetCalls {
  std::vector<const SegmentTarget*> targets;  // left, right per call
  std::vector<SegmentTarget> units;           // left, right per call
  std::vector<Value*> states;                 // keep the candidate graphs alive
  TargetCostFn fn = nullptr;
  double equal_context = 0;  // share of unit context phones equal to the target's

  explicit TargetCalls(Engine& e) {
    std::string error;
    int64_t same = 0, compared = 0;
    for (const char* s : kParagraph) {
      Utterance* u = synth_front_end(e.engine, {{utf8_to_latin9(s, nullptr), {}}}, nullptr, &error);
      Value* st = synth_state_new();
      states.push_back(st);
      SearchPlan* plan = prepare_plan(e, u, st);
      fn = plan->target_cost;
      for (int32_t k = 0; k < plan->first[plan->positions]; ++k) {
        const SearchOption& o = plan->options[k];
        if (!o.candidate) continue;
        SegmentTarget l, r;
        voicedb_unit_block(e.engine.db, o.instance, 0, &l);
        voicedb_unit_block(e.engine.db, o.instance, 1, &r);
        targets.push_back(&o.candidate->left);
        targets.push_back(&o.candidate->right);
        units.push_back(l);
        units.push_back(r);
        for (const auto& [a, b] : {std::pair{&o.candidate->left, &l}, std::pair{&o.candidate->right, &r}})
          for (auto m : {&SegmentTarget::pp_name, &SegmentTarget::p_name, &SegmentTarget::n_name, &SegmentTarget::nn_name}) {
            same += std::strcmp(a->*m, b->*m) == 0;
            ++compared;
          }
      }
      utterance_delete(u);
    }
    equal_context = compared ? static_cast<double>(same) / static_cast<double>(compared) : 0;
  }
  ~TargetCalls() {
    for (Value* st : states) value_release(st);
  }
};

__attribute__((noinline)) uint32_t trivial_target(const SegmentTarget* a, const SegmentTarget* b,
                                                  const SegmentTarget* c, const SegmentTarget* d) {
  return a->pos1 + b->pos2 + c->pos3 + d->mark;
}

void run_target_calls(benchmark::State& state, bool baseline) {
  Engine& e = engine(state.range(0) == 1);
  if (!e.ready) {
    state.SkipWithError(e.error.c_str());
    return;
  }
  static TargetCalls* calls[2] = {nullptr, nullptr};
  TargetCalls*& c = calls[state.range(0) == 1];
  if (!c) c = new TargetCalls(e);
  TargetCostFn fn = baseline ? trivial_target : c->fn;
  benchmark::DoNotOptimize(fn);
  const size_t n = c->units.size() / 2;
  size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(fn(c->targets[2 * k], c->targets[2 * k + 1], &c->units[2 * k], &c->units[2 * k + 1]));
    if (++k == n) k = 0;
  }
  state.counters["calls"] = static_cast<double>(n);
  state.counters["equal_context"] = c->equal_context;
  state.SetItemsProcessed(state.iterations());
}

void BM_Baseline_TargetCall(benchmark::State& state) { run_target_calls(state, true); }
void BM_TargetCostOnVoice(benchmark::State& state) { run_target_calls(state, false); }
BENCHMARK(BM_Baseline_TargetCall)->Arg(0)->Arg(1);
BENCHMARK(BM_TargetCostOnVoice)->Arg(0)->Arg(1);

#ifdef SELVANA_HAVE_ESPEAK_NG
int64_t g_espeak_samples = 0;

int count_samples(short*, int n, espeak_EVENT*) {
  g_espeak_samples += n;
  return 0;
}

void BM_EspeakNg(benchmark::State& state) {
  static const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, 0);
  if (rate <= 0 || espeak_SetVoiceByName("pt-br") != EE_OK) {
    state.SkipWithError("espeak-ng has no pt-br voice");
    return;
  }
  espeak_SetSynthCallback(count_samples);
  double speech = 0, total = 0;
  for (auto _ : state) {
    g_espeak_samples = 0;
    auto t0 = Clock::now();
    for (const char* s : kParagraph) {
      espeak_Synth(s, strlen(s) + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
      espeak_Synchronize();
    }
    double t = seconds(t0, Clock::now());
    total += t;
    state.SetIterationTime(t);
    speech = static_cast<double>(g_espeak_samples) / rate;
  }
  state.counters["speech_s"] = speech;
  state.counters["total_rtf"] = speech > 0 ? total / static_cast<double>(state.iterations()) / speech : 0;
}
BENCHMARK(BM_EspeakNg)->UseManualTime()->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
