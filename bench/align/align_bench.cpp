// The phone aligner on recordings whose phone times are known.
//
// The recordings are the project's recording script spoken by espeak-ng in
// voice variants and at speaking rates that differ from the aligner's
// reference (plain "pt-br", rate matched to the recording), with pauses of
// random length between phrases and a little noise; the true phone times
// come from espeak-ng's events and are kept apart from the aligner.
//   Accuracy/<set>   boundary errors: median, 90th percentile, share within
//                    25 ms, phones of zero length, recordings kept; recordings
//                    of a wrong text and cut short that were left out
//                    (*_unrefined: the warping alone, as a baseline)
//   AlignSentence    aligning one held-out recording (reference rendering
//                    included); x_realtime = recording seconds per CPU second
//   EspeakSentence   baseline: espeak-ng speaking the same sentence once, with
//                    x_realtime counted on the same recording seconds
//   VoiceQuality     the corpus through the search of a voice built from the
//                    known labels and of one built from the aligned labels
//                    (the held-out set's recordings that the aligner kept):
//                    spectral jump and pitch step at the joins, fallbacks,
//                    the voice's own join cost and the joins it had to force;
//                    *_pct = aligned as a percentage of known
// Set SELVANA_ALIGN_SENTENCES to use only the first N sentences of the script.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <unistd.h>

#include "core/item.h"
#include "host/search.h"
#include "host/synth.h"
#include "host/targets.h"
#include "host/text_io.h"
#include "host/voice_host.h"
#include "tools/dbwriter.h"
#include "tools/voicebuild/align_text.h"
#include "tools/voicebuild/builder.h"
#include "tools/voicedb.h"

namespace {

const std::string kModule = std::string(SELVANA_BIN_DIR) + "/libvoice_pt_br_selvana.so";
const std::string kScript = std::string(SELVANA_SOURCE_DIR) + "/tools/voicebuild/script_pt_br.txt";
const std::string kCorpus = std::string(SELVANA_SOURCE_DIR) + "/tools/voicebuild/corpus_pt_br.txt";

struct TestRecording {
  std::string text;  // UTF-8
  SpokenSentence truth;
};

struct TestSet {
  const char* name;
  const char* voice;
  int rate;
};

// The development set (the aligner's constants were chosen on it), held-out
// sets and one that no choice was ever measured on.
const TestSet kSets[] = {{"dev_m3_210", "pt-br+m3", 210},
                         {"heldout_f3_140", "pt-br+f3", 140},
                         {"heldout_f4_230", "pt-br+f4", 230},
                         {"unseen_f5_125", "pt-br+f5", 125}};

std::vector<std::string> read_lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> out;
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') out.push_back(line);
  return out;
}

struct Material {
  std::string scratch;
  FrontEnd front_end;
  std::vector<std::string> sentences;
  std::map<std::string, std::vector<TestRecording>> sets;
  std::string error;

  Material() {
    scratch = std::filesystem::temp_directory_path().string() + "/selvana_align_bench." + std::to_string(getpid());
    if (!front_end.open(kModule, scratch + "/fe", &error)) return;
    sentences = read_lines(kScript);
    if (const char* n = getenv("SELVANA_ALIGN_SENTENCES")) sentences.resize(std::min<size_t>(sentences.size(), atoi(n)));
    EspeakSpeaker speaker;
    std::mt19937 rng(22);
    std::uniform_real_distribution<double> lead(0.15, 0.6), pause(0.08, 0.4);
    std::normal_distribution<double> noise(0.0, 12.0);  // about -68 dB below full scale
    for (const TestSet& set : kSets) {
      if (!speaker.open(set.voice, &error)) return;
      speaker.set_rate(set.rate);
      std::vector<TestRecording>& out = sets[set.name];
      for (const std::string& s : sentences) {
        TestRecording r;
        r.text = s;
        std::vector<double> pauses(8);
        for (double& p : pauses) p = pause(rng);
        std::string why;
        if (!speaker.speak(front_end, utf8_to_latin9(s, nullptr), lead(rng), pauses, 0.3, &r.truth, &why)) continue;
        for (int16_t& v : r.truth.audio.samples)
          v = static_cast<int16_t>(std::clamp(std::lround(v + noise(rng)), -32768L, 32767L));
        out.push_back(std::move(r));
      }
    }
  }
  ~Material() {
    std::error_code ec;
    std::filesystem::remove_all(scratch, ec);
  }
};

Material& material() {
  static Material m;
  return m;
}

struct Aligned {
  std::vector<AlignResult> results;
  double seconds_audio = 0;
};

