// Phrases, syllables and segments built by the host from the voice's answers.
#include "host/words.h"

#include <cstring>
#include <string>

#include "core/value.h"

namespace {

Relation* relation_or_null(const Utterance* u, const char* name) {
  return features_present(u->relations, name) ? utterance_relation(u, name) : nullptr;
}

Relation* relation_or_new(Utterance* u, const char* name) {
  Relation* r = relation_or_null(u, name);
  return r ? r : utterance_new_relation(u, name);
}

const char* string_feature(const Item* item, const char* name) {
  const Value* v = item_feature(item, name);
  return value_type(v) == kTypeString && value_string(v) ? value_string(v) : "";
}

}  // namespace

Relation* build_phrases(Utterance* utterance) {
  Relation* phrases = utterance_new_relation(utterance, "Phrase");
  Relation* tokens = relation_or_null(utterance, "Token");
  Item* open = nullptr;
  for (Item* token = tokens ? tokens->head : nullptr; token; token = token->next) {
    for (Item* word = item_first_daughter(token); word; word = item_next(word)) {
      if (!open) open = relation_append(phrases, nullptr);
      item_append_daughter(open, word);
    }
    if (!open) continue;
    const char* punc = string_feature(token, "punc");
    if (strpbrk(punc, ".!?")) {
      item_set_string(open, "name", "BB");
      open = nullptr;
    } else if (strpbrk(punc, ",;:")) {
      item_set_string(open, "name", "B");
      open = nullptr;
    }
  }
  if (open) item_set_string(open, "name", "BB");
  return phrases;
}

ItemFunc utterance_wordtosegments_function(const Utterance* utterance) {
  Value* v = features_get(utterance->features, "wordtosegments_func");
  if (value_type(v) != kTypeItemFunc) return nullptr;
  return reinterpret_cast<ItemFunc>(value_object(v, kTypeItemFunc));
}

void word_phones_to_items(Utterance* utterance, Item* word, const Value* phones) {
  Relation* syllables = relation_or_new(utterance, "Syllable");
  Relation* structure = relation_or_new(utterance, "SylStructure");
  Relation* segments = relation_or_new(utterance, "Segment");
  Item* in_structure = relation_append(structure, word);
  Item* syllable = nullptr;  // the current syllable in SylStructure
  std::string name;
  for (const Value* c = phones; c; c = value_cdr(c)) {
    const Value* phone = value_car(c);
    if (value_type(phone) != kTypeString || !value_string(phone)) continue;
    name = value_string(phone);
    if (name == "-") {
      syllable = nullptr;
      continue;
    }
    if (!syllable) {
      Item* s = relation_append(syllables, nullptr);
      item_set_string(s, "name", "syl");
      item_set_int(s, "stress", 0);
      syllable = item_append_daughter(in_structure, s);
    }
    bool stressed = false;
    while (!name.empty() && name.back() >= '0' && name.back() <= '9') {
      stressed = stressed || name.back() == '1';
      name.pop_back();
    }
    if (stressed) item_set_int(syllable, "stress", 1);
    Item* segment = relation_append(segments, nullptr);
    item_set_string(segment, "name", name.c_str());
    item_append_daughter(syllable, segment);
  }
}

bool words_to_segments(Utterance* utterance) {
  ItemFunc fn = utterance_wordtosegments_function(utterance);
  if (!fn) return false;
  utterance_new_relation(utterance, "Syllable");
  utterance_new_relation(utterance, "SylStructure");
  utterance_new_relation(utterance, "Segment");
  Relation* words = relation_or_null(utterance, "Word");
  for (Item* word = words ? words->head : nullptr; word; word = word->next) {
    Value* phones = fn(word);
    word_phones_to_items(utterance, word, phones);
    value_release(phones);
  }
  return true;
}
