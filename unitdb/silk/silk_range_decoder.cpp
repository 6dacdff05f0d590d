// Range decoder of the SILK bitstream: 16-bit range, 32-bit base, byte-wise
// renormalisation, symbols looked up in Q16 CDFs.
#include <cstring>

#include "unitdb/silk/silk_fixed.h"
#include "unitdb/silk/silk_internal.h"

namespace silk {

void range_decoder_init(RangeDecoder* rc, const uint8_t* payload, int32_t length) {
  if (length > kSilkMaxPayloadBytes || length < 0) {
    rc->error = kRangePayloadTooLong;
    rc->length = 0;
    return;
  }
  if (length > 0) memcpy(rc->buffer, payload, static_cast<size_t>(length));
  rc->length = length;
  rc->index = 0;
  // The first four bytes seed the base; bytes past a short payload read as zero.
  uint32_t base = 0;
  for (int i = 0; i < 4; i++) base = (base << 8) | (i < length ? payload[i] : 0u);
  rc->base = base;
  rc->range = 0xffff;
  rc->error = 0;
}

int range_decode(RangeDecoder* rc, const uint16_t* cdf, int start) {
  if (rc->error) return 0;
  uint32_t base = rc->base;
  uint32_t range = rc->range;
  int32_t index = rc->index;
  const uint8_t* bytes = rc->buffer + 4;

  int symbol = start;
  uint32_t high = cdf[symbol];
  uint32_t low;
  if (range * high > base) {
    for (;;) {
      low = cdf[--symbol];
      if (range * low <= base) break;
      high = low;
      if (high == 0) {
        rc->error = kRangeCdfOutOfRange;
        return 0;
      }
    }
  } else {
    for (;;) {
      low = high;
      high = cdf[++symbol];
      if (range * high > base) {
        symbol--;
        break;
      }
      if (high == 0xffff) {
        rc->error = kRangeCdfOutOfRange;
        return 0;
      }
    }
  }

  base -= range * low;
  uint32_t range32 = range * (high - low);
  if (range32 & 0xff000000u) {
    range = range32 >> 16;
  } else {
    if (range32 & 0xffff0000u) {
      range = range32 >> 8;
      if (base >> 24) {
        rc->error = kRangeNormalizationFailed;
        return 0;
      }
    } else {
      range = range32;
      if (base >> 16) {
        rc->error = kRangeNormalizationFailed;
        return 0;
      }
      base <<= 8;
      if (index < rc->length) base |= bytes[index++];
    }
    base <<= 8;
    if (index < rc->length) base |= bytes[index++];
  }
  if (range == 0) {
    rc->error = kRangeZeroIntervalWidth;
    return 0;
  }
  rc->base = base;
  rc->range = range;
  rc->index = index;
  return symbol;
}

namespace {

int32_t bits_used(const RangeDecoder* rc) {
  return (rc->index << 3) + clz32(static_cast<int32_t>(rc->range - 1)) - 14;
}

}  // namespace

int32_t range_decoder_bytes_used(const RangeDecoder* rc) { return (bits_used(rc) + 7) >> 3; }

void range_decoder_check_tail(RangeDecoder* rc) {
  int32_t bits = bits_used(rc);
  int32_t bytes = (bits + 7) >> 3;
  if (bytes - 1 >= rc->length) {
    rc->error = kRangeCheckFailed;
    return;
  }
  if (bits & 7) {
    int mask = 0xff >> (bits & 7);
    if ((rc->buffer[bytes - 1] & mask) != mask) rc->error = kRangeCheckFailed;
  }
}

}  // namespace silk
