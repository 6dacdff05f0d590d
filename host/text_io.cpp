// UTF-8 and ISO-8859-15.
#include "host/text_io.h"

namespace {

// ISO-8859-15 differs from ISO-8859-1 in eight places.
struct Replaced {
  unsigned char byte;
  uint32_t codepoint;
};
constexpr Replaced kReplaced[] = {
    {0xA4, 0x20AC},  // euro sign
    {0xA6, 0x0160},  // S with caron
    {0xA8, 0x0161},  // s with caron
    {0xB4, 0x017D},  // Z with caron
    {0xB8, 0x017E},  // z with caron
    {0xBC, 0x0152},  // OE ligature
    {0xBD, 0x0153},  // oe ligature
    {0xBE, 0x0178},  // Y with diaeresis
};

void append_utf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes one UTF-8 character at `p` (with `left` bytes available).  Returns
// its length, or 0 when the bytes are not a well-formed character (overlong
// forms, surrogates and values above U+10FFFF included).
size_t decode_utf8(const unsigned char* p, size_t left, uint32_t* out) {
  unsigned char c = p[0];
  size_t len;
  uint32_t value;
  uint32_t minimum;
  if (c < 0x80) {
    *out = c;
    return 1;
  } else if ((c & 0xE0) == 0xC0) {
    len = 2, value = c & 0x1F, minimum = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    len = 3, value = c & 0x0F, minimum = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    len = 4, value = c & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (left < len) return 0;
  for (size_t k = 1; k < len; ++k) {
    if ((p[k] & 0xC0) != 0x80) return 0;
    value = (value << 6) | (p[k] & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *out = value;
  return len;
}

}  // namespace

int latin9_from_codepoint(uint32_t codepoint) {
  if (codepoint == 0) return -1;
  for (const Replaced& r : kReplaced) {
    if (codepoint == r.codepoint) return r.byte;
    if (codepoint == r.byte) return -1;  // a Latin-1 character that ISO-8859-15 gave up
  }
  return codepoint <= 0xFF ? static_cast<int>(codepoint) : -1;
}

uint32_t codepoint_from_latin9(unsigned char byte) {
  for (const Replaced& r : kReplaced)
    if (byte == r.byte) return r.codepoint;
  return byte;
}

std::string utf8_to_latin9(std::string_view utf8, std::vector<TextIssue>* issues) {
  std::string out;
  out.reserve(utf8.size());
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  size_t n = utf8.size(), i = 0, character = 0;
  while (i < n) {
    ++character;
    uint32_t codepoint = 0;
    size_t len = decode_utf8(p + i, n - i, &codepoint);
    if (len == 0) {
      if (issues) issues->push_back({character, i + 1, p[i], true});
      // Resynchronise after the stray continuation bytes of the bad sequence.
      ++i;
      for (int k = 0; k < 3 && i < n && (p[i] & 0xC0) == 0x80; ++k) ++i;
      continue;
    }
    int byte = latin9_from_codepoint(codepoint);
    if (byte < 0) {
      if (issues) issues->push_back({character, i + 1, codepoint, false});
    } else {
      out += static_cast<char>(byte);
    }
    i += len;
  }
  return out;
}

std::string latin9_to_utf8(std::string_view latin9) {
  std::string out;
  out.reserve(latin9.size() * 2);
  for (char c : latin9) append_utf8(out, codepoint_from_latin9(static_cast<unsigned char>(c)));
  return out;
}

void report_text_issues(FILE* out, const char* who, const std::vector<TextIssue>& issues) {
  for (const TextIssue& issue : issues) {
    if (issue.invalid_utf8)
      fprintf(out, "%s: byte 0x%02X at byte %zu (character %zu) is not UTF-8; skipped\n", who,
              static_cast<unsigned>(issue.codepoint), issue.byte, issue.character);
    else
      fprintf(out, "%s: character U+%04X at character %zu (byte %zu) is not in ISO-8859-15; skipped\n", who,
              static_cast<unsigned>(issue.codepoint), issue.character, issue.byte);
  }
}
