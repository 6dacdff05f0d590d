// Test helpers for the token readers.
//
// Convention: tests write token texts and expected words in UTF-8 source
// literals for readability; `latin9` turns them into the ISO-8859-15 bytes
// the module reads and `utf8` turns the module's words back for comparison.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/item.h"
#include "core/value.h"
#include "lang_pt_br/token_to_words.h"

namespace toktest {

// UTF-8 to ISO-8859-15 for the characters tests use (U+0000..U+00FF and the
// euro sign); anything else becomes '?'.
inline std::string latin9(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
    } else if ((c & 0xE0) == 0xC0 && i + 1 < text.size()) {
      uint32_t cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu);
      out += cp <= 0xFF ? static_cast<char>(cp) : '?';
      i += 2;
    } else if ((c & 0xF0) == 0xE0 && i + 2 < text.size()) {
      uint32_t cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6) |
                    (static_cast<unsigned char>(text[i + 2]) & 0x3Fu);
      out += cp == 0x20AC ? '\xa4' : '?';
      i += 3;
    } else {
      out += '?';
      ++i;
    }
  }
  return out;
}

// ISO-8859-15 to UTF-8 (the euro sign included).
inline std::string utf8(const std::string& text) {
  std::string out;
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else if (c == 0xA4) {
      out += "\xe2\x82\xac";
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// The words of a list joined by single spaces, in UTF-8.
inline std::string joined(const Value* list) {
  std::string out;
  for (const Value* cell = list; cell; cell = value_cdr(cell)) {
    if (!out.empty()) out += ' ';
    out += utf8(value_string(value_car(cell)));
  }
  return out;
}

// The words of a list, then releases it.
inline std::string take(Value* list) {
  std::string s = joined(list);
  value_release(list);
  return s;
}

// An utterance with a Token relation; tokens get `name` and `punc` the way
// the host sets them.
class Tokens {
 public:
  Tokens() : utt_(utterance_new()), rel_(utterance_new_relation(utt_, "Token")) {}
  ~Tokens() { utterance_delete(utt_); }
  Tokens(const Tokens&) = delete;
  Tokens& operator=(const Tokens&) = delete;

  Item* add(const std::string& name, const std::string& punc = "") {
    Item* t = relation_append(rel_, nullptr);
    item_set_string(t, "name", latin9(name).c_str());
    item_set_string(t, "punc", latin9(punc).c_str());
    return t;
  }
  Utterance* utterance() const { return utt_; }

 private:
  Utterance* utt_;
  Relation* rel_;
};

// A token feature in UTF-8 ("" when absent).
inline std::string feature(const Item* token, const char* name) {
  Value* v = item_feature(token, name);
  return v ? utf8(value_string(v)) : std::string();
}

// The words of one token read alone.
inline std::string read(const std::string& name, const std::string& punc = "") {
  Tokens t;
  return take(token_to_words(t.add(name, punc)));
}

// The words of one token with a markup hint.
inline std::string read_hint(const std::string& name, const char* hint, const char* format = nullptr) {
  Tokens t;
  Item* token = t.add(name);
  item_set_string(token, "interpret-as", hint);
  if (format) item_set_string(token, "interpret-as-format", format);
  return take(token_to_words(token));
}

}  // namespace toktest
