// selvana-quality: measures, without listening, how the voice's joins and its
// rate, pitch and volume controls come out, with espeak-ng's own speech of
// the same sentences (the voice the default recordings come from) as the
// yardstick, in the same run.
//
//   selvana-quality [--module PATH] [--voice DIR] [--recorder PATH] SENTENCES
//
// SENTENCES is a UTF-8 text, one sentence a line ('#' lines ignored).  The
// recorder (selvana-espeak-record next to the tool by default) speaks them
// with espeak-ng into a scratch folder, with phone labels; `selvana` speaks
// them through the host's synthesis functions.  The measures:
//   - correlation of the two waves overlapped at each voiced join (the joins
//     between units that were not neighbours in a recording);
//   - period continuity: correlation of the pitch period before a point with
//     the one after it, at voiced joins (selvana) and phone middles (espeak-ng);
//   - pitch step between the 25 ms before and after a vowel join or middle,
//     in semitones: p50, p90 and the share above 2;
//   - spectral jump: mean absolute difference in dB of 16 band levels of the
//     16 ms before and after, by phone class;
//   - fallbacks (diphones spoken by a substitute or a silence) and
//     silences inside words;
//   - clicks: sample steps over three times the largest in the 8 ms on
//     either side, at rates 0.5 to 3;
//   - duration ratio at rates, f0 ratio at pitch settings, level at volumes.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/features.h"
#include "host/search.h"
#include "host/synth.h"
#include "host/text_io.h"
#include "host/voice_host.h"
#include "tools/voicebuild/fft.h"
#include "tools/voicebuild/labels.h"
#include "tools/voicebuild/pitch.h"
#include "tools/voicebuild/wavfile.h"

