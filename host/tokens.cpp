// Tokenizing text for the voice.
#include "host/tokens.h"

#include <cstring>

#include "core/features.h"
#include "core/value.h"

namespace {

constexpr char kDefaultWhitespace[] = " \t\n\r";
constexpr char kDefaultSingleChar[] = "(){}[]";
constexpr char kDefaultPrePunctuation[] = "\"'`({[";
constexpr char kDefaultPostPunctuation[] = "\"'`.,:;!?(){}[]";

std::string published_set(const Utterance* u, const char* name, const char* fallback) {
  Value* v = features_get(u->features, name);
  if (value_type(v) != kTypeString) return fallback;
  const char* text = value_string(v);
  return text ? text : "";
}

// Reads a text one byte at a time the way the voice's token stream does:
// `current` is the byte under the cursor, or -1 at the end.
class Cutter {
 public:
  Cutter(const char* text, const TokenizerSets& sets) : text_(text), sets_(sets) { advance(); }

  bool at_end() const { return current_ < 0; }

  // Reads the next token into the four fields.
  void get(std::string* whitespace, std::string* pre, std::string* token, std::string* post) {
    collect_while(sets_.whitespace, whitespace);
    collect_while(sets_.prepunctuation, pre);
    token->clear();
    if (in(sets_.singlechar, current_)) {
      *token += static_cast<char>(current_);
      advance();
    } else {
      collect_until(sets_.whitespace, token);
    }
    if (token->empty() && !pre->empty()) token->swap(*pre);  // opening punctuation alone is a token
    post->clear();
    if (!token->empty()) {
      size_t keep = token->size();
      while (keep > 1 && in(sets_.postpunctuation, static_cast<unsigned char>((*token)[keep - 1]))) --keep;
      post->assign(*token, keep, std::string::npos);
      token->resize(keep);
    }
  }

 private:
  static bool in(const std::string& set, int c) {
    return c > 0 && set.find(static_cast<char>(c)) != std::string::npos;
  }
  void advance() {
    unsigned char c = static_cast<unsigned char>(text_[position_]);
    if (c) {
      current_ = c;
      ++position_;
    } else {
      current_ = -1;
    }
  }
  void collect_while(const std::string& set, std::string* out) {
    out->clear();
    if (!in(set, current_)) return;
    do {
      if (current_ < 0 || in(sets_.singlechar, current_)) return;
      *out += static_cast<char>(current_);
      advance();
    } while (in(set, current_));
  }
  void collect_until(const std::string& set, std::string* out) {
    out->clear();
    if (in(set, current_)) return;
    do {
      if (current_ < 0 || in(sets_.singlechar, current_)) return;
      *out += static_cast<char>(current_);
      advance();
    } while (!in(set, current_));
  }

  const char* text_;
  const TokenizerSets& sets_;
  size_t position_ = 0;
  int current_ = -1;
};

}  // namespace

TokenizerSets tokenizer_sets(const Utterance* utterance) {
  TokenizerSets sets;
  sets.whitespace = published_set(utterance, "text_whitespace", kDefaultWhitespace);
  sets.singlechar = published_set(utterance, "text_singlecharsymbols", kDefaultSingleChar);
  sets.prepunctuation = published_set(utterance, "text_prepunctuation", kDefaultPrePunctuation);
  sets.postpunctuation = published_set(utterance, "text_postpunctuation", kDefaultPostPunctuation);
  return sets;
}

Relation* tokenize_text(Utterance* utterance, const char* text, const TokenizerSets& sets) {
  Relation* tokens = utterance_new_relation(utterance, "Token");
  Cutter cutter(text, sets);
  std::string whitespace, pre, token, post;
  while (!cutter.at_end()) {
    cutter.get(&whitespace, &pre, &token, &post);
    if (token.empty()) break;  // only trailing whitespace was left
    Item* item = relation_append(tokens, nullptr);
    item_set_string(item, "name", token.c_str());
    item_set_string(item, "whitespace", whitespace.c_str());
    item_set_string(item, "prepunctuation", pre.c_str());
    item_set_string(item, "punc", post.c_str());
  }
  return tokens;
}

Relation* tokenize_text(Utterance* utterance, const char* text) {
  return tokenize_text(utterance, text, tokenizer_sets(utterance));
}

ItemFunc utterance_token_function(const Utterance* utterance) {
  Value* v = features_get(utterance->features, "tokentowords_func");
  if (value_type(v) != kTypeItemFunc) return nullptr;
  return reinterpret_cast<ItemFunc>(value_object(v, kTypeItemFunc));
}

Value* token_words(Utterance* utterance, Item* token) {
  ItemFunc fn = utterance_token_function(utterance);
  return fn ? fn(token) : nullptr;
}

Relation* tokens_to_words(Utterance* utterance) {
  Relation* words = utterance_new_relation(utterance, "Word");
  if (!features_present(utterance->relations, "Token")) return words;
  Relation* tokens = utterance_relation(utterance, "Token");
  for (Item* token = tokens->head; token; token = token->next) {
    Value* list = token_words(utterance, token);
    for (Value* cell = list; cell; cell = value_cdr(cell)) {
      Value* word = value_car(cell);
      if (value_type(word) != kTypeString) continue;
      Item* daughter = item_append_daughter(token, nullptr);
      item_set_string(daughter, "name", value_string(word));
      relation_append(words, daughter);
    }
    value_release(list);
  }
  return words;
}
