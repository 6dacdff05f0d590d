#include "host/ssml.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>

namespace {

struct Open {
  std::string name;
  std::string interpret_as, format, phonemes;
  ProsodyControl prosody;
};

bool same(const ProsodyControl& a, const ProsodyControl& b) {
  return a.rate == b.rate && a.pitch == b.pitch && a.pitch_range == b.pitch_range && a.volume == b.volume;
}

// A decimal number filling the whole text, or false.
bool number(const std::string& text, double* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  *out = strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && std::isfinite(*out);
}

class Parser {
 public:
  Parser(const std::string& doc, std::vector<SsmlPiece>* out, std::vector<std::string>* warnings)
      : doc_(doc), out_(out), warnings_(warnings) {}

  bool run(std::string* error) {
    while (pos_ < doc_.size() && error_.empty()) {
      if (doc_[pos_] == '<') {
        markup();
      } else {
        text();
      }
    }
    if (error_.empty() && !stack_.empty()) fail_at(doc_.size(), "element <" + stack_.back().name + "> is not closed");
    if (error_.empty() && !seen_speak_) fail_at(0, "the document has no <speak> element");
    if (!error_.empty()) *error = error_;
    return error_.empty();
  }

 private:
  void fail_at(size_t at, const std::string& what) {
    if (!error_.empty()) return;
    size_t line = 1, column = 1;
    for (size_t i = 0; i < at && i < doc_.size(); ++i) {
      if (doc_[i] == '\n') {
        ++line;
        column = 1;
      } else if ((static_cast<unsigned char>(doc_[i]) & 0xc0) != 0x80) {
        ++column;
      }
    }
    error_ = "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + what;
  }

  static bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
  static bool is_name(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == ':' || c == '.';
  }

  void skip_space() {
    while (pos_ < doc_.size() && is_space(doc_[pos_])) ++pos_;
  }

  std::string name() {
    size_t start = pos_;
    while (pos_ < doc_.size() && is_name(doc_[pos_])) ++pos_;
    return doc_.substr(start, pos_ - start);
  }

  // Resolves the entities of raw text; false (error set) on an unknown one.
  bool decode(const std::string& raw, size_t at, std::string* out, std::vector<uint32_t>* origin = nullptr) {
    static const std::map<std::string, std::string> kNamed = {
        {"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"apos", "'"}};
    out->clear();
    if (origin) origin->clear();
    auto mark_origin = [&](size_t i) {
      if (origin) origin->resize(out->size(), static_cast<uint32_t>(at + i));
    };
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] != '&') {
        *out += raw[i];
        mark_origin(i);
        continue;
      }
      size_t semi = raw.find(';', i);
      if (semi == std::string::npos || semi - i > 10) {
        fail_at(at + i, "'&' does not start an entity (write &amp;)");
        return false;
      }
      std::string ent = raw.substr(i + 1, semi - i - 1);
      auto it = kNamed.find(ent);
      if (it != kNamed.end()) {
        *out += it->second;
      } else if (ent.size() > 1 && ent[0] == '#') {
        char* end = nullptr;
        bool hex = ent[1] == 'x' || ent[1] == 'X';
        const char* digits = ent.c_str() + (hex ? 2 : 1);
        unsigned long cp = strtoul(digits, &end, hex ? 16 : 10);
        if (!*digits || *end || cp == 0 || cp > 0x10ffff || (cp >= 0xd800 && cp < 0xe000)) {
          fail_at(at + i, "bad character reference &" + ent + ";");
          return false;
        }
        // UTF-8 encoding of the code point.
        if (cp < 0x80) {
          *out += static_cast<char>(cp);
        } else if (cp < 0x800) {
          *out += static_cast<char>(0xc0 | (cp >> 6));
          *out += static_cast<char>(0x80 | (cp & 0x3f));
        } else if (cp < 0x10000) {
          *out += static_cast<char>(0xe0 | (cp >> 12));
          *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
          *out += static_cast<char>(0x80 | (cp & 0x3f));
        } else {
          *out += static_cast<char>(0xf0 | (cp >> 18));
          *out += static_cast<char>(0x80 | ((cp >> 12) & 0x3f));
          *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
          *out += static_cast<char>(0x80 | (cp & 0x3f));
        }
      } else {
        fail_at(at + i, "unknown entity &" + ent + ";");
        return false;
      }
      mark_origin(i);
      i = semi;
    }
    return true;
  }

