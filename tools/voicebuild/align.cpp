#include "tools/voicebuild/align.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "tools/voicebuild/fft.h"

namespace {

constexpr int kCepstra = 12;
constexpr int kMelBands = 24;
constexpr int kStatic = kCepstra + 1;  // cepstra and level
constexpr float kFloorDb = -60.0f;     // levels below the loudest frame are floored here
constexpr int kMaxStays = 2;           // extra recording frames on one speech frame
constexpr float kStayCost = 0.6f;      // per stay on a speech frame
constexpr float kSkipCost = 0.6f;      // per skipped speech frame
constexpr float kOptionalCost = 3.0f;  // entering an optional pause
constexpr float kJumpCost = 3.0f;      // the phone loop: starting any phone
// The mismatch of a speech frame: 1 where the path bends, plus this much of
// its cost over the phone loop's; a mean mismatch of kMismatchZero is 0 %
// confidence, kMismatchSpan less is 100 %.
constexpr double kExcessWeight = 0.5;
// Refinement: the spectral change 20 ms from the warped boundary counts
// this much less than at it.
constexpr float kNearness = 0.5f;
constexpr double kMismatchZero = 0.6, kMismatchSpan = 0.4;
constexpr double kMaxCells = 2e7;      // recording frames x reference frames

// After fft() of a + i b (two real signals of n samples), the power
// spectra of a and of b in bins 0 to n / 2.
void split_power(const std::vector<float>& re, const std::vector<float>& im, float* a, float* b) {
  const size_t n = re.size();
  for (size_t k = 0; k <= n / 2; ++k) {
    const size_t r = (n - k) % n;
    const float sr = re[k] + re[r], di = im[k] - im[r], si = im[k] + im[r], dr = re[k] - re[r];
    a[k] = 0.25f * (sr * sr + di * di);
    b[k] = 0.25f * (si * si + dr * dr);
  }
}

double mel(double hz) { return 2595.0 * std::log10(1.0 + hz / 700.0); }
double hz(double m) { return 700.0 * (std::pow(10.0, m / 2595.0) - 1.0); }

float distance(const float* a, const float* b) {
  float sum = 0;
  for (int d = 0; d < FrameFeatures::kDims; ++d) {
    const float x = a[d] - b[d];
    sum += x * x;
  }
  return std::sqrt(sum);
}

// The level of silence and of speech in a recording (dB relative to its
// loudest frame): the 10th and 90th percentiles of its frame levels.
void level_range(const FrameFeatures& f, float* silence, float* speech) {
  std::vector<float> levels = f.level_db;
  if (levels.empty()) {
    *silence = *speech = 0;
    return;
  }
  std::sort(levels.begin(), levels.end());
  *silence = levels[levels.size() / 10];
  *speech = levels[levels.size() * 9 / 10];
}

float speech_threshold(const FrameFeatures& f) {
  float silence = 0, speech = 0;
  level_range(f, &silence, &speech);
  return std::max(0.5f * (silence + speech), -40.0f);
}

bool is_pause(const std::string& phone) { return phone == "pau"; }

// The voice's stops and affricates: their release is the strongest change
// near their end, and it lies before the boundary with the next phone.
bool is_stop(const std::string& phone) {
  static const char* const stops[] = {"p", "t", "k", "b", "d", "g", "ch", "jh"};
  for (const char* s : stops)
    if (phone == s) return true;
  return false;
}

// Level in dB of `length` samples from `from` (relative to full scale).
float short_level(const std::vector<int16_t>& s, long from, long length) {
  double sum = 0;
  for (long k = from; k < from + length; ++k) {
    const double v = k >= 0 && static_cast<size_t>(k) < s.size() ? s[static_cast<size_t>(k)] : 0;
    sum += v * v;
  }
  return static_cast<float>(10 * std::log10(sum / static_cast<double>(length) + 1.0));
}

// Log spectrum of 16 bands of `length` samples from `from`, for the
// spectral change around a boundary.
struct BandSpectrum {
  explicit BandSpectrum(uint32_t rate) {
    size = 64;
    while (size < rate / 100 * 2 && size < 4096) size <<= 1;  // at least 20 ms
    re.resize(size);
    im.resize(size);
    window.resize(size);
    for (size_t i = 0; i < size; ++i)
      window[i] = 0.5f - 0.5f * static_cast<float>(std::cos(2 * M_PI * (static_cast<double>(i) + 0.5) / size));
  }
  // The spectra centred on `c1` and on `c2`, with one transform.
  void measure(const std::vector<int16_t>& s, long c1, long c2, float* out1, float* out2) {
    auto at = [&](long k) { return k >= 0 && static_cast<size_t>(k) < s.size() ? s[static_cast<size_t>(k)] : 0; };
    const long first1 = c1 - static_cast<long>(size / 2), first2 = c2 - static_cast<long>(size / 2);
    for (size_t i = 0; i < size; ++i) {
      re[i] = window[i] * at(first1 + static_cast<long>(i));
      im[i] = window[i] * at(first2 + static_cast<long>(i));
    }
    fft(re, im);
    split_power(re, im, power1.data(), power2.data());
    const size_t half = size / 2;
    for (int b = 0; b < 16; ++b) {
      double e1 = 0, e2 = 0;
      for (size_t k = b * half / 16; k < (b + 1) * half / 16; ++k) {
        e1 += power1[k];
        e2 += power2[k];
      }
      out1[b] = static_cast<float>(10 * std::log10(e1 + 1e3));
      out2[b] = static_cast<float>(10 * std::log10(e2 + 1e3));
    }
  }
  size_t size;
  std::vector<float> re, im, window, power1 = std::vector<float>(2049), power2 = std::vector<float>(2049);
};

}  // namespace