Aligned align_set(const std::vector<TestRecording>& set, std::string* error, const AlignSettings& settings = {}) {
  Aligned out;
  TextAligner aligner;
  if (!aligner.open(&material().front_end, "pt-br", error)) return out;
  for (const TestRecording& r : set) {
    out.results.push_back(aligner.align(r.text, r.truth.audio, settings));
    out.seconds_audio += static_cast<double>(r.truth.audio.samples.size()) / r.truth.audio.sample_rate;
  }
  return out;
}

std::string phone_kind(const std::string& p) {
  static const std::set<std::string> stops = {"p", "t", "k", "b", "d", "g", "ch", "jh"};
  static const std::set<std::string> vowels = {"a", "e", "i", "o", "u", "eh", "oh", "an", "en", "in", "on", "un"};
  return p == "pau" ? "pause" : stops.count(p) ? "stop" : vowels.count(p) ? "vowel" : "consonant";
}

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

void Accuracy(benchmark::State& state, const char* set_name, bool refine) {
  Material& m = material();
  if (!m.error.empty()) {
    state.SkipWithError(m.error.c_str());
    return;
  }
  const std::vector<TestRecording>& set = m.sets[set_name];
  Aligned a;
  std::string error;
  AlignSettings settings;
  settings.refine = refine;
  for (auto _ : state) a = align_set(set, &error, settings);
  if (!error.empty()) {
    state.SkipWithError(error.c_str());
    return;
  }
  std::vector<double> errors, speech_errors;
  std::map<std::string, std::vector<double>> by_kind;
  size_t kept = 0, zero = 0;
  for (size_t i = 0; i < set.size(); ++i) {
    const AlignResult& r = a.results[i];
    if (!r.ok) {
      fprintf(stderr, "%s: %s left out: %s\n", set_name, set[i].text.c_str(), r.problem.c_str());
      continue;
    }
    ++kept;
    const std::vector<PhoneLabel>& truth = set[i].truth.labels;
    for (size_t k = 0; k < r.labels.size(); ++k) {
      zero += r.labels[k].end <= r.labels[k].start;
      if (k + 1 == r.labels.size()) break;
      const double e = 1000 * std::abs(r.labels[k].end - truth[k].end);
      errors.push_back(e);
      by_kind[phone_kind(truth[k].phone) + "-" + phone_kind(truth[k + 1].phone)].push_back(e);
      if (truth[k].phone != "pau" && truth[k + 1].phone != "pau") speech_errors.push_back(e);
    }
  }
  size_t within = 0;
  for (double e : errors) within += e <= 25.0;
  if (getenv("SELVANA_ALIGN_SCORES"))
    for (const auto& [kind, e] : by_kind)
      fprintf(stderr, "%s %-16s %5zu boundaries, median %5.1f ms, 90%% %5.1f ms\n", set_name, kind.c_str(), e.size(),
              percentile(e, 0.5), percentile(e, 0.9));
  // The same recordings with a wrong text (the next one's) and cut short.
  {
    TextAligner aligner;
    aligner.open(&m.front_end, "pt-br", &error);
    std::vector<double> good, wrong, cut, good_w, wrong_w, cut_w;
    size_t wrong_out = 0, cut_out = 0;
    for (size_t i = 0; i < set.size(); ++i) {
      good.push_back(a.results[i].confidence);
      good_w.push_back(a.results[i].worst_confidence);
      AlignResult w = aligner.align(set[(i + 1) % set.size()].text, set[i].truth.audio, AlignSettings{});
      wrong.push_back(w.confidence);
      wrong_w.push_back(w.worst_confidence);
      wrong_out += !w.ok;
      Recording shorter = set[i].truth.audio;
      shorter.samples.resize(shorter.samples.size() * 2 / 3);
      AlignResult c = aligner.align(set[i].text, shorter, AlignSettings{});
      cut.push_back(c.confidence);
      cut_w.push_back(c.worst_confidence);
      cut_out += !c.ok;
    }
    state.counters["wrong_text_left_out"] = static_cast<double>(wrong_out);
    state.counters["cut_short_left_out"] = static_cast<double>(cut_out);
    // The confidences' spread, for choosing the threshold.
    if (getenv("SELVANA_ALIGN_SCORES"))
      fprintf(stderr, "%s confidence good min %.1f p10 %.1f | wrong max %.1f p90 %.1f | cut max %.1f p90 %.1f\n"
              "   worst region good min %.1f p10 %.1f | wrong max %.1f p90 %.1f | cut max %.1f p90 %.1f\n", set_name,
              percentile(good, 0), percentile(good, 0.1), percentile(wrong, 0.999), percentile(wrong, 0.9),
              percentile(cut, 0.999), percentile(cut, 0.9), percentile(good_w, 0), percentile(good_w, 0.1),
              percentile(wrong_w, 0.999), percentile(wrong_w, 0.9), percentile(cut_w, 0.999), percentile(cut_w, 0.9));
  }
  state.counters["recordings"] = static_cast<double>(set.size());
  state.counters["kept"] = static_cast<double>(kept);
  state.counters["boundaries"] = static_cast<double>(errors.size());
  state.counters["median_ms"] = percentile(errors, 0.5);
  state.counters["p90_ms"] = percentile(errors, 0.9);
  state.counters["within25_pct"] = errors.empty() ? 0 : 100.0 * within / static_cast<double>(errors.size());
  state.counters["speech_median_ms"] = percentile(speech_errors, 0.5);
  state.counters["zero_length"] = static_cast<double>(zero);
  state.counters["x_realtime"] = benchmark::Counter(a.seconds_audio, benchmark::Counter::kIsRate);
}
BENCHMARK_CAPTURE(Accuracy, dev_m3_210, "dev_m3_210", true)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(Accuracy, heldout_f3_140, "heldout_f3_140", true)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(Accuracy, heldout_f4_230, "heldout_f4_230", true)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(Accuracy, unseen_f5_125, "unseen_f5_125", true)->Iterations(1)->Unit(benchmark::kSecond);
// Baseline: the warping alone, boundaries not moved to the change nearby.
BENCHMARK_CAPTURE(Accuracy, heldout_f3_140_unrefined, "heldout_f3_140", false)->Iterations(1)->Unit(benchmark::kSecond);