namespace {

struct Series {
  std::vector<double> v;
  void add(double x) { v.push_back(x); }
  double quantile(double q) const {
    if (v.empty()) return NAN;
    std::vector<double> s = v;
    std::sort(s.begin(), s.end());
    const double at = q * static_cast<double>(s.size() - 1);
    const size_t i = static_cast<size_t>(at);
    return i + 1 < s.size() ? s[i] + (at - static_cast<double>(i)) * (s[i + 1] - s[i]) : s[i];
  }
  double mean() const {
    double t = 0;
    for (double x : v) t += x;
    return v.empty() ? NAN : t / static_cast<double>(v.size());
  }
  double share_above(double t) const {
    size_t n = 0;
    for (double x : v) n += x > t;
    return v.empty() ? NAN : static_cast<double>(n) / static_cast<double>(v.size());
  }
};

const char* phone_class(const std::string& p) {
  static const std::map<std::string, const char*> classes = {
      {"a", "vowel"},     {"an", "vowel"},     {"e", "vowel"},     {"eh", "vowel"},     {"en", "vowel"},
      {"i", "vowel"},     {"in", "vowel"},     {"o", "vowel"},     {"oh", "vowel"},     {"on", "vowel"},
      {"u", "vowel"},     {"un", "vowel"},     {"j", "glide"},     {"w", "glide"},      {"m", "nasal"},
      {"n", "nasal"},     {"ni", "nasal"},     {"l", "liquid"},    {"lj", "liquid"},    {"r", "liquid"},
      {"h", "fricative"}, {"f", "fricative"},  {"v", "fricative"}, {"s", "fricative"},  {"z", "fricative"},
      {"sh", "fricative"}, {"zh", "fricative"}, {"p", "stop"},     {"b", "stop"},       {"t", "stop"},
      {"d", "stop"},      {"k", "stop"},       {"g", "stop"},      {"ch", "affricate"}, {"jh", "affricate"},
  };
  auto it = classes.find(p);
  return it == classes.end() ? nullptr : it->second;
}

// Band levels in dB of the Hann-weighted `len` samples starting at `from`.
std::vector<double> band_levels(const std::vector<int16_t>& w, long from, size_t len) {
  size_t n = 64;
  while (n < len) n <<= 1;
  std::vector<double> re(n, 0.0), im(n, 0.0);
  for (size_t i = 0; i < len; ++i) {
    const long k = from + static_cast<long>(i);
    const double s = k >= 0 && static_cast<size_t>(k) < w.size() ? w[static_cast<size_t>(k)] : 0.0;
    re[i] = s * (0.5 - 0.5 * std::cos(2 * M_PI * (static_cast<double>(i) + 0.5) / static_cast<double>(len)));
  }
  fft(re, im);
  std::vector<double> out(16);
  for (int b = 0; b < 16; ++b) {
    double e = 0;
    for (size_t k = static_cast<size_t>(b) * n / 32; k < static_cast<size_t>(b + 1) * n / 32; ++k)
      e += re[k] * re[k] + im[k] * im[k];
    out[static_cast<size_t>(b)] = 10 * std::log10(e + 1.0);
  }
  return out;
}

// Mean absolute difference of the band levels of the 16 ms before and after
// `at`; bands more than 50 dB below the louder side's strongest band count
// at that floor.
double spectral_jump(const std::vector<int16_t>& w, size_t at, uint32_t rate) {
  const size_t len = static_cast<size_t>(0.016 * rate);
  std::vector<double> a = band_levels(w, static_cast<long>(at) - static_cast<long>(len), len);
  std::vector<double> b = band_levels(w, static_cast<long>(at), len);
  const double top = std::max(*std::max_element(a.begin(), a.end()), *std::max_element(b.begin(), b.end()));
  double d = 0;
  for (size_t k = 0; k < 16; ++k) d += std::fabs(std::max(a[k], top - 50) - std::max(b[k], top - 50));
  return d / 16;
}

double correlation(const int16_t* a, const int16_t* b, size_t n) {
  double ab = 0, aa = 0, bb = 0;
  for (size_t k = 0; k < n; ++k) {
    ab += static_cast<double>(a[k]) * b[k];
    aa += static_cast<double>(a[k]) * a[k];
    bb += static_cast<double>(b[k]) * b[k];
  }
  return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0.0;
}

// The measures around one point of a wave: a join of selvana's or a phone
// middle of espeak-ng's.
struct PointMeasures {
  Series continuity;                     // voiced points
  Series pitch_step;                     // vowel points, semitones
  std::map<std::string, Series> jump;    // by phone class
};

void measure_point(const std::vector<int16_t>& w, size_t at, uint32_t rate, const std::string& phone,
                   PointMeasures* m) {
  const char* cls = phone_class(phone);
  if (!cls) return;
  const size_t win = static_cast<size_t>(0.025 * rate);
  if (at < win || at + win > w.size()) return;
  const float left = pitch_of(w.data(), at - win, at, rate, 70, 500);
  const float right = pitch_of(w.data(), at, at + win, rate, 70, 500);
  if (left > 0 && right > 0) {
    if (strcmp(cls, "vowel") == 0) m->pitch_step.add(std::fabs(12 * std::log2(right / left)));
    const size_t period = static_cast<size_t>(std::lround(rate / left));
    if (period > 0 && at >= period) m->continuity.add(correlation(&w[at - period], &w[at], period));
  }
  m->jump[cls].add(spectral_jump(w, at, rate));
}

// Clicks: sample steps that stand out from their surroundings: a first
// difference over 2000 and over three times the largest one in the 8 ms on
// either side (the 1 ms nearest left out).  A voice's own pulses recur
// within that reach, so they do not count; one click per 8 ms at most.
size_t count_clicks(const std::vector<int16_t>& w, uint32_t rate) {
  const size_t n = w.size();
  const size_t outer = static_cast<size_t>(0.008 * rate), inner = static_cast<size_t>(0.001 * rate);
  if (n < 2 * outer + 2) return 0;
  std::vector<int32_t> d(n, 0);
  for (size_t i = 1; i < n; ++i) d[i] = std::abs(static_cast<int32_t>(w[i]) - w[i - 1]);
  size_t clicks = 0, quiet_until = 0;
  for (size_t i = outer; i + outer < n; ++i) {
    if (i < quiet_until || d[i] < 2000) continue;
    int32_t around = 0;
    for (size_t k = i - outer; k <= i + outer; ++k)
      if (k + inner < i || k > i + inner) around = std::max(around, d[k]);
    if (d[i] > 3 * around) {
      ++clicks;
      quiet_until = i + outer;
    }
  }
  return clicks;
}

// Median f0 of a wave over 30 ms frames every 10 ms.
double median_f0(const std::vector<int16_t>& w, uint32_t rate) {
  Series f;
  const size_t frame = static_cast<size_t>(0.03 * rate), hop = static_cast<size_t>(0.01 * rate);
  for (size_t at = 0; at + frame <= w.size(); at += hop) {
    const float p = pitch_of(w.data(), at, at + frame, rate, 70, 500);
    if (p > 0) f.add(p);
  }
  return f.quantile(0.5);
}

double rms(const std::vector<int16_t>& w) {
  double e = 0;
  for (int16_t s : w) e += static_cast<double>(s) * s;
  return w.empty() ? 0 : std::sqrt(e / static_cast<double>(w.size()));
}

struct Spoken {
  std::vector<int16_t> wave;
  uint32_t rate = 0;
  size_t diphones = 0, fallbacks = 0, silences_in_words = 0;
  bool ok = false;
};

// Speaks one sentence; with `m`, measures its joins.
Spoken speak(const SynthEngine& engine, const std::string& latin9, PointMeasures* m, Series* overlap_corr) {
  Spoken out;
  std::vector<TextRun> runs(1);
  runs[0].text = latin9;
  std::vector<std::string> notes;
  std::string error;
  Utterance* u = synth_front_end(engine, runs, &notes, &error);
  if (!u) return out;
  Value* state = synth_state_new();
  SearchPlan* plan = nullptr;
  if (synth_utterance(engine, state, u, &notes, &error, nullptr, &plan) && plan) {
    const Wave* w = synth_state(state)->wave;
    out.rate = static_cast<uint32_t>(w->sample_rate);
    out.wave.assign(w->samples, w->samples + w->num_samples);
    out.ok = true;
    out.diphones = static_cast<size_t>(plan->positions);
    for (const std::string& n : notes) out.fallbacks += n.find(" missing: ") != std::string::npos;
    for (int32_t j = 0; j < plan->positions; ++j) {
      const SearchOption& o = plan->options[plan->path[j]];
      if (o.instance == kNoInstance && strcmp(plan->targets[j].name, "pau") != 0 &&
          strcmp(plan->targets[j + 1].name, "pau") != 0)
        ++out.silences_in_words;
      if (j == 0 || !m) continue;
      const SearchOption& l = plan->options[plan->path[j - 1]];
      if (l.instance != kNoInstance && o.instance != kNoInstance && l.recording == o.recording &&
          l.position + 1 == o.position)
        continue;  // the recording's own seam
      const std::string phone = plan->targets[j].name;
      if (l.instance == kNoInstance || o.instance == kNoInstance) continue;
      if (l.end.edge_level > 0 && o.start.edge_level > 0 && plan->joins[j].overlap > 0)
        overlap_corr->add(plan->joins[j].correlation);
      measure_point(out.wave, static_cast<size_t>(plan->placements[j].begin), out.rate, phone, m);
    }
  }
  value_release(state);
  utterance_delete(u);
  return out;
}

void print_row(const char* what, double ours, double theirs, const char* target) {
  printf("%-44s %10.3f %10.3f   %s\n", what, ours, theirs, target);
}

}  // namespace