  void text() {
    size_t start = pos_;
    size_t end = doc_.find('<', pos_);
    if (end == std::string::npos) end = doc_.size();
    pos_ = end;
    std::string raw = doc_.substr(start, end - start);
    bool blank = true;
    for (char c : raw) blank = blank && is_space(c);
    if (blank) {
      if (!stack_.empty()) add_text(" ", {static_cast<uint32_t>(start)});
      return;
    }
    if (stack_.empty()) {
      fail_at(start, seen_speak_ ? "text after </speak>" : "text before <speak>");
      return;
    }
    std::string decoded;
    std::vector<uint32_t> origin;
    if (decode(raw, start, &decoded, &origin)) add_text(decoded, origin);
  }

  void add_text(const std::string& t, const std::vector<uint32_t>& origin) {
    const Open& top = stack_.back();
    if (!out_->empty()) {
      SsmlPiece& last = out_->back();
      if (last.kind == SsmlPiece::kText && last.interpret_as == top.interpret_as &&
          last.interpret_as_format == top.format && last.phonemes == top.phonemes && same(last.prosody, top.prosody) &&
          !in_hint_start_) {
        last.text += t;
        last.origin.insert(last.origin.end(), origin.begin(), origin.end());
        return;
      }
    }
    in_hint_start_ = false;
    SsmlPiece p;
    p.text = t;
    p.origin = origin;
    p.interpret_as = top.interpret_as;
    p.interpret_as_format = top.format;
    p.phonemes = top.phonemes;
    p.prosody = top.prosody;
    out_->push_back(p);
  }

  void sentence_end() {
    if (!out_->empty() && out_->back().kind == SsmlPiece::kSentenceEnd) return;
    SsmlPiece p;
    p.kind = SsmlPiece::kSentenceEnd;
    out_->push_back(p);
  }

  void markup() {
    const size_t start = pos_;
    if (doc_.compare(pos_, 4, "<!--") == 0) {
      size_t end = doc_.find("-->", pos_ + 4);
      if (end == std::string::npos) return fail_at(start, "comment is not closed");
      pos_ = end + 3;
      return;
    }
    if (doc_.compare(pos_, 2, "<?") == 0) {
      size_t end = doc_.find("?>", pos_ + 2);
      if (end == std::string::npos) return fail_at(start, "processing instruction is not closed");
      pos_ = end + 2;
      return;
    }
    if (doc_.compare(pos_, 2, "<!") == 0) {
      size_t end = doc_.find('>', pos_);
      if (end == std::string::npos) return fail_at(start, "declaration is not closed");
      pos_ = end + 1;
      return;
    }
    ++pos_;
    bool closing = pos_ < doc_.size() && doc_[pos_] == '/';
    if (closing) ++pos_;
    std::string tag = name();
    if (tag.empty()) return fail_at(start, "'<' does not start a tag (write &lt;)");
    std::map<std::string, std::string> attrs;
    bool empty = false;
    for (;;) {
      skip_space();
      if (pos_ >= doc_.size()) return fail_at(start, "tag <" + tag + "> is not closed");
      char c = doc_[pos_];
      if (c == '>') {
        ++pos_;
        break;
      }
      if (c == '/' && !closing && pos_ + 1 < doc_.size() && doc_[pos_ + 1] == '>') {
        pos_ += 2;
        empty = true;
        break;
      }
      if (closing) return fail_at(pos_, "closing tag </" + tag + "> has attributes");
      size_t at = pos_;
      std::string key = name();
      if (key.empty()) return fail_at(at, std::string("unexpected '") + c + "' in tag <" + tag + ">");
      skip_space();
      if (pos_ >= doc_.size() || doc_[pos_] != '=') return fail_at(pos_, "attribute " + key + " has no value");
      ++pos_;
      skip_space();
      if (pos_ >= doc_.size() || (doc_[pos_] != '"' && doc_[pos_] != '\''))
        return fail_at(pos_, "the value of " + key + " is not quoted");
      char quote = doc_[pos_++];
      size_t end = doc_.find(quote, pos_);
      if (end == std::string::npos) return fail_at(at, "the value of " + key + " is not closed");
      std::string value;
      if (!decode(doc_.substr(pos_, end - pos_), pos_, &value)) return;
      if (attrs.count(key)) return fail_at(at, "attribute " + key + " is given twice");
      attrs[key] = value;
      pos_ = end + 1;
    }
    if (closing) return close(tag, start);
    open(tag, attrs, start);
    if (!error_.empty()) return;
    if (empty) close(tag, start);
  }

