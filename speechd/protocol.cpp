#include "speechd/protocol.h"

#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <unistd.h>

namespace speechd {

bool LineReader::next(std::string* line) {
  for (;;) {
    size_t nl = buffer_.find('\n', start_);
    if (nl != std::string::npos) {
      line->assign(buffer_, start_, nl - start_);
      start_ = nl + 1;
      return true;
    }
    if (eof_) {
      if (start_ >= buffer_.size()) return false;
      line->assign(buffer_, start_, std::string::npos);
      start_ = buffer_.size();
      return true;
    }
    buffer_.erase(0, start_);
    start_ = 0;
    char chunk[4096];
    ssize_t n = read(fd_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      eof_ = true;
      continue;
    }
    buffer_.append(chunk, static_cast<size_t>(n));
  }
}

namespace {

bool equals_lower(std::string_view a, std::string_view lower) {
  if (a.size() != lower.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char c = a[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lower[i]) return false;
  }
  return true;
}

// One of `words` (compared without case), as its index, or -1.
template <size_t N>
int pick(std::string_view value, const std::string_view (&words)[N]) {
  for (size_t i = 0; i < N; ++i)
    if (equals_lower(value, words[i])) return static_cast<int>(i);
  return -1;
}

bool parse_level(std::string_view value, int* out) {
  int v = 0;
  const char* end = value.data() + value.size();
  const char* first = value.data();
  if (first != end && *first == '+') ++first;
  auto [p, ec] = std::from_chars(first, end, v);
  if (ec != std::errc() || p != end || first == end || v < -100 || v > 100) return false;
  *out = v;
  return true;
}

bool is_alnum(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// A language tag such as "pt", "pt-BR", "pt_BR" or "en-US-x-foo".
bool valid_language(std::string_view tag) {
  size_t run = 0;
  for (char c : tag) {
    if (c == '-' || c == '_') {
      if (run == 0) return false;
      run = 0;
    } else if (is_alnum(c) && run < 8) {
      ++run;
    } else {
      return false;
    }
  }
  return run > 0;
}

}  // namespace

SetResult apply_setting(Settings* s, std::string_view name, std::string_view value) {
  static constexpr std::string_view kPunctuation[] = {"none", "some", "most", "all"};
  static constexpr std::string_view kSpelling[] = {"off", "on"};
  static constexpr std::string_view kCapitals[] = {"none", "spell", "icon"};
  static constexpr std::string_view kVoiceTypes[] = {"male1",   "male2",   "male3",      "female1",
                                                     "female2", "female3", "child_male", "child_female"};
  const bool null = value == "NULL";
  int* level = name == "rate"          ? &s->rate
               : name == "pitch"       ? &s->pitch
               : name == "pitch_range" ? &s->pitch_range
               : name == "volume"      ? &s->volume
                                       : nullptr;
  if (level) return parse_level(value, level) ? SetResult::kOk : SetResult::kBadValue;

  int i;
  if (name == "punctuation_mode") {
    if ((i = null ? 0 : pick(value, kPunctuation)) < 0) return SetResult::kBadValue;
    s->punctuation = static_cast<Punctuation>(i);
  } else if (name == "spelling_mode") {
    if ((i = null ? 0 : pick(value, kSpelling)) < 0) return SetResult::kBadValue;
    s->spelling = i == 1;
  } else if (name == "cap_let_recogn") {
    if ((i = null ? 0 : pick(value, kCapitals)) < 0) return SetResult::kBadValue;
    s->capitals = static_cast<CapitalLetters>(i);
  } else if (name == "voice") {
    if (!null && pick(value, kVoiceTypes) < 0) return SetResult::kBadValue;
    s->voice_type = null ? "" : std::string(value);
  } else if (name == "language") {
    if (!null && !valid_language(value)) return SetResult::kBadValue;
    s->language = null ? "" : std::string(value);
  } else if (name == "synthesis_voice") {
    if (value.empty()) return SetResult::kBadValue;
    s->synthesis_voice = null ? "" : std::string(value);
  } else {
    return SetResult::kIgnored;
  }
  return SetResult::kOk;
}

double rate_factor(int rate) { return std::exp2(rate / 50.0); }
double pitch_factor(int pitch) { return std::exp2(pitch / 100.0); }
double pitch_range_factor(int pitch_range) { return 1.0 + pitch_range / 100.0; }
double volume_factor(int volume) { return (volume + 100) / 200.0; }

void append_audio_event(std::string* out, const int16_t* samples, size_t count, int sample_rate) {
  constexpr char kEscape = 0x7d;
  out->append("705-bits=16\n705-num_channels=1\n705-sample_rate=");
  out->append(std::to_string(sample_rate));
  out->append("\n705-num_samples=");
  out->append(std::to_string(count));
  out->append(std::endian::native == std::endian::big ? "\n705-big_endian=1\n" : "\n705-big_endian=0\n");
  out->append("705-AUDIO");
  out->push_back('\0');
  const char* p = reinterpret_cast<const char*>(samples);
  const char* end = p + count * sizeof(int16_t);
  while (p < end) {
    const char* run = p;
    while (p < end && *p != '\n' && *p != kEscape) ++p;
    out->append(run, static_cast<size_t>(p - run));
    if (p < end) {
      out->push_back(kEscape);
      out->push_back(static_cast<char>(*p ^ 0x20));
      ++p;
    }
  }
  out->append("\n705 AUDIO\n");
}

std::string xml_escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

namespace {

constexpr std::string_view kSpeakOpen = "<speak>";
constexpr std::string_view kSpeakClose = "</speak>";

std::string spelt(std::string_view text) {
  return "<say-as interpret-as=\"characters\">" + xml_escape(text) + "</say-as>";
}

bool one_character(std::string_view s) {
  if (s.empty()) return false;
  auto lead = static_cast<unsigned char>(s[0]);
  size_t len = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xe ? 3 : (lead >> 3) == 0x1e ? 4 : 0;
  return len == s.size();
}

// A character's spoken name where spelling it would say nothing.
std::string_view blank_name(std::string_view c) {
  if (c == " ") return "espaço";
  if (c == "\t") return "tab";
  return {};
}

}  // namespace

bool is_capital_letter(std::string_view c) {
  if (c.size() == 1) return c[0] >= 'A' && c[0] <= 'Z';
  if (c.size() != 2 || static_cast<unsigned char>(c[0]) != 0xc3) return false;
  // U+00C0..U+00DE without U+00D7 (the multiplication sign).
  auto second = static_cast<unsigned char>(c[1]);
  return second >= 0x80 && second <= 0x9e && second != 0x97;
}

std::string char_ssml(std::string_view character, bool say_capital) {
  std::string out(kSpeakOpen);
  if (std::string_view name = blank_name(character); !name.empty()) {
    out += name;
  } else {
    if (say_capital) out += "maiúscula ";
    out += spelt(character);
  }
  out += kSpeakClose;
  return out;
}

std::string key_ssml(std::string_view key) {
  struct Name {
    std::string_view key, spoken;
  };
  static constexpr Name kNames[] = {
      {"space", "espaço"},          {"underscore", "sublinhado"},
      {"double-quote", "aspas"},    {"backspace", "retrocesso"},
      {"delete", "delete"},         {"down", "seta para baixo"},
      {"escape", "esc"},            {"left", "seta para a esquerda"},
      {"next", "page down"},        {"prior", "page up"},
      {"print", "print screen"},    {"return", "enter"},
      {"right", "seta para a direita"}, {"up", "seta para cima"},
      {"window", "tecla windows"},  {"num-lock", "num lock"},
      {"scroll-lock", "scroll lock"}, {"kp-*", "asterisco"},
      {"kp-+", "mais"},             {"kp--", "menos"},
      {"kp-.", "ponto"},            {"kp-/", "barra"},
  };
  std::string out(kSpeakOpen);
  // Modifiers first ("control_alt_delete"), each followed by a space.
  size_t cut = key.rfind('_');
  if (cut != std::string_view::npos && cut + 1 < key.size()) {
    std::string_view mods = key.substr(0, cut);
    for (char c : mods) out += c == '_' ? ' ' : c;
    out += ' ';
    key = key.substr(cut + 1);
  }
  std::string_view name = key;
  bool keypad = key.size() > 3 && key.starts_with("kp-");
  if (keypad) out += "teclado numérico ";
  for (const Name& n : kNames) {
    if (n.key == key) {
      out += n.spoken;
      out += kSpeakClose;
      return out;
    }
  }
  if (keypad) name = key.substr(3);
  if (one_character(name)) {
    out += spelt(name);
  } else if (name.size() > 1 && (name[0] == 'f' || name[0] == 'F') && name.find_first_not_of("0123456789", 1) == std::string_view::npos) {
    out += spelt("F");
    out += ' ';
    out += name.substr(1);
  } else {
    std::string words(name);
    for (char& c : words)
      if (c == '-') c = ' ';
    out += xml_escape(words);
  }
  out += kSpeakClose;
  return out;
}

bool looks_like_ssml(std::string_view text) {
  size_t i = text.find_first_not_of(" \t\r\n");
  return i != std::string_view::npos && text[i] == '<';
}

std::string marks_after_spaces(std::string_view document) {
  std::string out;
  out.reserve(document.size() + 16);
  size_t i = 0;
  while (i < document.size()) {
    size_t tag = document.find("<mark", i);
    if (tag == std::string_view::npos) break;
    size_t end = document.find('>', tag);
    if (end == std::string_view::npos) break;
    size_t after = document.find_first_not_of(" \t\r\n", end + 1);
    if (after == std::string_view::npos) after = document.size();
    out.append(document.substr(i, tag - i));
    out.append(document.substr(end + 1, after - end - 1));
    out.append(document.substr(tag, end + 1 - tag));
    i = after;
  }
  out.append(document.substr(i));
  return out;
}

std::string spelled_ssml(std::string_view document) {
  if (!looks_like_ssml(document)) return std::string(kSpeakOpen) + spelt(document) + std::string(kSpeakClose);
  std::string out;
  out.reserve(document.size() * 2);
  size_t i = 0;
  while (i < document.size()) {
    if (document[i] == '<') {
      // A tag, up to its '>' outside quoted attribute values.
      char quote = 0;
      size_t j = i + 1;
      for (; j < document.size(); ++j) {
        char c = document[j];
        if (quote) {
          if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
          quote = c;
        } else if (c == '>') {
          break;
        }
      }
      j = j < document.size() ? j + 1 : j;
      out.append(document.substr(i, j - i));
      i = j;
    } else {
      size_t j = document.find('<', i);
      if (j == std::string_view::npos) j = document.size();
      std::string_view run = document.substr(i, j - i);
      if (run.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        out.append(run);
      } else {
        // The run is already escaped SSML text: keep its entities.
        out += "<say-as interpret-as=\"characters\">";
        out.append(run);
        out += "</say-as>";
      }
      i = j;
    }
  }
  return out;
}

}  // namespace speechd
