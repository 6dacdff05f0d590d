// The SSML subset that `selvana say --ssml` reads: speak, p, s, break (time
// and strength), say-as (interpret-as, format), phoneme with
// alphabet="x-sampa", mark (name) and prosody (rate, pitch, range, volume).  Other elements are passed over (their text is still
// read) with a warning; malformed markup is an error with its line and
// column.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/prosody_control.h"

// Limits on what a document may ask for.  A longer break is shortened to
// kSsmlMaxBreakMs (as a break strength is a request, not a promise); a
// document over any other limit is refused with a message naming it.
constexpr int32_t kSsmlMaxBreakMs = 10000;              // one break
constexpr int64_t kSsmlMaxTotalBreakMs = 600000;        // all breaks of a document together: 10 minutes
constexpr size_t kSsmlMaxDepth = 256;                   // elements inside elements
constexpr size_t kSsmlMaxDocumentBytes = size_t{64} << 20;  // 64 MiB of markup

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
  // kText: the enclosing prosody elements' controls, as factors on the
  // engine's own (a sentence takes those of its first text).
  ProsodyControl prosody;
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

// The factor that a prosody attribute ("rate", "pitch", "range" or
// "volume") asks for, given the enclosing element's factor `current`:
//   rate    x-slow 0.5, slow 0.75, medium 1, fast 1.5, x-fast 2, default 1;
//   pitch and range   x-low 0.7, low 0.85, medium 1, high 1.2, x-high 1.4,
//           default 1; "+2st" / "-3.5st" semitones;
//   volume  silent 0, x-soft 0.25, soft 0.5, medium 1, loud 1.5, x-loud 2,
//           default 1; "+6dB" / "-3dB" decibels;
// and for all: "150%" or "0.8" (a factor on the voice's own value), "+20%"
// / "-10%" (a change of the enclosing value).  False when the value is none
// of these (Hz values too: the voice's own pitch is not a fixed number).
bool ssml_prosody_factor(const std::string& attribute, const std::string& value, double current, double* out);

// The controls for a piece: the engine's own times the piece's factors.
ProsodyControl ssml_prosody_on(const ProsodyControl& engine, const ProsodyControl& piece);
