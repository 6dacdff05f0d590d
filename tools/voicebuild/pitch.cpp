#include "tools/voicebuild/pitch.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kVoicedCorrelation = 0.5f;
constexpr double kSilentRms = 60.0;
constexpr float kShortestLagShare = 0.9f;

}  // namespace

float pitch_of(const int16_t* samples, size_t from, size_t to, uint32_t rate, float min_hz, float max_hz,
               float* strength) {
  if (strength) *strength = 0;
  if (to <= from || rate == 0) return 0.0f;
  // Above 16 kHz the signal is averaged in pairs: pitch needs no more.
  const size_t step = rate > 16000 ? 2 : 1;
  const double r = static_cast<double>(rate) / static_cast<double>(step);
  std::vector<double> x;
  x.reserve((to - from) / step + 1);
  for (size_t i = from; i + step <= to; i += step) {
    double v = 0;
    for (size_t k = 0; k < step; ++k) v += samples[i + k];
    x.push_back(v / static_cast<double>(step));
  }
  const size_t m = x.size();
  double mean = 0, energy = 0;
  for (double v : x) mean += v;
  mean /= static_cast<double>(m ? m : 1);
  for (double& v : x) {
    v -= mean;
    energy += v * v;
  }
  if (m < 8 || std::sqrt(energy / static_cast<double>(m)) < kSilentRms) return 0.0f;
  const size_t min_lag = std::max<size_t>(2, static_cast<size_t>(r / max_hz));
  const size_t max_lag = std::min(static_cast<size_t>(r / min_hz) + 1, m - m / 3);
  if (max_lag <= min_lag + 2) return 0.0f;
  std::vector<float> corr(max_lag + 2, 0.0f);
  float best = 0;
  for (size_t lag = min_lag - 1; lag <= max_lag + 1 && lag < m; ++lag) {
    double xy = 0, xx = 0, yy = 0;
    for (size_t i = 0; i + lag < m; ++i) {
      xy += x[i] * x[i + lag];
      xx += x[i] * x[i];
      yy += x[i + lag] * x[i + lag];
    }
    corr[lag] = xx > 0 && yy > 0 ? static_cast<float>(xy / std::sqrt(xx * yy)) : 0.0f;
    if (lag >= min_lag && lag <= max_lag) best = std::max(best, corr[lag]);
  }
  if (strength) *strength = best;
  if (best < kVoicedCorrelation) return 0.0f;
  for (size_t lag = min_lag; lag <= max_lag; ++lag) {
    if (corr[lag] < kShortestLagShare * best || corr[lag] < corr[lag - 1] || corr[lag] < corr[lag + 1]) continue;
    // Parabolic refinement around the peak.
    const double a = corr[lag - 1], b = corr[lag], c = corr[lag + 1];
    const double den = a - 2 * b + c;
    const double shift = den < 0 ? std::clamp(0.5 * (a - c) / den, -0.5, 0.5) : 0.0;
    return static_cast<float>(r / (static_cast<double>(lag) + shift));
  }
  return 0.0f;
}