  void open(const std::string& tag, const std::map<std::string, std::string>& attrs, size_t at) {
    if (stack_.empty()) {
      if (tag != "speak") return fail_at(at, "the document must begin with <speak>, not <" + tag + ">");
      if (seen_speak_) return fail_at(at, "a second <speak> element");
      seen_speak_ = true;
    } else if (tag == "speak") {
      return fail_at(at, "<speak> inside <" + stack_.back().name + ">");
    }
    Open next = stack_.empty() ? Open{} : stack_.back();
    next.name = tag;
    auto attr = [&](const char* k) {
      auto it = attrs.find(k);
      return it == attrs.end() ? std::string() : it->second;
    };
    if (tag == "p" || tag == "s") {
      sentence_end();
    } else if (tag == "break") {
      std::string time = attr("time"), strength = attr("strength");
      int32_t ms = 400;  // a medium break
      if (!time.empty()) {
        ms = ssml_time_ms(time);
        if (ms < 0) return fail_at(at, "break time \"" + time + "\" is not a time such as 300ms or 1.5s");
      } else if (!strength.empty()) {
        ms = ssml_strength_ms(strength);
        if (ms < 0) return fail_at(at, "break strength \"" + strength + "\" is not none, x-weak, weak, medium, strong or x-strong");
      }
      total_break_ms_ += ms;
      if (total_break_ms_ > kSsmlMaxTotalBreakMs)
        return fail_at(at, "the breaks ask for more than " + std::to_string(kSsmlMaxTotalBreakMs / 1000) +
                               " s of silence in all");
      SsmlPiece p;
      p.kind = SsmlPiece::kBreak;
      p.break_ms = ms;
      out_->push_back(p);
    } else if (tag == "mark") {
      SsmlPiece p;
      p.kind = SsmlPiece::kMark;
      p.mark = attr("name");
      if (p.mark.empty()) return fail_at(at, "<mark> needs name");
      out_->push_back(p);
    } else if (tag == "say-as") {
      next.interpret_as = attr("interpret-as");
      if (next.interpret_as.empty()) return fail_at(at, "<say-as> needs interpret-as");
      next.format = attr("format");
      in_hint_start_ = true;
    } else if (tag == "phoneme") {
      std::string alphabet = attr("alphabet");
      if (alphabet != "x-sampa")
        return fail_at(at, "<phoneme> alphabet \"" + alphabet + "\" is not supported (only x-sampa)");
      next.phonemes = attr("ph");
      if (next.phonemes.empty()) return fail_at(at, "<phoneme> needs ph");
      in_hint_start_ = true;
    } else if (tag == "prosody") {
      for (auto [key, field] : {std::pair{"rate", &ProsodyControl::rate}, {"pitch", &ProsodyControl::pitch},
                                {"range", &ProsodyControl::pitch_range}, {"volume", &ProsodyControl::volume}}) {
        const std::string value = attr(key);
        if (value.empty()) continue;
        if (!ssml_prosody_factor(key, value, next.prosody.*field, &(next.prosody.*field))) {
          if (warnings_) warnings_->push_back(std::string("prosody ") + key + " \"" + value + "\" is not understood; it is left as it was");
        }
      }
    } else if (tag != "speak") {
      if (warnings_) warnings_->push_back("element <" + tag + "> is not supported; its text is read as it is");
    }
    if (stack_.size() >= kSsmlMaxDepth)
      return fail_at(at, "elements are nested more than " + std::to_string(kSsmlMaxDepth) + " deep");
    stack_.push_back(next);
  }

  void close(const std::string& tag, size_t at) {
    if (stack_.empty() || stack_.back().name != tag)
      return fail_at(at, "</" + tag + "> does not close " +
                             (stack_.empty() ? std::string("any element") : "<" + stack_.back().name + ">"));
    stack_.pop_back();
    if (tag == "p" || tag == "s" || tag == "speak") sentence_end();
    if (tag == "say-as" || tag == "phoneme") in_hint_start_ = true;
  }

