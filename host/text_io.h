// Conversion between the UTF-8 text of the command line and the ISO-8859-15
// text that the voice module reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// A character of the input that has no ISO-8859-15 form (or bytes that are
// not UTF-8).  Positions count from 1.
struct TextIssue {
  size_t character;    // position of the character in the input
  size_t byte;         // position of its first byte
  uint32_t codepoint;  // the character; for invalid UTF-8, the offending byte
  bool invalid_utf8;   // the bytes did not form a UTF-8 character
};

// The ISO-8859-15 byte of a Unicode code point, or -1 when it has none.  The
// NUL character has none either: module texts end at it.
int latin9_from_codepoint(uint32_t codepoint);
// The Unicode code point of an ISO-8859-15 byte.
uint32_t codepoint_from_latin9(unsigned char byte);

// Converts UTF-8 to ISO-8859-15.  Characters outside ISO-8859-15 and bytes
// that are not UTF-8 are left out and listed in `issues` (when given).
std::string utf8_to_latin9(std::string_view utf8, std::vector<TextIssue>* issues);
// Converts ISO-8859-15 to UTF-8.
std::string latin9_to_utf8(std::string_view latin9);

// One line per issue on `out`, each beginning with `who` and a colon.
void report_text_issues(FILE* out, const char* who, const std::vector<TextIssue>& issues);
