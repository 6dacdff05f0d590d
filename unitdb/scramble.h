// The scrambling of the compressed unit stores: a block of L bytes is XORed
// with an 8-byte key made of the database checksum (least significant byte
// first), then, when L >= 5 and L is not a multiple of 4, the block's own last
// L mod 4 bytes, then zeros.  Those tail bytes are left as they are, so the
// same operation scrambles and unscrambles.  The key is built for every
// block and never stored.
#pragma once

#include <cstdint>
#include <cstring>

inline void unscramble(uint8_t* block, uint32_t length, uint32_t checksum) {
  uint8_t key[8] = {static_cast<uint8_t>(checksum), static_cast<uint8_t>(checksum >> 8),
                    static_cast<uint8_t>(checksum >> 16), static_cast<uint8_t>(checksum >> 24), 0, 0, 0, 0};
  uint32_t tail = length % 4;
  uint32_t body = length;
  if (length >= 5 && tail != 0) {
    memcpy(key + 4, block + length - tail, tail);
    body = length - tail;
  }
  for (uint32_t i = 0; i < body; ++i) block[i] ^= key[i % 8];
}