FrameFeatures frame_features(const Recording& recording, double top_hz) {
  FrameFeatures out;
  const uint32_t rate = recording.sample_rate ? recording.sample_rate : 16000;
  // 25 ms, or a power of two within a tenth of it (one transform size less).
  const size_t hop = rate / 100;
  size_t window = rate / 40;
  for (size_t p = 64; p <= window; p <<= 1)
    if (p * 10 >= window * 9) window = p;
  out.hop = static_cast<uint32_t>(hop);
  const std::vector<int16_t>& s = recording.samples;
  const size_t frames = (s.size() + hop - 1) / hop;
  size_t fft_size = 64;
  while (fft_size < window) fft_size <<= 1;

  // Mel filters from 100 Hz to 7600 Hz (or near half the rate).
  const double top = std::min(top_hz, 0.45 * rate);
  std::vector<double> edge(kMelBands + 2);
  for (int b = 0; b < kMelBands + 2; ++b) edge[b] = hz(mel(100.0) + (mel(top) - mel(100.0)) * b / (kMelBands + 1));
  const double bin_hz = static_cast<double>(rate) / static_cast<double>(fft_size);

  std::vector<float> hann(window), re(fft_size), im(fft_size);
  for (size_t i = 0; i < window; ++i)
    hann[i] = 0.54f - 0.46f * static_cast<float>(std::cos(2 * M_PI * (static_cast<double>(i) + 0.5) / window));
  std::vector<double> bands(frames * kMelBands), total(frames);
  std::vector<float> power_a(fft_size / 2 + 1), power_b(fft_size / 2 + 1);
  double peak = 0;
  auto windowed = [&](size_t f, size_t i) {
    const long k = static_cast<long>(f * hop + hop / 2) - static_cast<long>(window / 2) + static_cast<long>(i);
    if (f >= frames || i >= window || k < 1 || static_cast<size_t>(k) >= s.size()) return 0.0f;
    return hann[i] * (static_cast<float>(s[static_cast<size_t>(k)]) - 0.97f * s[static_cast<size_t>(k) - 1]);
  };
  // Mel weights per band: bins [lo, lo + size).
  std::vector<size_t> band_lo(kMelBands);
  std::vector<std::vector<float>> weights(kMelBands);
  for (int b = 0; b < kMelBands; ++b) {
    const size_t lo = std::max<size_t>(static_cast<size_t>(edge[b] / bin_hz), 1);
    const size_t hi = std::min(static_cast<size_t>(edge[b + 2] / bin_hz) + 1, fft_size / 2);
    band_lo[b] = lo;
    for (size_t k = lo; k <= hi; ++k) {
      const double freq = static_cast<double>(k) * bin_hz;
      double w = 0;
      if (freq > edge[b] && freq <= edge[b + 1]) w = (freq - edge[b]) / (edge[b + 1] - edge[b]);
      else if (freq > edge[b + 1] && freq < edge[b + 2]) w = (edge[b + 2] - freq) / (edge[b + 2] - edge[b + 1]);
      weights[b].push_back(static_cast<float>(w));
    }
  }
  auto band_energies = [&](size_t f, const std::vector<float>& power) {
    if (f >= frames) return;
    double sum = 0;
    for (int b = 0; b < kMelBands; ++b) {
      double e = 0;
      for (size_t k = 0; k < weights[b].size(); ++k) e += weights[b][k] * power[band_lo[b] + k];
      bands[f * kMelBands + b] = e;
      sum += e;
    }
    total[f] = sum;
    peak = std::max(peak, sum);
  };
  // Two frames per transform.
  for (size_t f = 0; f < frames; f += 2) {
    for (size_t i = 0; i < fft_size; ++i) {
      re[i] = windowed(f, i);
      im[i] = windowed(f + 1, i);
    }
    fft(re, im);
    split_power(re, im, power_a.data(), power_b.data());
    band_energies(f, power_a);
    band_energies(f + 1, power_b);
  }
  if (peak <= 0) peak = 1;
  // Levels floored 60 dB below the loudest frame, so that silence looks
  // alike whether it is digital or a quiet room.
  const double floor_total = peak * std::pow(10.0, kFloorDb / 10.0);
  const double floor_band = floor_total / kMelBands;
  std::vector<double> dct(kCepstra * kMelBands);
  for (int c = 1; c <= kCepstra; ++c)
    for (int b = 0; b < kMelBands; ++b)
      dct[(c - 1) * kMelBands + b] = std::cos(M_PI * c * (b + 0.5) / kMelBands) * std::sqrt(2.0 / kMelBands);
  std::vector<float> statics(frames * kStatic);
  out.level_db.resize(frames);
  for (size_t f = 0; f < frames; ++f) {
    double logs[kMelBands];
    for (int b = 0; b < kMelBands; ++b) logs[b] = std::log(bands[f * kMelBands + b] + floor_band);
    for (int c = 1; c <= kCepstra; ++c) {
      double v = 0;
      for (int b = 0; b < kMelBands; ++b) v += logs[b] * dct[(c - 1) * kMelBands + b];
      statics[f * kStatic + c - 1] = static_cast<float>(v);
    }
    const float level = static_cast<float>(10 * std::log10((total[f] + floor_total) / peak));
    out.level_db[f] = std::max(level, kFloorDb);
    statics[f * kStatic + kCepstra] = out.level_db[f] / 10.0f;
  }
  // Cepstral mean and variance over the speech frames.
  const float threshold = speech_threshold(out);
  for (int c = 0; c < kCepstra; ++c) {
    double sum = 0, sq = 0;
    size_t n = 0;
    for (size_t f = 0; f < frames; ++f) {
      if (out.level_db[f] < threshold) continue;
      const double v = statics[f * kStatic + c];
      sum += v;
      sq += v * v;
      ++n;
    }
    if (n < 2) continue;
    const double mean = sum / static_cast<double>(n);
    const double sd = std::sqrt(std::max(sq / static_cast<double>(n) - mean * mean, 1e-6));
    for (size_t f = 0; f < frames; ++f)
      statics[f * kStatic + c] = static_cast<float>((statics[f * kStatic + c] - mean) / sd);
  }
  // Deltas: the regression over two frames on each side.
  out.values.assign(frames * FrameFeatures::kDims, 0.0f);
  for (size_t f = 0; f < frames; ++f) {
    float* v = out.values.data() + f * FrameFeatures::kDims;
    for (int c = 0; c < kStatic; ++c) {
      v[c] = statics[f * kStatic + c];
      double d = 0;
      for (int k = 1; k <= 2; ++k) {
        const size_t a = f + k < frames ? f + k : frames - 1;
        const size_t b = f >= static_cast<size_t>(k) ? f - k : 0;
        d += k * (statics[a * kStatic + c] - statics[b * kStatic + c]);
      }
      v[kStatic + c] = static_cast<float>(d / 10.0);
    }
  }
  return out;
}

