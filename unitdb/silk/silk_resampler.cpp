// Output resampler from the internal rate (8, 12, 16 or 24 kHz) to the API
// rate: a plain copy, an exact 2x allpass up-sampler, 2x up-sampling followed
// by a 144-phase interpolating FIR for other ratios, or, for the usual
// down-sampling fractions, a second-order AR filter and a symmetric FIR.
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "unitdb/silk/silk_fixed.h"
#include "unitdb/silk/silk_internal.h"

namespace silk {

namespace {

// 2x up-sampler: two allpass branches and a notch, state in iir[0..5].
void up2_hq(int32_t* s, int16_t* out, const int16_t* in, int32_t length) {
  const int32_t c00 = kUp2Hq0[0], c01 = kUp2Hq0[1], c10 = kUp2Hq1[0], c11 = kUp2Hq1[1];
  const int32_t n0 = kUp2HqNotch[0], n1 = kUp2HqNotch[1], n2 = kUp2HqNotch[2], n3 = kUp2HqNotch[3];
  int32_t s0 = s[0], s1 = s[1], s2 = s[2], s3 = s[3], s4 = s[4], s5 = s[5];
  for (int32_t k = 0; k < length; k++) {
    const int32_t in32 = static_cast<int32_t>(in[k]) * 1024;

    // Even output sample.
    int32_t y = sub_wrap(in32, s0);
    int32_t x = smulwb(y, c00);
    int32_t out1 = add_wrap(s0, x);
    s0 = add_wrap(in32, x);
    y = sub_wrap(out1, s1);
    x = smlawb(y, y, c01);
    int32_t out2 = add_wrap(s1, x);
    s1 = add_wrap(out1, x);
    out2 = smlawb(out2, s5, n2);
    out2 = smlawb(out2, s4, n1);
    out1 = smlawb(out2, s4, n0);
    s5 = sub_wrap(out2, s5);
    out[2 * k] = static_cast<int16_t>(sat16(smlawb(256, out1, n3) >> 9));

    // Odd output sample.
    y = sub_wrap(in32, s2);
    x = smulwb(y, c10);
    out1 = add_wrap(s2, x);
    s2 = add_wrap(in32, x);
    y = sub_wrap(out1, s3);
    x = smlawb(y, y, c11);
    out2 = add_wrap(s3, x);
    s3 = add_wrap(out1, x);
    out2 = smlawb(out2, s4, n2);
    out2 = smlawb(out2, s5, n1);
    out1 = smlawb(out2, s5, n0);
    s4 = sub_wrap(out2, s4);
    out[2 * k + 1] = static_cast<int16_t>(sat16(smlawb(256, out1, n3) >> 9));
  }
  s[0] = s0; s[1] = s1; s[2] = s2; s[3] = s3; s[4] = s4; s[5] = s5;
}

// Six-tap dot product of the interpolator (eight lanes, the last two taps zero).
inline int32_t fir6(const int16_t* x, const int16_t* taps) {
#if defined(__SSE2__)
  __m128i prod = _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(x)),
                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(taps)));
  prod = _mm_add_epi32(prod, _mm_shuffle_epi32(prod, _MM_SHUFFLE(1, 0, 3, 2)));
  prod = _mm_add_epi32(prod, _mm_shuffle_epi32(prod, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm_cvtsi128_si32(prod);
#else
  uint32_t acc = 0;
  for (int i = 0; i < 6; i++) acc += static_cast<uint32_t>(x[i] * taps[i]);
  return static_cast<int32_t>(acc);
#endif
}

// 2x up-sampling, then interpolation at fractional positions with a 144-phase
// 6-tap FIR.
void resample_iir_fir(Resampler* r, int16_t* out, const int16_t* in, int32_t length) {
  // Two spare entries: the dot product reads eight samples.
  int16_t buf[2 * kResamplerMaxBatch + kResamplerFirOrder + 2];
  for (int i = 0; i < kResamplerFirOrder; i++) buf[i] = static_cast<int16_t>(r->fir[i]);
  const int32_t increment_q16 = r->inv_ratio_q16;
  int32_t n;
  for (;;) {
    n = length < r->batch_size ? length : r->batch_size;
    up2_hq(r->iir, &buf[kResamplerFirOrder], in, n);
    buf[kResamplerFirOrder + 2 * n] = 0;
    buf[kResamplerFirOrder + 2 * n + 1] = 0;
    const int32_t max_index_q16 = n << 17;
    for (int32_t index_q16 = 0; index_q16 < max_index_q16; index_q16 += increment_q16) {
      const int32_t phase = ((index_q16 & 0xffff) * 144) >> 16;
      const int32_t acc = fir6(&buf[index_q16 >> 16], kFracFir144Taps[phase]);
      *out++ = static_cast<int16_t>(sat16(rshift_round(acc, 15)));
    }
    in += n;
    length -= n;
    if (length <= 0) break;
    memmove(buf, &buf[n << 1], kResamplerFirOrder * sizeof(int16_t));
  }
  for (int i = 0; i < kResamplerFirOrder; i++) r->fir[i] = buf[(n << 1) + i];
}

// Second-order AR pre-filter of the down-sampler, output in Q8.
void ar2(int32_t* s, int32_t* out_q8, const int16_t* in, const int16_t* a_q14, int32_t length) {
  for (int32_t k = 0; k < length; k++) {
    int32_t out32 = add_wrap(s[0], static_cast<int32_t>(in[k]) * 256);
    out_q8[k] = out32;
    out32 = lshift_wrap(out32, 2);
    s[0] = smlawb(s[1], out32, a_q14[0]);
    s[1] = smulwb(out32, a_q14[1]);
  }
}

// Fractional down-sampler: AR2 then a 12-tap symmetric FIR evaluated at
// `fir_fracs` fixed phases.
void resample_down_fir(Resampler* r, int16_t* out, const int16_t* in, int32_t length) {
  int32_t buf[kResamplerMaxBatch + kResamplerDownFirOrder];
  memcpy(buf, r->fir, kResamplerDownFirOrder * sizeof(int32_t));
  const int16_t* fir = &r->coefs[2];
  const int32_t increment_q16 = r->inv_ratio_q16;
  const int32_t fracs = r->fir_fracs;
  int32_t n;
  for (;;) {
    n = length < r->batch_size ? length : r->batch_size;
    ar2(r->iir, &buf[kResamplerDownFirOrder], in, r->coefs, n);
    const int32_t max_index_q16 = n << 16;
    if (fracs == 1) {
      for (int32_t index_q16 = 0; index_q16 < max_index_q16; index_q16 += increment_q16) {
        const int32_t* b = buf + (index_q16 >> 16);
        int32_t res_q6 = smulwb(add_wrap(b[0], b[11]), fir[0]);
        res_q6 = smlawb(res_q6, add_wrap(b[1], b[10]), fir[1]);
        res_q6 = smlawb(res_q6, add_wrap(b[2], b[9]), fir[2]);
        res_q6 = smlawb(res_q6, add_wrap(b[3], b[8]), fir[3]);
        res_q6 = smlawb(res_q6, add_wrap(b[4], b[7]), fir[4]);
        res_q6 = smlawb(res_q6, add_wrap(b[5], b[6]), fir[5]);
        *out++ = static_cast<int16_t>(sat16(rshift_round(res_q6, 6)));
      }
    } else {
      for (int32_t index_q16 = 0; index_q16 < max_index_q16; index_q16 += increment_q16) {
        const int32_t* b = buf + (index_q16 >> 16);
        const int32_t phase = smulwb(index_q16 & 0xffff, fracs);
        const int16_t* c = &fir[(kResamplerDownFirOrder / 2) * phase];
        int32_t res_q6 = smulwb(b[0], c[0]);
        res_q6 = smlawb(res_q6, b[1], c[1]);
        res_q6 = smlawb(res_q6, b[2], c[2]);
        res_q6 = smlawb(res_q6, b[3], c[3]);
        res_q6 = smlawb(res_q6, b[4], c[4]);
        res_q6 = smlawb(res_q6, b[5], c[5]);
        c = &fir[(kResamplerDownFirOrder / 2) * (fracs - 1 - phase)];
        res_q6 = smlawb(res_q6, b[11], c[0]);
        res_q6 = smlawb(res_q6, b[10], c[1]);
        res_q6 = smlawb(res_q6, b[9], c[2]);
        res_q6 = smlawb(res_q6, b[8], c[3]);
        res_q6 = smlawb(res_q6, b[7], c[4]);
        res_q6 = smlawb(res_q6, b[6], c[5]);
        *out++ = static_cast<int16_t>(sat16(rshift_round(res_q6, 6)));
      }
    }
    in += n;
    length -= n;
    if (length <= 0) break;
    memmove(buf, &buf[n], kResamplerDownFirOrder * sizeof(int32_t));
  }
  memcpy(r->fir, &buf[n], kResamplerDownFirOrder * sizeof(int32_t));
}

}  // namespace

