// Builds small utterances for tests: phrases of words of syllables of
// segments, in the relations Token, Word, Phrase, Syllable, SylStructure and
// Segment, the way the host engine builds them.
#pragma once

#include <string>
#include <vector>

#include "core/item.h"

namespace testutt {

struct Syl {
  int stress;
  std::vector<std::string> phones;
};

struct Word {
  std::string name;
  std::vector<Syl> syls;
};

struct Phrase {
  std::string name;  // "BB" or "B"
  std::vector<Word> words;
  std::string endtone = "";  // stored on the phrase's last syllable when given
};

inline Item* add_segment(Relation* segment, const char* name) {
  Item* s = relation_append(segment, nullptr);
  item_set_string(s, "name", name);
  return s;
}

// Each word gets its own Token item named like the word; the utterance's
// feature and function lists are left empty.  With `pauses`, a "pau"
// segment stands at the start and after every phrase (in "Segment" only).
inline Utterance* build(const std::vector<Phrase>& phrases, bool pauses = false) {
  Utterance* u = utterance_new();
  Relation* token = utterance_new_relation(u, "Token");
  Relation* word = utterance_new_relation(u, "Word");
  Relation* phrase = utterance_new_relation(u, "Phrase");
  Relation* syllable = utterance_new_relation(u, "Syllable");
  Relation* sylstructure = utterance_new_relation(u, "SylStructure");
  Relation* segment = utterance_new_relation(u, "Segment");
  if (pauses) add_segment(segment, "pau");
  for (const Phrase& p : phrases) {
    Item* pi = relation_append(phrase, nullptr);
    item_set_string(pi, "name", p.name.c_str());
    Item* last_syl = nullptr;
    for (const Word& w : p.words) {
      Item* ti = relation_append(token, nullptr);
      item_set_string(ti, "name", w.name.c_str());
      Item* wi = item_append_daughter(ti, nullptr);
      item_set_string(wi, "name", w.name.c_str());
      relation_append(word, wi);
      item_append_daughter(pi, wi);
      Item* ws = relation_append(sylstructure, wi);
      for (const Syl& s : w.syls) {
        Item* si = relation_append(syllable, nullptr);
        item_set_string(si, "name", "syl");
        item_set_int(si, "stress", s.stress);
        Item* ss = item_append_daughter(ws, si);
        last_syl = si;
        for (const std::string& ph : s.phones) item_append_daughter(ss, add_segment(segment, ph.c_str()));
      }
    }
    if (last_syl && !p.endtone.empty()) item_set_string(last_syl, "endtone", p.endtone.c_str());
    if (pauses) add_segment(segment, "pau");
  }
  return u;
}

// The n-th item (from 0) of a relation.
inline Item* nth(Utterance* u, const char* relation, int n) {
  Item* i = utterance_relation(u, relation)->head;
  while (i && n-- > 0) i = i->next;
  return i;
}

}  // namespace testutt