PitchMarks find_pitch_marks(const std::vector<int16_t>& samples, uint32_t rate) {
  PitchMarks out;
  const size_t n = samples.size();
  const size_t hop = rate / 200, half = static_cast<size_t>(0.015 * rate);
  if (hop == 0 || n < 2 * half) return out;
  // Frame f is centred on sample f * hop.
  const size_t frames = n / hop + 1;
  std::vector<float> f0(frames, 0.0f);
  std::vector<uint8_t> sounding(frames, 0);
  for (size_t f = 0; f < frames; ++f) {
    const size_t at = f * hop;
    const size_t from = at > half ? at - half : 0, to = std::min(n, at + half);
    float strength = 0;
    f0[f] = pitch_of(samples.data(), from, to, rate, 60.0f, 500.0f, &strength);
    sounding[f] = strength > 0 || f0[f] > 0;
  }
  // Lone voiced frames are dropped; stretches shorter than three frames too.
  for (size_t f = 0; f < frames;) {
    if (f0[f] <= 0) {
      ++f;
      continue;
    }
    size_t e = f;
    while (e < frames && f0[e] > 0) ++e;
    if (e - f < 3)
      for (size_t k = f; k < e; ++k) f0[k] = 0;
    f = e;
  }
  // Octave guard: the median of the voiced frames among the five around.
  std::vector<float> fixed = f0;
  for (size_t f = 0; f < frames; ++f) {
    if (f0[f] <= 0) continue;
    float around[5];
    int k = 0;
    for (size_t g = f >= 2 ? f - 2 : 0; g <= f + 2 && g < frames; ++g)
      if (f0[g] > 0) around[k++] = f0[g];
    for (int x = 1; x < k; ++x)
      for (int y = x; y > 0 && around[y] < around[y - 1]; --y) std::swap(around[y], around[y - 1]);
    const float median = around[k / 2];
    const float ratio = f0[f] / median;
    if (ratio > 1.7f && ratio < 2.3f) fixed[f] = f0[f] / 2, ++out.octave_corrections;
    else if (ratio > 0.43f && ratio < 0.59f) fixed[f] = f0[f] * 2, ++out.octave_corrections;
  }
  for (size_t f = 0; f < frames; ++f) {
    out.frames += sounding[f];
    out.voiced_frames += fixed[f] > 0;
  }
  // Smoothed signal: a 1 ms moving average keeps the glottal pulse and
  // drops the formant ripple.
  const size_t width = std::max<size_t>(1, rate / 1000);
  std::vector<float> smooth(n, 0.0f);
  double run = 0;
  for (size_t i = 0; i < n; ++i) {
    run += samples[i];
    if (i >= width) run -= samples[i - width];
    const size_t centre = i >= width / 2 ? i - width / 2 : 0;
    smooth[centre] = static_cast<float>(run / static_cast<double>(width));
  }
  auto period_at = [&](size_t at) {
    const size_t f = std::min(frames - 1, (at + hop / 2) / hop);
    return fixed[f] > 0 ? static_cast<double>(rate) / fixed[f] : 0.0;
  };
  for (size_t f = 0; f < frames;) {
    if (fixed[f] <= 0) {
      ++f;
      continue;
    }
    size_t e = f;
    while (e < frames && fixed[e] > 0) ++e;
    const size_t a = f * hop > hop / 2 ? f * hop - hop / 2 : 0;
    const size_t b = std::min(n, (e - 1) * hop + hop / 2);
    f = e;
    if (b <= a + 4) continue;
    // Polarity: the sign whose extremes are larger over the stretch.
    float hi = 0, lo = 0;
    for (size_t i = a; i < b; ++i) hi = std::max(hi, smooth[i]), lo = std::min(lo, smooth[i]);
    const float sign = hi >= -lo ? 1.0f : -1.0f;
    auto strongest = [&](size_t from, size_t to) {
      size_t best = from;
      for (size_t i = from; i < to; ++i)
        if (sign * smooth[i] > sign * smooth[best]) best = i;
      return best;
    };
    const double first_period = period_at(a);
    size_t mark = strongest(a, std::min(b, a + static_cast<size_t>(first_period) + 1));
    out.marks.push_back(static_cast<uint32_t>(mark));
    for (;;) {
      const double p = period_at(mark);
      if (p <= 0) break;
      const size_t from = mark + static_cast<size_t>(0.75 * p), to = mark + static_cast<size_t>(1.25 * p) + 1;
      if (to > b) break;
      mark = strongest(from, to);
      out.marks.push_back(static_cast<uint32_t>(mark));
    }
  }
  return out;
}

float pitch_from_marks(const std::vector<uint32_t>& marks, size_t at, size_t reach, uint32_t rate) {
  auto first = std::lower_bound(marks.begin(), marks.end(), static_cast<uint32_t>(at > reach ? at - reach : 0));
  double span = 0;
  size_t periods = 0;
  for (auto it = first; it != marks.end() && it + 1 != marks.end() && *(it + 1) <= at + reach; ++it) {
    const double d = static_cast<double>(*(it + 1) - *it);
    // Neighbours more than 20 ms apart belong to different voiced stretches.
    if (d > 0.02 * rate) continue;
    span += d;
    ++periods;
  }
  return periods ? static_cast<float>(static_cast<double>(rate) * static_cast<double>(periods) / span) : 0.0f;
}
