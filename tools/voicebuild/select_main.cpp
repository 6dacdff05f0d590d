// selvana-voicescript: chooses a recording script from a pool of sentences,
// greedily for diphone coverage: each step takes the sentence that adds the
// most diphones not yet covered, then (as a tie-break worth less than one
// new diphone) the most diphones that have fewer than --depth instances so
// far (default 3), the shorter sentence on a full tie; it stops when no
// sentence adds anything or the script has --max sentences.
//
//   selvana-voicescript [--module PATH] [--max N] [--depth D] POOL > SCRIPT
//
// POOL and SCRIPT hold one UTF-8 sentence a line; '#' starts a comment line.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

#include "host/text_io.h"
#include "tools/voicebuild/builder.h"

int main(int argc, char** argv) {
  std::string module, pool;
  size_t max = 100000, depth = 3;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--module" && i + 1 < argc) module = argv[++i];
    else if (a == "--max" && i + 1 < argc) max = static_cast<size_t>(atol(argv[++i]));
    else if (a == "--depth" && i + 1 < argc) depth = static_cast<size_t>(atol(argv[++i]));
    else if (pool.empty() && !a.empty() && a[0] != '-') pool = a;
    else pool = "-";
  }
  std::ifstream in(pool);
  if (pool.empty() || pool == "-" || !in) {
    fprintf(stderr, "usage: selvana-voicescript [--module PATH] [--max N] [--depth D] POOL > SCRIPT\n");
    return 2;
  }
  FrontEnd front_end;
  std::string error;
  std::error_code ec;
  const std::string scratch =
      (std::filesystem::temp_directory_path(ec) / ("selvana-voicescript." + std::to_string(getpid()))).string();
  if (!std::filesystem::create_directories(scratch, ec) || !front_end.open(module, scratch, &error)) {
    fprintf(stderr, "selvana-voicescript: %s\n", error.c_str());
    return 1;
  }
  std::vector<std::string> sentences;
  std::vector<std::set<std::string>> diphones;
  std::set<std::string> all;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    Utterance* u = front_end.utterance(utf8_to_latin9(line, nullptr), &error);
    if (!u) continue;
    std::vector<std::string> d = utterance_diphones(u);
    utterance_delete(u);
    sentences.push_back(line);
    diphones.emplace_back(d.begin(), d.end());
    all.insert(d.begin(), d.end());
  }
  std::map<std::string, size_t> instances;  // per diphone, in the script so far
  std::vector<bool> taken(sentences.size(), false);
  size_t chosen = 0;
  while (chosen < max) {
    size_t best = sentences.size(), best_gain = 0;
    for (size_t i = 0; i < sentences.size(); ++i) {
      if (taken[i]) continue;
      size_t gain = 0;
      for (const std::string& d : diphones[i]) {
        auto it = instances.find(d);
        const size_t have = it == instances.end() ? 0 : it->second;
        gain += have == 0 ? 1000 : have < depth ? 1 : 0;
      }
      if (gain > best_gain || (gain == best_gain && gain > 0 && sentences[i].size() < sentences[best].size())) {
        best = i;
        best_gain = gain;
      }
    }
    if (best_gain == 0) break;
    taken[best] = true;
    for (const std::string& d : diphones[best]) ++instances[d];
    printf("%s\n", sentences[best].c_str());
    ++chosen;
  }
  fprintf(stderr, "selvana-voicescript: %zu of %zu sentences cover %zu of the pool's %zu diphones\n", chosen,
          sentences.size(), instances.size(), all.size());
  return 0;
}
