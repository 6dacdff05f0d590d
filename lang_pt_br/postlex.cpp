// Voicing of a word-final s before a vowel across the word boundary.
#include "lang_pt_br/postlex.h"

#include <cstring>

#include "core/item.h"
#include "core/phoneset.h"

Utterance* postlex_func(Utterance* utt) {
  Relation* words = utterance_relation(utt, "SylStructure");  // a missing relation ends the process
  for (Item* word = words->head; word; word = item_next(word)) {
    Item* syllable = item_last_daughter(word);
    Item* segment = syllable ? item_last_daughter(syllable) : nullptr;
    if (!segment) continue;
    const Value* name = item_feature(segment, "name");
    if (!name || value_type(name) != kTypeString || strcmp(value_string(name), "s") != 0) continue;
    Item* next = item_next(item_in_relation(segment, "Segment"));
    if (!next) continue;
    const Value* next_name = item_feature(next, "name");
    if (!next_name || value_type(next_name) != kTypeString) continue;
    if (strcmp(phone_feature_string(item_phoneset(next), value_string(next_name), "vc"), "+") == 0)
      item_set_string(segment, "name", "z");
  }
  return utt;
}
