// The pieces of speech-dispatcher's output-module protocol that do not need
// the engine: reading command lines, the SET parameters and their mapping onto
// the engine's speaking parameters, the AUDIO event's framing, and the text
// that CHAR, KEY and spelling mode hand to the engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace speechd {

// Reads '\n'-terminated lines from a descriptor (a final line without '\n'
// counts as a line).
class LineReader {
 public:
  explicit LineReader(int fd) : fd_(fd) {}
  // The next line without its '\n'; false at the end of the input or on a
  // read error.
  bool next(std::string* line);

 private:
  int fd_;
  std::string buffer_;
  size_t start_ = 0;
  bool eof_ = false;
};

enum class Punctuation { kNone, kSome, kMost, kAll };
enum class CapitalLetters { kNone, kSpell, kIcon };

// What the server set with SET.  Numbers are on speech-dispatcher's scale,
// -100 to 100, 0 being the voice as recorded (volume: 100 is the voice as
// recorded, as speech-dispatcher's "DefaultVolume 100" means).
struct Settings {
  int rate = 0;
  int pitch = 0;
  int pitch_range = 0;
  int volume = 100;
  Punctuation punctuation = Punctuation::kNone;
  bool spelling = false;
  CapitalLetters capitals = CapitalLetters::kNone;
  std::string voice_type;       // "male1" ... "child_female", "" when unset
  std::string language;         // a language tag, "" when unset
  std::string synthesis_voice;  // a name from LIST VOICES, "" when unset
};

enum class SetResult { kOk, kIgnored, kBadValue };

// Applies one "name=value" line of SET.  A value outside the parameter's
// range or vocabulary is kBadValue and leaves the setting as it was; "NULL"
// resets a string parameter; a name the module does not know is kIgnored
// (newer servers send more than this module reads).
SetResult apply_setting(Settings* settings, std::string_view name, std::string_view value);

// The engine's factors for speech-dispatcher's values (see README):
//   rate         2^(r/50):  -100 -> 0.25, 0 -> 1, 100 -> 4 (one doubling per 50 steps)
//   pitch        2^(p/100): -100 -> 0.5,  0 -> 1, 100 -> 2
//   pitch range  1 + q/100: -100 -> 0 (monotone), 0 -> 1, 100 -> 2
//   volume       (v+100)/200: -100 -> 0 (silent), 100 -> 1 (the voice as recorded)
double rate_factor(int rate);
double pitch_factor(int pitch);
double pitch_range_factor(int pitch_range);
double volume_factor(int volume);

// Appends one AUDIO event (code 705) carrying `count` 16-bit mono samples in
// the host's byte order, the data escaped so that it holds no '\n'.
void append_audio_event(std::string* out, const int16_t* samples, size_t count, int sample_rate);

// Escapes &, < and > for SSML text.
std::string xml_escape(std::string_view text);

// The SSML document for CHAR: the character spelt, preceded by the word for
// a capital letter when `say_capital`.
std::string char_ssml(std::string_view character, bool say_capital);
// Whether a one-character UTF-8 string is a capital letter (A-Z and the
// capitals of Latin-1).
bool is_capital_letter(std::string_view character);
// The SSML document for KEY: modifiers and the key's name in Portuguese, a
// single character spelt.  `key` is SSIP's key name ("a", "shift_a",
// "control_alt_delete", "kp-enter", ...).
std::string key_ssml(std::string_view key);
// The same document with every run of text between tags spelt character by
// character (spelling mode).  Plain text (not starting with '<') is escaped
// and wrapped in <speak>.
std::string spelled_ssml(std::string_view document);

// speech-dispatcher's SSML with every <mark/> that a space follows moved
// after that space ("Olá!<mark name="m"/> Eu" becomes "Olá! <mark
// name="m"/>Eu"): the mark keeps its place in the speech, and the engine sees
// the punctuation and the space together, which is where it ends a sentence
// and starts speaking.
std::string marks_after_spaces(std::string_view document);

// Whether a SPEAK text is SSML (its first non-blank character is '<').
bool looks_like_ssml(std::string_view text);

}  // namespace speechd
