#include "tools/voicebuild/acoustics.h"

#include <algorithm>
#include <cmath>

#include "tools/voicebuild/fft.h"

namespace {

constexpr int kBands = 16;
constexpr float kMinPitch = 60.0f, kMaxPitch = 500.0f;
constexpr float kVoicedCorrelation = 0.45f;
constexpr float kSilentRms = 60.0f;  // about -55 dB below full scale

template <typename T>
T clamp_round(double v, double lo, double hi) {
  return static_cast<T>(std::lround(std::clamp(v, lo, hi)));
}

}  // namespace

void set_edge_pitch(JoinEdge* e, float f0) {
  uint16_t tenths = 0;
  e->edge_level = 0;
  if (f0 > 0) {
    tenths = clamp_round<uint16_t>(f0 * 10.0, 0, 65535);
    e->edge_level = clamp_round<int16_t>(12.0 * std::log2(f0 / 55.0), 1, 32767);
  }
  e->reserved[0] = static_cast<uint8_t>(tenths);
  e->reserved[1] = static_cast<uint8_t>(tenths >> 8);
}

EdgeAnalyzer::EdgeAnalyzer(uint32_t sample_rate) : rate_(sample_rate) {
  const size_t window = static_cast<size_t>(0.02 * rate_);
  fft_size_ = 64;
  while (fft_size_ < window && fft_size_ < 4096) fft_size_ <<= 1;
  window_.resize(window);
  for (size_t i = 0; i < window; ++i)
    window_[i] = 0.5f - 0.5f * static_cast<float>(std::cos(2 * M_PI * (static_cast<double>(i) + 0.5) / window));
  re_.resize(fft_size_);
  im_.resize(fft_size_);
  // Bins [0, fft_size_ / 2) in 16 equal bands.
  for (int k = 0; k <= kBands; ++k) band_first_.push_back(static_cast<int>(k * (fft_size_ / 2) / kBands));
}

float EdgeAnalyzer::pitch(const std::vector<int16_t>& samples, size_t at) {
  // Normalised autocorrelation of 40 ms, on the signal averaged in pairs.
  const size_t n = samples.size();
  const size_t half = static_cast<size_t>(0.02 * rate_);
  const size_t from = at > half ? at - half : 0;
  const size_t to = std::min(n, at + half);
  decimated_.clear();
  for (size_t i = from; i + 1 < to; i += 2) decimated_.push_back(0.5f * (samples[i] + samples[i + 1]));
  const float rate = 0.5f * static_cast<float>(rate_);
  const size_t min_lag = static_cast<size_t>(rate / kMaxPitch);
  const size_t max_lag = static_cast<size_t>(rate / kMinPitch);
  const size_t m = decimated_.size();
  if (m < 2 * max_lag / 3 + 2) return 0.0f;
  double energy = 0;
  for (float v : decimated_) energy += static_cast<double>(v) * v;
  if (std::sqrt(energy / static_cast<double>(m)) < kSilentRms) return 0.0f;
  float best = 0;
  size_t best_lag = 0;
  for (size_t lag = min_lag; lag <= max_lag && lag + m / 3 < m; ++lag) {
    double xy = 0, xx = 0, yy = 0;
    for (size_t i = 0; i + lag < m; ++i) {
      const double x = decimated_[i], y = decimated_[i + lag];
      xy += x * y;
      xx += x * x;
      yy += y * y;
    }
    if (xx <= 0 || yy <= 0) continue;
    const float r = static_cast<float>(xy / std::sqrt(xx * yy));
    if (r > best) {
      best = r;
      best_lag = lag;
    }
  }
  if (best < kVoicedCorrelation || best_lag == 0) return 0.0f;
  return rate / static_cast<float>(best_lag);
}

JoinEdge EdgeAnalyzer::analyse(const std::vector<int16_t>& samples, size_t at) {
  JoinEdge e{};
  const size_t n = samples.size();
  const size_t window = window_.size();
  const long first = static_cast<long>(at) - static_cast<long>(window / 2);
  auto sample = [&](long k) { return k >= 0 && static_cast<size_t>(k) < n ? samples[static_cast<size_t>(k)] : 0; };

  double sum = 0;
  for (size_t i = 0; i < window; ++i) sum += static_cast<double>(sample(first + static_cast<long>(i))) *
                                             sample(first + static_cast<long>(i));
  const double rms = std::sqrt(sum / static_cast<double>(window ? window : 1));
  e.edge_value = clamp_round<uint16_t>(rms, 1, 65535);
  e.edge_b = rms > 0 ? clamp_round<int16_t>(40 * std::log10(rms / 32768.0), -200, 0) : -200;

  const long quarter = static_cast<long>(0.005 * rate_);
  int crossings = 0;
  for (long k = static_cast<long>(at) - quarter + 1; k < static_cast<long>(at) + quarter; ++k)
    crossings += (sample(k) >= 0) != (sample(k - 1) >= 0);
  e.edge_a = static_cast<uint16_t>(crossings / 4);

  set_edge_pitch(&e, pitch(samples, at));

  // Band energies of the Hann-windowed 20 ms.
  for (size_t i = 0; i < fft_size_; ++i) {
    re_[i] = i < window ? window_[i] * sample(first + static_cast<long>(i)) : 0.0f;
    im_[i] = 0;
  }
  fft(re_, im_);
  double band[kBands], total = 0;
  for (int b = 0; b < kBands; ++b) {
    band[b] = 0;
    for (int k = band_first_[b]; k < band_first_[b + 1]; ++k)
      band[b] += static_cast<double>(re_[k]) * re_[k] + static_cast<double>(im_[k]) * im_[k];
    total += band[b];
  }
  int strongest = 0;
  for (int b = 0; b < kBands; ++b) {
    if (band[b] > band[strongest]) strongest = b;
    // A silent window has no shape: every band sits at the offset.
    const double db = total > 0 && band[b] > 0 ? 10 * std::log10(band[b] / total) : (total > 0 ? -100.0 : 0.0);
    e.coef[b] = clamp_round<uint8_t>(100.0 + db, 0, 255);
  }
  e.edge_c = static_cast<uint16_t>(strongest);
  return e;
}