// Aligning the held-out recordings one at a time, and espeak-ng speaking
// their sentences (what the aligner does once or twice per recording).
void AlignSentence(benchmark::State& state) {
  Material& m = material();
  const std::vector<TestRecording>& set = m.sets["heldout_f3_140"];
  TextAligner aligner;
  std::string error = m.error;
  if (error.empty() && (set.empty() || !aligner.open(&m.front_end, "pt-br", &error))) error = "no material: " + error;
  if (!error.empty()) {
    state.SkipWithError(error.c_str());
    return;
  }
  size_t i = 0;
  double seconds = 0;
  for (auto _ : state) {
    const TestRecording& r = set[i++ % set.size()];
    benchmark::DoNotOptimize(aligner.align(r.text, r.truth.audio, AlignSettings{}));
    seconds += static_cast<double>(r.truth.audio.samples.size()) / r.truth.audio.sample_rate;
  }
  state.counters["x_realtime"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
}
BENCHMARK(AlignSentence)->Unit(benchmark::kMillisecond);

void EspeakSentence(benchmark::State& state) {
  Material& m = material();
  const std::vector<TestRecording>& set = m.sets["heldout_f3_140"];
  EspeakSpeaker speaker;
  std::string error = m.error;
  if (error.empty() && (set.empty() || !speaker.open("pt-br", &error))) error = "no material: " + error;
  if (!error.empty()) {
    state.SkipWithError(error.c_str());
    return;
  }
  size_t i = 0;
  double seconds = 0;
  SpokenSentence out;
  for (auto _ : state) {
    const TestRecording& r = set[i++ % set.size()];
    std::string why;
    speaker.speak(m.front_end, utf8_to_latin9(r.text, nullptr), 0.1, {}, 0.1, &out, &why);
    seconds += static_cast<double>(r.truth.audio.samples.size()) / r.truth.audio.sample_rate;
  }
  state.counters["x_realtime"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
}
BENCHMARK(EspeakSentence)->Unit(benchmark::kMillisecond);

// Join figures of a voice over the corpus.
struct JoinFigures {
  double spectral_jump = 0;  // mean |band difference| in dB over the joins
  double pitch_step = 0;     // mean |F0 difference| in semitones over voiced joins
  double fallbacks = 0;      // substitutions and silences
  double joins = 0;          // joins between units that were not neighbours
  double join_cost = 0;      // mean join cost of the voice's join function, forced joins left out
  double forced = 0;         // joins made at the refusal price
};

bool voice_figures(const std::string& voxdir, const std::vector<std::string>& corpus, JoinFigures* f,
                   std::string* error) {
  HostVoice host;
  HostOptions options;
  options.module = kModule;
  options.voice = voxdir;
  if (!host_voice_open(&host, options, error)) return false;
  SynthEngine engine;
  if (!synth_engine_open(&engine, host.voice, error)) {
    host_voice_close(&host);
    return false;
  }
  double spectral = 0, pitch = 0, voiced = 0, join_cost = 0, counted = 0;
  for (const std::string& line : corpus) {
    Utterance* u = synth_front_end(engine, {TextRun{utf8_to_latin9(line, nullptr), {}}}, nullptr, error);
    if (!u) continue;
    const int32_t count = targets_count(u);
    if (count < 2) {
      utterance_delete(u);
      continue;
    }
    Value* state = synth_state_new();
    std::vector<SegmentTarget> targets(static_cast<size_t>(count));
    targets_fill(u, targets.data(), count);
    std::vector<std::string> notes;
    SearchPlan* plan = search_prepare(synth_state(state), host.voice, engine.graph_fn, engine.db, targets.data(), count,
                                      engine.beam, &notes);
    search_run(plan);
    f->fallbacks += static_cast<double>(notes.size());
    for (int32_t p = 0; p + 1 < plan->positions; ++p) {
      const SearchOption& a = plan->options[plan->path[p]];
      const SearchOption& b = plan->options[plan->path[p + 1]];
      if (!a.candidate || !b.candidate) continue;
      if (a.recording == b.recording && b.position == a.position + 1) continue;
      f->joins += 1;
      const uint32_t cost = search_join_cost(a, b, kForcedJoinCost);
      if (cost >= kForcedJoinCost) f->forced += 1;
      else {
        join_cost += cost;
        counted += 1;
      }
      double d = 0;
      for (int k = 0; k < 16; ++k) d += std::abs(static_cast<int>(a.end.coef[k]) - static_cast<int>(b.start.coef[k]));
      spectral += d / 16;
      const int fa = a.end.reserved[0] | a.end.reserved[1] << 8, fb = b.start.reserved[0] | b.start.reserved[1] << 8;
      if (fa > 0 && fb > 0) {
        pitch += std::abs(12.0 * std::log2(static_cast<double>(fa) / fb));
        voiced += 1;
      }
    }
    value_release(state);
    utterance_delete(u);
  }
  host_voice_close(&host);
  f->spectral_jump = f->joins ? spectral / f->joins : 0;
  f->pitch_step = voiced ? pitch / voiced : 0;
  f->join_cost = counted ? join_cost / counted : 0;
  return true;
}

// Builds a voice from the recordings with the given labels into `voxdir`.
bool build_voice(const std::vector<TestRecording>& set, const std::vector<std::vector<PhoneLabel>>& labels,
                 const std::string& voxdir, std::string* error) {
  VoiceBuilder builder(material().front_end);
  builder.recipe().work_dir = voxdir + ".work";
  for (size_t i = 0; i < set.size(); ++i) {
    if (labels[i].empty()) continue;
    std::string reason;
    if (!builder.add_recording(set[i].text, labels[i], set[i].truth.audio, &reason)) {
      *error = set[i].text + ": " + reason;
      return false;
    }
  }
  const VoiceDbRecipe& recipe = builder.recipe();
  return voicedb_write(unitdb_voice_path(voxdir, recipe.name, recipe.checksum), recipe, error);
}

void VoiceQuality(benchmark::State& state) {
  Material& m = material();
  const char* set_name = "heldout_f3_140";
  const std::vector<TestRecording>& set = m.sets[set_name];
  std::string error = m.error;
  Aligned a;
  if (error.empty()) a = align_set(set, &error);
  // The recordings the aligner kept, with each kind of labels.
  std::vector<std::vector<PhoneLabel>> known(set.size()), aligned(set.size());
  for (size_t i = 0; i < set.size() && error.empty(); ++i)
    if (a.results[i].ok) {
      known[i] = set[i].truth.labels;
      aligned[i] = a.results[i].labels;
    }
  JoinFigures fk, fa;
  const std::vector<std::string> corpus = read_lines(kCorpus);
  if (error.empty() && (!build_voice(set, known, m.scratch + "/known", &error) ||
                        !build_voice(set, aligned, m.scratch + "/aligned", &error)))
    error = "building: " + error;
  for (auto _ : state) {
    if (!error.empty()) break;
    fk = fa = JoinFigures{};
    if (!voice_figures(m.scratch + "/known", corpus, &fk, &error) ||
        !voice_figures(m.scratch + "/aligned", corpus, &fa, &error))
      break;
  }
  if (!error.empty()) {
    state.SkipWithError(error.c_str());
    return;
  }
  auto ratio = [](double x, double y) { return y > 0 ? 100.0 * x / y : 0.0; };
  state.counters["known_jump_db"] = fk.spectral_jump;
  state.counters["aligned_jump_db"] = fa.spectral_jump;
  state.counters["jump_pct"] = ratio(fa.spectral_jump, fk.spectral_jump);
  state.counters["known_pitch_st"] = fk.pitch_step;
  state.counters["aligned_pitch_st"] = fa.pitch_step;
  state.counters["pitch_pct"] = ratio(fa.pitch_step, fk.pitch_step);
  state.counters["known_fallbacks"] = fk.fallbacks;
  state.counters["aligned_fallbacks"] = fa.fallbacks;
  state.counters["known_joins"] = fk.joins;
  state.counters["aligned_joins"] = fa.joins;
  state.counters["join_cost_pct"] = ratio(fa.join_cost, fk.join_cost);
  state.counters["known_forced"] = fk.forced;
  state.counters["aligned_forced"] = fa.forced;
}
BENCHMARK(VoiceQuality)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
