// Little-endian numbers in byte buffers: the unit database file and the
// records it holds store every number this way, least significant byte first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline uint16_t read_le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t read_le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// Writes over four bytes already there.
inline void write_le32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Appends at the end of a growing buffer.
inline void append_le16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

inline void append_le32(std::vector<uint8_t>& out, uint32_t v) {
  append_le16(out, v & 0xffff);
  append_le16(out, v >> 16);
}
