// Constant tables of the SILK decoder: entropy-coding CDFs with the index at
// which each search starts, quantiser tables, pitch contours, the NLSF
// codebooks, the output high-pass filters and the resampler filters.
//
// CDFs are cumulative counts in Q16 running from 0 to 65535; the decoder looks
// for the interval that holds the current range-decoder value, starting at
// the "start" index given beside each table.
#pragma once

#include <cstdint>

namespace silk {

// Entropy coding of the frame header, gains, pitch, LTP and excitation.
extern const uint16_t kSamplingRatesCdf[5];
extern const int kSamplingRatesStart;
extern const int16_t kSamplingRatesKhz[4];
extern const uint16_t kTypeOffsetCdf[5];
extern const int kTypeOffsetStart;
extern const uint16_t kTypeOffsetJointCdf[4][5];
extern const uint16_t kGainCdf[2][65];
extern const int kGainStart;
extern const uint16_t kDeltaGainCdf[46];
extern const int kDeltaGainStart;
extern const uint16_t kNlsfInterpFactorCdf[6];
extern const int kNlsfInterpFactorStart;
extern const uint16_t kPitchLagNbCdf[130];
extern const int kPitchLagNbStart;
extern const uint16_t kPitchLagMbCdf[194];
extern const int kPitchLagMbStart;
extern const uint16_t kPitchLagWbCdf[258];
extern const int kPitchLagWbStart;
extern const uint16_t kPitchLagSwbCdf[386];
extern const int kPitchLagSwbStart;
extern const uint16_t kPitchContourNbCdf[12];
extern const int kPitchContourNbStart;
extern const uint16_t kPitchContourCdf[35];
extern const int kPitchContourStart;
extern const uint16_t kLtpPeriodicityCdf[4];
extern const int kLtpPeriodicityStart;
extern const uint16_t kLtpGainCdf0[11];
extern const uint16_t kLtpGainCdf1[21];
extern const uint16_t kLtpGainCdf2[41];
extern const int16_t kLtpGainStarts[3];
extern const int16_t kLtpGainVq0Q14[10][5];
extern const int16_t kLtpGainVq1Q14[20][5];
extern const int16_t kLtpGainVq2Q14[40][5];
extern const uint16_t kLtpScaleCdf[4];
extern const int kLtpScaleStart;
extern const int16_t kLtpScalesQ14[3];
extern const uint16_t kSeedCdf[5];
extern const int kSeedStart;
extern const uint16_t kRateLevelsCdf[2][10];
extern const int kRateLevelsStart;
extern const uint16_t kPulsesPerBlockCdf[10][21];
extern const int kPulsesPerBlockStart;
extern const uint16_t kShellCodeTable0[33];
extern const uint16_t kShellCodeTable1[52];
extern const uint16_t kShellCodeTable2[102];
extern const uint16_t kShellCodeTable3[207];
extern const uint16_t kShellCodeTableOffsets[19];
extern const uint16_t kLsbCdf[3];
extern const uint16_t kSignCdf[36];
extern const uint16_t kVadFlagCdf[3];
extern const int kVadFlagStart;
extern const uint16_t kFrameTerminationCdf[5];
extern const int kFrameTerminationStart;
extern const int16_t kQuantOffsetsQ10[2][2];
extern const int16_t kHighPassA24[2];
extern const int16_t kHighPassB24[3];
extern const int16_t kHighPassA16[2];
extern const int16_t kHighPassB16[3];
extern const int16_t kHighPassA12[2];
extern const int16_t kHighPassB12[3];
extern const int16_t kHighPassA8[2];
extern const int16_t kHighPassB8[3];
extern const int8_t kPitchContourStage2[4][11];
extern const int8_t kPitchContourStage3[4][34];
extern const int16_t kLsfCosQ12[129];

// One multi-stage vector quantiser for normalised line spectral frequencies:
// stage s has stage_vectors[s] vectors of `order` entries starting at vector
// stage_first[s] in vectors_q15, and its CDF starts at cdf[cdf_starts[s]]
// with the search starting at index middle[s].
struct NlsfCodebook {
  int stages;
  const uint16_t* cdf;
  const int16_t* cdf_starts;
  const int16_t* middle;
  const int16_t* delta_min_q15;  // order + 1 minimum spacings
  const int16_t* vectors_q15;
  const int16_t* stage_vectors;
  const int16_t* stage_first;
};

// Codebooks for unvoiced (0) and voiced (1) frames at order 10 (8 kHz) and 16.
extern const NlsfCodebook kNlsfCodebook0Order10;
extern const NlsfCodebook kNlsfCodebook1Order10;
extern const NlsfCodebook kNlsfCodebook0Order16;
extern const NlsfCodebook kNlsfCodebook1Order16;

// Output resampler: 2x up-sampler allpass and notch coefficients, the
// IIR + FIR coefficient sets of the fractional down-samplers (two AR
// coefficients, then FIR taps), and the 144-phase interpolation FIR.
extern const int16_t kUp2Hq0[2];
extern const int16_t kUp2Hq1[2];
extern const int16_t kUp2HqNotch[4];
extern const int16_t kDownFir34Coefs[20];
extern const int16_t kDownFir23Coefs[14];
extern const int16_t kDownFir12Coefs[8];
extern const int16_t kDownFir38Coefs[20];
extern const int16_t kDownFir13Coefs[8];
// Interpolation FIR: for each of the 144 phases its six taps in order (the
// stored half of the symmetric filter followed by the mirrored phase), padded
// to eight.
extern const int16_t kFracFir144Taps[144][8];

}  // namespace silk
