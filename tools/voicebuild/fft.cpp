#include "tools/voicebuild/fft.h"

#include <cmath>
#include <utility>

namespace {

template <typename T, bool kStepTwiddles>
void transform(std::vector<T>& re, std::vector<T>& im) {
  const size_t n = re.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) {
      std::swap(re[i], re[j]);
      std::swap(im[i], im[j]);
    }
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    const double angle = -2 * M_PI / static_cast<double>(len);
    [[maybe_unused]] const T wr = static_cast<T>(std::cos(angle)), wi = static_cast<T>(std::sin(angle));
    for (size_t i = 0; i < n; i += len) {
      T cr = 1, ci = 0;
      for (size_t k = 0; k < len / 2; ++k) {
        if constexpr (!kStepTwiddles) {
          cr = std::cos(angle * static_cast<double>(k));
          ci = std::sin(angle * static_cast<double>(k));
        }
        const size_t a = i + k, b = i + k + len / 2;
        const T tr = re[b] * cr - im[b] * ci, ti = re[b] * ci + im[b] * cr;
        re[b] = re[a] - tr;
        im[b] = im[a] - ti;
        re[a] += tr;
        im[a] += ti;
        if constexpr (kStepTwiddles) {
          const T nr = cr * wr - ci * wi;
          ci = cr * wi + ci * wr;
          cr = nr;
        }
      }
    }
  }
}

}  // namespace

void fft(std::vector<float>& re, std::vector<float>& im) { transform<float, true>(re, im); }

void fft(std::vector<double>& re, std::vector<double>& im) { transform<double, false>(re, im); }