int resampler_init(Resampler* r, int32_t rate_in, int32_t rate_out) {
  memset(r, 0, sizeof(*r));
  // The decoder feeds internal rates of 8 to 24 kHz and asks for 8 to 48 kHz.
  if (rate_in < 8000 || rate_in > 24000 || rate_in % 100 != 0 || rate_out < 8000 || rate_out > 48000) return -1;
  r->batch_size = rate_in / 100;
  r->rate_in = rate_in;
  r->rate_out = rate_out;

  int up2 = 0;
  if (rate_out > rate_in) {
    if (rate_out == 2 * rate_in) {
      r->kind = kResampleUp2;
    } else {
      r->kind = kResampleIirFir;
      up2 = 1;
    }
  } else if (rate_out < rate_in) {
    r->kind = kResampleDownFir;
    if (rate_out * 4 == rate_in * 3) {
      r->fir_fracs = 3;
      r->coefs = kDownFir34Coefs;
    } else if (rate_out * 3 == rate_in * 2) {
      r->fir_fracs = 2;
      r->coefs = kDownFir23Coefs;
    } else if (rate_out * 2 == rate_in) {
      r->fir_fracs = 1;
      r->coefs = kDownFir12Coefs;
    } else if (rate_out * 8 == rate_in * 3) {
      r->fir_fracs = 3;
      r->coefs = kDownFir38Coefs;
    } else if (rate_out * 3 == rate_in) {
      r->fir_fracs = 1;
      r->coefs = kDownFir13Coefs;
    } else {
      r->kind = kResampleIirFir;
      up2 = 1;
    }
  } else {
    r->kind = kResampleCopy;
  }

  // Input step per output sample in Q16 (of the 2x up-sampled signal when up2).
  r->inv_ratio_q16 = ((rate_in << (14 + up2)) / rate_out) << 2;
  while (smulww(r->inv_ratio_q16, rate_out) < (rate_in << up2)) r->inv_ratio_q16++;
  r->ready = kResamplerReady;
  return 0;
}

int resampler_run(Resampler* r, int16_t* out, const int16_t* in, int32_t length) {
  if (r->ready != kResamplerReady) return -1;
  switch (r->kind) {
    case kResampleUp2: up2_hq(r->iir, out, in, length); break;
    case kResampleIirFir: resample_iir_fir(r, out, in, length); break;
    case kResampleDownFir: resample_down_fir(r, out, in, length); break;
    default: memcpy(out, in, static_cast<size_t>(length) * sizeof(int16_t)); break;
  }
  return 0;
}

}  // namespace silk