int main(int argc, char** argv) {
  HostOptions options;
  std::string recorder = host_tool_dir() + "/selvana-espeak-record", sentences_path, error;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--module" && i + 1 < argc) options.module = argv[++i];
    else if (a == "--voice" && i + 1 < argc) options.voice = argv[++i];
    else if (a == "--recorder" && i + 1 < argc) recorder = argv[++i];
    else if (!a.empty() && a[0] != '-' && sentences_path.empty()) sentences_path = a;
    else {
      fprintf(stderr, "usage: selvana-quality [--module PATH] [--voice DIR] [--recorder PATH] SENTENCES\n");
      return 2;
    }
  }
  if (sentences_path.empty()) {
    fprintf(stderr, "usage: selvana-quality [--module PATH] [--voice DIR] [--recorder PATH] SENTENCES\n");
    return 2;
  }
  std::ifstream in(sentences_path);
  std::vector<std::string> sentences;
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') sentences.push_back(line);
  if (sentences.empty()) {
    fprintf(stderr, "selvana-quality: no sentences in %s\n", sentences_path.c_str());
    return 1;
  }

  // espeak-ng's speech of the sentences, with phone labels.
  const std::string scratch =
      (std::filesystem::temp_directory_path() / ("selvana-quality." + std::to_string(getpid()))).string();
  std::string cmd = "'" + recorder + "'" + (options.module.empty() ? "" : " --module '" + options.module + "'") +
                    " '" + sentences_path + "' '" + scratch + "' > /dev/null";
  if (std::system(cmd.c_str()) != 0) {
    fprintf(stderr, "selvana-quality: the espeak-ng recording failed (%s)\n", cmd.c_str());
    return 1;
  }
  PointMeasures theirs;
  Series theirs_clicks;
  double theirs_clicks_total = 0;
  for (size_t i = 0; i < sentences.size(); ++i) {
    char stem[32];
    snprintf(stem, sizeof stem, "/s%04zu", i + 1);
    Recording rec;
    std::ifstream lab(scratch + stem + ".lab");
    std::stringstream text;
    text << lab.rdbuf();
    std::vector<PhoneLabel> labels;
    if (!read_wav(scratch + stem + ".wav", &rec, &error) ||
        !parse_labels(text.str(), [](const std::string&) { return true; }, &labels, &error))
      continue;
    for (const PhoneLabel& l : labels)
      if (l.phone != "pau")
        measure_point(rec.samples, static_cast<size_t>(std::lround(0.5 * (l.start + l.end) * rec.sample_rate)),
                      rec.sample_rate, l.phone, &theirs);
    theirs_clicks_total += static_cast<double>(count_clicks(rec.samples, rec.sample_rate));
  }
  std::error_code ec;
  std::filesystem::remove_all(scratch, ec);

  HostVoice host;
  if (!host_voice_open(&host, options, &error)) {
    fprintf(stderr, "selvana-quality: %s\n", error.c_str());
    return 1;
  }
  SynthEngine engine;
  if (!synth_engine_open(&engine, host.voice, &error)) {
    fprintf(stderr, "selvana-quality: %s\n", error.c_str());
    host_voice_close(&host);
    return 1;
  }

  PointMeasures ours;
  Series overlap_corr;
  size_t diphones = 0, fallbacks = 0, in_words = 0, spoken = 0;
  double clicks_at_1 = 0;
  std::vector<std::vector<int16_t>> plain(sentences.size());
  for (size_t i = 0; i < sentences.size(); ++i) {
    Spoken s = speak(engine, utf8_to_latin9(sentences[i], nullptr), &ours, &overlap_corr);
    if (!s.ok) continue;
    ++spoken;
    diphones += s.diphones;
    fallbacks += s.fallbacks;
    in_words += s.silences_in_words;
    clicks_at_1 += static_cast<double>(count_clicks(s.wave, s.rate));
    plain[i] = std::move(s.wave);
  }

  // The controls, each against the plain speech of the same sentences.
  struct Setting {
    const char* name;
    ProsodyControl control;
  };
  const Setting settings[] = {
      {"rate 0.5", {0.5, 1, 1, 1}}, {"rate 2.0", {2.0, 1, 1, 1}},  {"rate 3.0", {3.0, 1, 1, 1}},
      {"pitch +20 %", {1, 1.2, 1, 1}}, {"pitch -20 %", {1, 0.8, 1, 1}}, {"volume 0.5", {1, 1, 1, 0.5}},
  };
  printf("%zu sentences; selvana spoke %zu, %zu diphones\n\n", sentences.size(), spoken, diphones);
  printf("%-44s %10s %10s   %s\n", "measure", "selvana", "espeak-ng", "target");
  print_row("overlap correlation at voiced joins, median", overlap_corr.quantile(0.5), NAN, ">= 0.9");
  print_row("  share below 0", 1 - overlap_corr.share_above(0), NAN, "");
  print_row("period continuity at voiced points, median", ours.continuity.quantile(0.5),
            theirs.continuity.quantile(0.5), "");
  print_row("pitch step at vowels (st), p50", ours.pitch_step.quantile(0.5), theirs.pitch_step.quantile(0.5), "");
  print_row("pitch step at vowels (st), p90", ours.pitch_step.quantile(0.9), theirs.pitch_step.quantile(0.9),
            "<= 1.5x espeak-ng");
  print_row("pitch steps above 2 st (share)", ours.pitch_step.share_above(2), theirs.pitch_step.share_above(2), "");
  for (const auto& [cls, series] : theirs.jump) {
    auto it = ours.jump.find(cls);
    const std::string what = "spectral jump (dB), " + cls + " (" +
                             std::to_string(it == ours.jump.end() ? 0 : it->second.v.size()) + ")";
    print_row(what.c_str(), it == ours.jump.end() ? NAN : it->second.mean(), series.mean(), "<= 1.1x espeak-ng");
  }
  print_row("fallbacks (share of diphones)", diphones ? static_cast<double>(fallbacks) / diphones : NAN, NAN,
            "<= 0.005");
  print_row("silences inside words", static_cast<double>(in_words), NAN, "0");
  print_row("clicks per sentence at rate 1", clicks_at_1 / (spoken ? spoken : 1),
            theirs_clicks_total / static_cast<double>(sentences.size()), "");
  for (const Setting& s : settings) {
    engine.prosody = s.control;
    double len = 0, base_len = 0, clicks = 0;
    Series f0_ratio, level_ratio;
    for (size_t i = 0; i < sentences.size(); ++i) {
      if (plain[i].empty()) continue;
      Spoken v = speak(engine, utf8_to_latin9(sentences[i], nullptr), nullptr, nullptr);
      if (!v.ok) continue;
      len += static_cast<double>(v.wave.size());
      base_len += static_cast<double>(plain[i].size());
      clicks += static_cast<double>(count_clicks(v.wave, v.rate));
      if (s.control.pitch != 1) {
        const double a = median_f0(v.wave, v.rate), b = median_f0(plain[i], v.rate);
        if (a > 0 && b > 0) f0_ratio.add(a / b);
      }
      if (s.control.volume != 1 && rms(plain[i]) > 0) level_ratio.add(rms(v.wave) / rms(plain[i]));
    }
    char what[80];
    if (s.control.rate != 1) {
      snprintf(what, sizeof what, "%s: duration ratio", s.name);
      char target[40];
      snprintf(target, sizeof target, "%.3f +- 0.03", 1 / s.control.rate);
      print_row(what, base_len > 0 ? len / base_len : NAN, NAN, target);
    }
    if (s.control.pitch != 1) {
      snprintf(what, sizeof what, "%s: f0 ratio, median", s.name);
      char target[40];
      snprintf(target, sizeof target, "%.2f +- 0.03", s.control.pitch);
      print_row(what, f0_ratio.quantile(0.5), NAN, target);
    }
    if (s.control.volume != 1) {
      snprintf(what, sizeof what, "%s: level ratio, median", s.name);
      print_row(what, level_ratio.quantile(0.5), NAN, "0.5");
    }
    snprintf(what, sizeof what, "%s: clicks per sentence", s.name);
    print_row(what, clicks / (spoken ? spoken : 1), NAN, "no more than at rate 1");
  }
  host_voice_close(&host);
  return 0;
}
