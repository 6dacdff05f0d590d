// Test helpers for the token readers: tokens made as the host makes them.
#pragma once

#include <string>
#include <vector>

#include "core/item.h"
#include "core/value.h"
#include "lang_pt_br/token_to_words.h"
#include "tests/support/text.h"

namespace toktest {

using testtext::latin9;
using testtext::utf8;

// The words of a list in UTF-8, then releases it.
inline std::string take(Value* list) { return testtext::words(list); }

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

// The same with the token's punctuation after the reading: "words | punc".
inline std::string read_punc(const std::string& name, const std::string& punc) {
  Tokens t;
  Item* token = t.add(name, punc);
  std::string words = take(token_to_words(token));
  return words + " | " + feature(token, "punc");
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
