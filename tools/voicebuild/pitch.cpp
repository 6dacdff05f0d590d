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
