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

using testutt::add_segment;
using testutt::Phrase;

inline Utterance* build(const std::vector<Phrase>& phrases) { return testutt::build(phrases, true); }

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
