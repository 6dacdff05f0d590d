#include "host/phrasing.h"

#include "core/features.h"
#include "core/path.h"

namespace {

template <typename Fn>
Fn utterance_function(const Utterance* utterance, const char* name, int type) {
  Value* v = features_get(utterance->features, name);
  if (value_type(v) != type) return nullptr;
  return reinterpret_cast<Fn>(value_object(v, type));
}

Relation* relation_or_null(const Utterance* u, const char* name) {
  return features_present(u->relations, name) ? utterance_relation(u, name) : nullptr;
}

void append_pause(Relation* segments) {
  Item* pau = relation_append(segments, nullptr);
  item_set_string(pau, "name", "pau");
}

}  // namespace

void add_phrase_pauses(Utterance* utterance) {
  // The new relation replaces the old one; the segments' contents live on in
  // `SylStructure` and join the new relation in phrase order.
  Relation* segments = utterance_new_relation(utterance, "Segment");
  append_pause(segments);
  Relation* phrases = relation_or_null(utterance, "Phrase");
  for (Item* phrase = phrases ? phrases->head : nullptr; phrase; phrase = phrase->next) {
    for (Item* word = item_first_daughter(phrase); word; word = item_next(word)) {
      Item* structure = item_in_relation(word, "SylStructure");
      for (Item* syl = item_first_daughter(structure); syl; syl = item_next(syl))
        for (Item* seg = item_first_daughter(syl); seg; seg = item_next(seg)) relation_append(segments, seg);
    }
    append_pause(segments);
  }
}

bool phrase_tones(Utterance* utterance) {
  auto tone_of = utterance_function<ItemFunc>(utterance, "phrasesylendtone_func", kTypeItemFunc);
  if (!tone_of) return false;
  Relation* phrases = relation_or_null(utterance, "Phrase");
  for (Item* phrase = phrases ? phrases->head : nullptr; phrase; phrase = phrase->next) {
    Value* tone = tone_of(phrase);
    Item* last = feature_path_item(phrase, "daughtern.R:SylStructure.daughtern");
    if (tone && last && value_type(tone) == kTypeString) item_set_string(last, "endtone", value_string(tone));
    // The tones are the voice's constants; a fresh Value would be ours.
    if (value_is_atom(tone) && value_refcount(tone) == 0) value_release(tone);
  }
  return true;
}

bool prosody_stage(Utterance* utterance, std::string* error) {
  auto postlex = utterance_function<UttFunc>(utterance, "postlex_func", kTypeUttFunc);
  auto duration = utterance_function<UttFunc>(utterance, "duration_func", kTypeUttFunc);
  const char* missing = !features_present(utterance->features, "phrasesylendtone_func") ? "phrasesylendtone_func"
                        : !postlex                                                       ? "postlex_func"
                        : !duration                                                      ? "duration_func"
                                                                                         : nullptr;
  if (missing) {
    if (error) *error = std::string("the voice has no ") + missing;
    return false;
  }
  add_phrase_pauses(utterance);
  if (!phrase_tones(utterance)) {
    if (error) *error = "the voice has no phrasesylendtone_func";
    return false;
  }
  postlex(utterance);
  duration(utterance);
  return true;
}