  const std::string& doc_;
  int64_t total_break_ms_ = 0;
  std::vector<SsmlPiece>* out_;
  std::vector<std::string>* warnings_;
  std::vector<Open> stack_;
  size_t pos_ = 0;
  bool seen_speak_ = false;
  bool in_hint_start_ = false;  // the next text starts a new piece
  std::string error_;
};

}  // namespace

int32_t ssml_strength_ms(const std::string& s) {
  if (s == "none") return 0;
  if (s == "x-weak") return 100;
  if (s == "weak") return 200;
  if (s == "medium") return 400;
  if (s == "strong") return 700;
  if (s == "x-strong") return 1000;
  return -1;
}

int32_t ssml_time_ms(const std::string& t) {
  const char* s = t.c_str();
  char* end = nullptr;
  if (!*s || !((*s >= '0' && *s <= '9') || *s == '.')) return -1;
  double v = strtod(s, &end);
  double scale;
  if (strcmp(end, "ms") == 0) scale = 1;
  else if (strcmp(end, "s") == 0) scale = 1000;
  else return -1;
  double ms = v * scale;
  if (!std::isfinite(ms) || ms < 0) return -1;
  return ms > kSsmlMaxBreakMs ? kSsmlMaxBreakMs : static_cast<int32_t>(ms + 0.5);
}

bool ssml_parse(const std::string& document, std::vector<SsmlPiece>* out, std::string* error,
                std::vector<std::string>* warnings) {
  out->clear();
  if (document.size() > kSsmlMaxDocumentBytes) {
    *error = "the document is longer than " + std::to_string(kSsmlMaxDocumentBytes >> 20) + " MiB";
    return false;
  }
  Parser p(document, out, warnings);
  return p.run(error);
}

bool ssml_prosody_factor(const std::string& attribute, const std::string& value, double current, double* out) {
  static const std::map<std::string, std::map<std::string, double>> kKeywords = {
      {"rate", {{"x-slow", 0.5}, {"slow", 0.75}, {"medium", 1}, {"fast", 1.5}, {"x-fast", 2}, {"default", 1}}},
      {"pitch", {{"x-low", 0.7}, {"low", 0.85}, {"medium", 1}, {"high", 1.2}, {"x-high", 1.4}, {"default", 1}}},
      {"range", {{"x-low", 0.7}, {"low", 0.85}, {"medium", 1}, {"high", 1.2}, {"x-high", 1.4}, {"default", 1}}},
      {"volume",
       {{"silent", 0}, {"x-soft", 0.25}, {"soft", 0.5}, {"medium", 1}, {"loud", 1.5}, {"x-loud", 2}, {"default", 1}}},
  };
  auto words = kKeywords.find(attribute);
  if (words == kKeywords.end() || value.empty()) return false;
  auto word = words->second.find(value);
  if (word != words->second.end()) {
    *out = word->second;
    return true;
  }
  const bool relative = value[0] == '+' || value[0] == '-';
  auto ends_with = [&](const char* unit) {
    const size_t n = strlen(unit);
    return value.size() > n && value.compare(value.size() - n, n, unit) == 0;
  };
  double x;
  if (ends_with("%")) {
    if (!number(value.substr(0, value.size() - 1), &x)) return false;
    *out = relative ? current * (1 + x / 100) : x / 100;
  } else if (ends_with("st") && (attribute == "pitch" || attribute == "range")) {
    if (!relative || !number(value.substr(0, value.size() - 2), &x)) return false;
    *out = current * std::exp2(x / 12);
  } else if (ends_with("dB") && attribute == "volume") {
    if (!relative || !number(value.substr(0, value.size() - 2), &x)) return false;
    *out = current * std::pow(10.0, x / 20);
  } else if (!relative && number(value, &x)) {
    *out = x;
  } else {
    return false;
  }
  if (*out < 0) *out = 0;
  return true;
}

ProsodyControl ssml_prosody_on(const ProsodyControl& engine, const ProsodyControl& piece) {
  ProsodyControl pc;
  pc.rate = engine.rate * piece.rate;
  pc.pitch = engine.pitch * piece.pitch;
  pc.pitch_range = engine.pitch_range * piece.pitch_range;
  pc.volume = engine.volume * piece.volume;
  return pc;
}