double speech_seconds(const FrameFeatures& features, uint32_t sample_rate) {
  const float threshold = speech_threshold(features);
  size_t n = 0;
  for (float l : features.level_db) n += l >= threshold;
  return sample_rate ? static_cast<double>(n) * features.hop / sample_rate : 0.0;
}

std::string recording_problem(const Recording& recording, const FrameFeatures& features, double* at) {
  *at = 0;
  const std::vector<int16_t>& s = recording.samples;
  const double rate = recording.sample_rate;
  if (s.size() < recording.sample_rate / 2) return "it is shorter than half a second";
  // Peak level relative to full scale, and the speech in it.
  int peak = 0;
  for (int16_t v : s) peak = std::max(peak, std::abs(static_cast<int>(v)));
  float silence = 0, speech = 0;
  level_range(features, &silence, &speech);
  if (peak < 100 || speech - silence < 15.0f)
    return peak < 100 ? "it is silent" : "no speech stands out from the noise (silence only?)";
  // Clipping: runs of three or more samples at the ends of the scale.
  size_t clipped = 0, first = 0;
  for (size_t i = 0; i < s.size();) {
    size_t j = i;
    while (j < s.size() && (s[j] >= 32767 || s[j] <= -32767)) ++j;
    if (j - i >= 3) {
      if (clipped == 0) first = i;
      clipped += j - i;
    }
    i = j > i ? j : i + 1;
  }
  if (clipped > s.size() / 2000 + 10) {
    *at = static_cast<double>(first) / rate;
    char text[120];
    snprintf(text, sizeof text, "it is clipped: %zu samples at full scale, the first at %.2f s (record more softly)",
             clipped, *at);
    return text;
  }
  return "";
}

