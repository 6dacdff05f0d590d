// Utterances for the duration tests: phrases of words of syllables of
// segments, as the host builds them, with a "pau" segment at the start and
// after every phrase (pauses belong to "Segment" only).
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/features.h"
#include "core/item.h"
#include "tests/support/build_utt.h"

namespace prosodytest {

struct Phrase {
  std::string name;
  std::vector<testutt::Word> words;
  std::string endtone = "";  // stored on the phrase's last syllable when given
};

inline Item* add_segment(Relation* segment, const char* name) {
  Item* s = relation_append(segment, nullptr);
  item_set_string(s, "name", name);
  return s;
}

inline Utterance* build(const std::vector<Phrase>& phrases) {
  Utterance* u = utterance_new();
  Relation* token = utterance_new_relation(u, "Token");
  Relation* word = utterance_new_relation(u, "Word");
  Relation* phrase = utterance_new_relation(u, "Phrase");
  Relation* syllable = utterance_new_relation(u, "Syllable");
  Relation* sylstructure = utterance_new_relation(u, "SylStructure");
  Relation* segment = utterance_new_relation(u, "Segment");
  add_segment(segment, "pau");
  for (const Phrase& p : phrases) {
    Item* pi = relation_append(phrase, nullptr);
    item_set_string(pi, "name", p.name.c_str());
    Item* last_syl = nullptr;
    for (const testutt::Word& w : p.words) {
      Item* ti = relation_append(token, nullptr);
      item_set_string(ti, "name", w.name.c_str());
      Item* wi = item_append_daughter(ti, nullptr);
      item_set_string(wi, "name", w.name.c_str());
      relation_append(word, wi);
      item_append_daughter(pi, wi);
      Item* ws = relation_append(sylstructure, wi);
      for (const testutt::Syl& s : w.syls) {
        Item* si = relation_append(syllable, nullptr);
        item_set_string(si, "name", "syl");
        item_set_int(si, "stress", s.stress);
        Item* ss = item_append_daughter(ws, si);
        last_syl = si;
        for (const std::string& ph : s.phones) item_append_daughter(ss, add_segment(segment, ph.c_str()));
      }
    }
    if (last_syl && !p.endtone.empty()) item_set_string(last_syl, "endtone", p.endtone.c_str());
    add_segment(segment, "pau");
  }
  return u;
}

// The "end" of every segment, in order.
inline std::vector<float> ends(Utterance* u) {
  std::vector<float> out;
  for (Item* s = utterance_relation(u, "Segment")->head; s; s = item_next(s))
    out.push_back(item_feature_present(s, "end") ? item_feature_float(s, "end") : -1.0f);
  return out;
}

// Held-out utterances from the trainer, with the durations it predicts.
struct CheckUtt {
  std::vector<prosodytest::Phrase> phrases;
  std::vector<std::string> gpos;
  std::vector<int> durations;
};

inline std::vector<CheckUtt> read_check_file(const char* path) {
  std::ifstream in(path);
  std::vector<CheckUtt> out;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream ls(line);
    std::string tag;
    ls >> tag;
    if (tag == "U") {
      out.emplace_back();
    } else if (tag == "P") {
      Phrase p;
      ls >> p.name;
      out.back().phrases.push_back(p);
    } else if (tag == "W") {
      std::string hex, gpos, syl;
      ls >> hex >> gpos;
      testutt::Word w;
      for (size_t k = 0; k + 1 < hex.size(); k += 2) w.name += static_cast<char>(std::stoi(hex.substr(k, 2), nullptr, 16));
      while (ls >> syl) {
        testutt::Syl s;
        s.stress = syl[0] - '0';
        std::istringstream ps(syl.substr(2));
        std::string ph;
        while (std::getline(ps, ph, ',')) s.phones.push_back(ph);
        w.syls.push_back(s);
      }
      out.back().phrases.back().words.push_back(w);
      out.back().gpos.push_back(gpos);
    } else if (tag == "T") {
      ls >> out.back().phrases.back().endtone;
    } else if (tag == "D") {
      int d;
      while (ls >> d) out.back().durations.push_back(d);
    }
  }
  return out;
}

}  // namespace prosodytest
