// In-place radix-2 FFT of the complex signal re + i im, whose length is a
// power of two; no scaling.
#pragma once

#include <vector>

// Single precision, the twiddle factors stepped by complex multiplication:
// the voice builder's and the aligner's analysis of every frame.
void fft(std::vector<float>& re, std::vector<float>& im);

// Double precision, each twiddle factor computed on its own: the quality
// measures.
void fft(std::vector<double>& re, std::vector<double>& im);