AlignResult align_to_reference(const Recording& recording, const FrameFeatures& features,
                               const Recording& reference, const FrameFeatures& ref,
                               const std::vector<PhoneLabel>& reference_labels, const std::vector<bool>& word_start,
                               const AlignSettings& settings) {
  AlignResult result;
  const double ref_rate = reference.sample_rate, rate = recording.sample_rate;
  const size_t labels = reference_labels.size();

  // The reference frames the recording is warped onto.
  struct RefFrame {
    const float* values;
    int label;        // the reference label, or -1 - k for the optional pause before label k
    bool elastic;     // any number of recording frames may stay
    bool first;       // the first frame of its label: never skipped
  };
  std::vector<RefFrame> frames;
  const float* silent = ref.frame(0);  // the reference starts in silence
  for (size_t f = 0; f < ref.frames(); ++f)
    if (ref.level_db[f] < ref.level_db[0] + 1.0f && ref.level_db[f] <= kFloorDb + 1.0f) {
      silent = ref.frame(f);
      break;
    }
  const double ref_hop = ref.hop / ref_rate;
  for (size_t k = 0; k < labels; ++k) {
    const PhoneLabel& l = reference_labels[k];
    // Frames whose centres lie in the label: (f + 0.5) hop in [start, end).
    const long from = static_cast<long>(std::ceil(l.start / ref_hop - 0.5));
    const long to = static_cast<long>(std::ceil(l.end / ref_hop - 0.5));
    size_t f0 = static_cast<size_t>(std::max(0L, from)), f1 = static_cast<size_t>(std::max(0L, to));
    f1 = std::min(f1, ref.frames());
    if (is_pause(l.phone)) {
      frames.push_back({silent, static_cast<int>(k), true, true});
      frames.push_back({silent, static_cast<int>(k), true, false});
      continue;
    }
    if (k < word_start.size() && word_start[k]) frames.push_back({silent, -1 - static_cast<int>(k), true, true});
    if (f1 <= f0) {  // shorter than a frame: the frame nearest its middle
      f0 = std::min(static_cast<size_t>(0.5 * (l.start + l.end) / ref_hop), ref.frames() - 1);
      f1 = f0 + 1;
    }
    for (size_t f = f0; f < f1; ++f) frames.push_back({ref.frame(f), static_cast<int>(k), false, f == f0});
  }
  const size_t m = frames.size(), n = features.frames();
  if (n < 2 || m < 2 || n < labels) {
    result.problem = "the recording is too short for its text";
    return result;
  }
  if (static_cast<double>(n) * static_cast<double>(m) > kMaxCells) {
    result.problem = "the recording is too long to align at once (record one sentence per file)";
    return result;
  }

  // Dynamic programming over (recording frame, reference frame, stays).
  constexpr int kStates = kMaxStays + 1;
  constexpr float kInf = std::numeric_limits<float>::infinity();
  std::vector<uint8_t> back(n * m * kStates, 0xff);  // k | previous stays << 2
  std::vector<float> prev(m * kStates, kInf), cur(m * kStates, kInf);
  std::vector<float> local(m);
  std::vector<float> loop_prev(m, kInf), loop_cur(m, kInf), loop_total(n);
  float loop_jump = kInf;
  auto skippable = [&](size_t j) { return !frames[j].first || frames[j].label < 0; };
  for (size_t i = 0; i < n; ++i) {
    const float* x = features.frame(i);
    for (size_t j = 0; j < m; ++j) local[j] = distance(x, frames[j].values);
    std::fill(cur.begin(), cur.end(), kInf);
    uint8_t* b = back.data() + i * m * kStates;
    if (i == 0) {
      cur[0] = local[0];
      b[0] = 1;
    } else {
      for (size_t j = 0; j < m; ++j) {
        const RefFrame& r = frames[j];
        // Arrive by moving on one or two frames.
        float best = kInf;
        uint8_t how = 0xff;
        for (size_t step = 1; step <= 2 && step <= j; ++step) {
          if (step == 2 && !skippable(j - 1)) break;
          float extra = 0;
          if (step == 2 && !frames[j - 1].elastic) extra += kSkipCost;
          if (r.label < 0) extra += kOptionalCost;
          for (int s = 0; s < kStates; ++s) {
            const float c = prev[(j - step) * kStates + s] + extra;
            if (c < best) {
              best = c;
              how = static_cast<uint8_t>(step | s << 2);
            }
          }
        }
        if (how != 0xff) {
          cur[j * kStates] = best + local[j];
          b[j * kStates] = how;
        }
        // Stay on the same frame.
        for (int s = 1; s < kStates; ++s) {
          const int from = s - 1;
          float c = prev[j * kStates + from] + (r.elastic ? 0.0f : kStayCost);
          uint8_t h = static_cast<uint8_t>(0 | from << 2);
          if (r.elastic && s == kStates - 1 && prev[j * kStates + s] < c) {
            c = prev[j * kStates + s];
            h = static_cast<uint8_t>(0 | s << 2);
          }
          if (c < kInf) {
            cur[j * kStates + s] = c + local[j];
            b[j * kStates + s] = h;
          }
        }
      }
    }
    // The phone loop: the same frames in any order of phones.
    float loop_best = kInf;
    if (i == 0) {
      for (size_t j = 0; j < m; ++j) loop_cur[j] = frames[j].first ? local[j] : kInf;
    } else {
      for (size_t j = 0; j < m; ++j) {
        float c = loop_prev[j] + (frames[j].elastic ? 0.0f : kStayCost);
        if (j >= 1) c = std::min(c, loop_prev[j - 1]);
        if (j >= 2 && skippable(j - 1)) c = std::min(c, loop_prev[j - 2] + kSkipCost);
        if (frames[j].first) c = std::min(c, loop_jump + kJumpCost);
        loop_cur[j] = c + local[j];
      }
    }
    for (size_t j = 0; j < m; ++j) loop_best = std::min(loop_best, loop_cur[j]);
    loop_jump = loop_best;
    loop_total[i] = loop_best;
    std::swap(loop_prev, loop_cur);
    std::swap(prev, cur);
  }
  // End in the last pause (its first frame or later).
  size_t end_j = m - 1;
  int end_s = 0;
  float end_cost = kInf;
  for (size_t j = m; j-- > 0;) {
    for (int s = 0; s < kStates; ++s)
      if (prev[j * kStates + s] < end_cost) {
        end_cost = prev[j * kStates + s];
        end_j = j;
        end_s = s;
      }
    if (frames[j].first && frames[j].label >= 0) break;
  }
  if (!(end_cost < kInf)) {
    result.problem = "the recording is too short for its text";
    return result;
  }
  std::vector<size_t> path(n);
  {
    size_t j = end_j;
    int s = end_s;
    for (size_t i = n; i-- > 0;) {
      path[i] = j;
      const uint8_t h = back[(i * m + j) * kStates + s];
      if (i == 0) break;
      const size_t step = h & 3;
      s = h >> 2;
      j -= step;
    }
  }

  // Each label's recording frames.
  std::vector<long> first(labels, -1), last(labels, -1), pause_first(labels, -1), pause_last(labels, -1);
  for (size_t i = 0; i < n; ++i) {
    const int label = frames[path[i]].label;
    if (label >= 0) {
      if (first[label] < 0) first[label] = static_cast<long>(i);
      last[label] = static_cast<long>(i);
    } else {
      const int k = -1 - label;
      if (pause_first[k] < 0) pause_first[k] = static_cast<long>(i);
      pause_last[k] = static_cast<long>(i);
    }
  }
  const double hop = features.hop / rate;
  std::vector<double> start(labels), end(labels);
  for (size_t k = 0; k < labels; ++k) {
    if (first[k] < 0) {  // cannot happen: no label's first frame is skipped
      result.problem = "phone " + std::to_string(k + 1) + " found no place";
      return result;
    }
    start[k] = static_cast<double>(first[k]) * hop;
    end[k] = static_cast<double>(last[k] + 1) * hop;
  }
  // Optional pauses: long enough, a gap between the words; else the
  // silence belongs to the next word (a stop's closure, a hesitation).
  for (size_t k = 0; k < labels; ++k) {
    if (pause_first[k] < 0) continue;
    const double from = static_cast<double>(pause_first[k]) * hop, to = static_cast<double>(pause_last[k] + 1) * hop;
    if (to - from >= settings.min_pause) ++result.pauses;
    else start[k] = from;
  }
  end.back() = static_cast<double>(recording.samples.size()) / rate;
  start.front() = 0;
  // The recording must start and end in silence: else it was cut off.
  {
    const float threshold = speech_threshold(features);
    auto quiet = [&](long from, long to) {
      for (long i = from; i <= to; ++i)
        if (features.level_db[static_cast<size_t>(i)] < threshold) return true;
      return false;
    };
    if (!quiet(first.back(), static_cast<long>(n) - 1)) {
      result.problem = "it ends in the middle of speech (cut off?)";
      result.worst_start = static_cast<double>(first.back()) * hop;
      result.worst_end = static_cast<double>(n) * hop;
      return result;
    }
    if (!quiet(0, last.front())) {
      result.problem = "it starts in the middle of speech (cut off?)";
      result.worst_end = end.front();
      return result;
    }
  }

  // Boundaries moved to the change nearby.
  if (settings.refine) {
    BandSpectrum spectrum(recording.sample_rate);
    const long step = std::max(1L, std::lround(0.0025 * rate));
    const long reach = std::lround(0.02 * rate);
    const long window_5ms = std::max(1L, std::lround(0.005 * rate));
    float silence_db = 0, speech_db = 0;
    for (size_t k = 0; k + 1 < labels; ++k) {
      if (std::abs(end[k] - start[k + 1]) > 1e-9) continue;  // a gap: a found pause
      const long at = std::lround(end[k] * rate);
      const long lo = std::max(std::lround(start[k] * rate) + step, at - reach);
      const long hi = std::min(std::lround(end[k + 1] * rate) - step, at + reach);
      if (hi <= lo) continue;
      const bool left_pause = is_pause(reference_labels[k].phone), right_pause = is_pause(reference_labels[k + 1].phone);
      long best = at;
      if (left_pause != right_pause) {
        // Speech starts or ends: where the level crosses half way between
        // the pause's level and the speech's.
        const long pau_at = left_pause ? std::lround(0.5 * (start[k] + end[k]) * rate)
                                       : std::lround(0.5 * (start[k + 1] + end[k + 1]) * rate);
        const long speech_at = left_pause ? std::lround(0.5 * (start[k + 1] + end[k + 1]) * rate)
                                          : std::lround(0.5 * (start[k] + end[k]) * rate);
        silence_db = short_level(recording.samples, pau_at - window_5ms / 2, window_5ms);
        speech_db = short_level(recording.samples, speech_at - window_5ms / 2, window_5ms);
        if (speech_db - silence_db < 10.0f) continue;
        const float mid = 0.5f * (silence_db + speech_db);
        float best_gap = std::numeric_limits<float>::infinity();
        for (long t = lo; t <= hi; t += step) {
          const float before = short_level(recording.samples, t - window_5ms, window_5ms);
          const float after = short_level(recording.samples, t, window_5ms);
          const bool crosses = left_pause ? (before < mid && after >= mid) : (before >= mid && after < mid);
          const float gap = static_cast<float>(std::abs(t - at));
          if (crosses && gap < best_gap) {
            best_gap = gap;
            best = t;
          }
        }
      } else if (!left_pause && !is_stop(reference_labels[k].phone)) {
        // The largest change between the spectra 10 ms before and after,
        // favouring the warped position a little.
        float before[16], after[16], best_change = -1;
        const long offset = std::lround(0.01 * rate);
        for (long t = lo; t <= hi; t += step) {
          spectrum.measure(recording.samples, t - offset, t + offset, before, after);
          float change = 0;
          for (int b = 0; b < 16; ++b) change += std::abs(after[b] - before[b]);
          change *= 1.0f - kNearness * static_cast<float>(std::abs(t - at)) / static_cast<float>(reach);
          if (change > best_change) {
            best_change = change;
            best = t;
          }
        }
      }
      end[k] = start[k + 1] = static_cast<double>(best) / rate;
    }
  }

  // Confidence: over the speech frames, how much the path bends (stays
  // and skips) and how much more it costs than the phone loop.
  std::vector<float> mismatch(n, 0.0f), local_mismatch(n, 0.0f);  // the second for regions
  std::vector<uint8_t> speech(n, 0);
  double total = 0;
  size_t speech_frames = 0;
  for (size_t i = 0; i < n; ++i) {
    const RefFrame& r = frames[path[i]];
    if (r.elastic && features.level_db[i] <= -30.0f) continue;
    speech[i] = 1;
    ++speech_frames;
    const float bent = i > 0 && path[i] != path[i - 1] + 1 ? 1.0f : 0.0f;
    const float excess = distance(features.frame(i), r.values) - (loop_total[i] - (i ? loop_total[i - 1] : 0.0f));
    mismatch[i] = bent + kExcessWeight * excess;
    local_mismatch[i] = bent + kExcessWeight * std::max(excess, 0.0f);
    total += mismatch[i];
  }
  auto confidence = [](double m) { return 100.0 * std::clamp((kMismatchZero - m) / kMismatchSpan, 0.0, 1.0); };
  result.confidence = confidence(speech_frames ? total / static_cast<double>(speech_frames) : kMismatchZero);
  // The worst half second with enough speech in it.
  const size_t span = 50;
  result.worst_confidence = 100;
  {
    double sum = 0, worst = -1;
    size_t count = 0;
    for (size_t i = 0; i < n; ++i) {
      sum += local_mismatch[i];
      count += speech[i];
      if (i >= span) {
        sum -= local_mismatch[i - span];
        count -= speech[i - span];
      }
      if (count >= span / 2 && sum / static_cast<double>(count) > worst) {
        worst = sum / static_cast<double>(count);
        result.worst_confidence = confidence(worst);
        result.worst_start = static_cast<double>(i + 1 >= span ? i + 1 - span : 0) * hop;
        result.worst_end = static_cast<double>(i + 1) * hop;
      }
    }
  }
  for (size_t k = 0; k < labels; ++k)
    if (end[k] > result.worst_start && start[k] < result.worst_end)
      result.worst_phones += (result.worst_phones.empty() ? "" : " ") + reference_labels[k].phone;

  for (size_t k = 0; k < labels; ++k) {
    if (end[k] <= start[k]) {
      result.problem = "phone " + std::to_string(k + 1) + " ('" + reference_labels[k].phone + "') has no length";
      return result;
    }
    result.labels.push_back({start[k], end[k], reference_labels[k].phone});
  }
  char text[200];
  if (result.confidence < settings.min_confidence) {
    snprintf(text, sizeof text, "the recording does not match its text (confidence %.0f%%, below %.0f%%)",
             result.confidence, settings.min_confidence);
    result.problem = text;
  }
  result.ok = result.problem.empty();
  return result;
}
