// The SSML subset that `selvana say --ssml` reads: speak, p, s, break (time
// and strength), say-as (interpret-as, format), phoneme with
// alphabet="x-sampa" and mark (name).  Other elements are passed over (their text is still
// read) with a warning; malformed markup is an error with its line and
// column.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SsmlPiece {
  enum Kind { kText, kBreak, kSentenceEnd, kMark };
  Kind kind = kText;
  std::string text;                 // kText: UTF-8 text, entities resolved
  std::string interpret_as;         // from an enclosing say-as
  std::string interpret_as_format;  // its format attribute
  std::string phonemes;             // from an enclosing phoneme: X-SAMPA
  int32_t break_ms = 0;             // kBreak: the pause
  std::string mark;                 // kMark: its name
  // kText: for each byte of `text`, the offset in the document of the byte
  // (or of the entity) it comes from.
  std::vector<uint32_t> origin;
};

// Parses a whole document.  False with a one-line `error` ("line L, column
// C: ...") for malformed markup.  Warnings (elements passed over) go to
// `warnings`.
bool ssml_parse(const std::string& document, std::vector<SsmlPiece>* out, std::string* error,
                std::vector<std::string>* warnings);

// The pause of a break's strength ("none" .. "x-strong"), or -1.
int32_t ssml_strength_ms(const std::string& strength);
// A break's time ("250ms", "1.5s"), or -1 when it is not a time.
int32_t ssml_time_ms(const std::string& time);
