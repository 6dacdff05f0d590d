// selvana-espeak-record: records the sentences of a script with espeak-ng's
// Brazilian Portuguese voice, as material for the default voice.
//
//   selvana-espeak-record [--module PATH] [--voice NAME] SCRIPT OUT_DIR
//
// Each sentence goes through the project's own front end and is spoken by
// the aligner's espeak-ng speaker (tools/voicebuild/align_speaker.h): one
// call per phrase, in phoneme input, so the recording says exactly the
// phones the front end gives, each phone's start taken from the library's
// phoneme events.  Each phrase keeps espeak-ng's own trailing silence before
// the added pause.  OUT_DIR receives sNNNN.wav, sNNNN.txt and sNNNN.lab for
// every sentence, in the layout that selvana-voicebuild reads.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "host/text_io.h"
#include "tools/voicebuild/align_speaker.h"
#include "tools/voicebuild/builder.h"

namespace {

constexpr double kLeadSeconds = 0.2;    // silence before the first phrase
constexpr double kPauseSeconds = 0.15;  // silence added after each phrase

}  // namespace

int main(int argc, char** argv) {
  std::string module, voice = "pt-br+f3";
  std::vector<std::string> paths;
  bool bad = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--module" && i + 1 < argc) module = argv[++i];
    else if (a == "--voice" && i + 1 < argc) voice = argv[++i];
    else if (!a.empty() && a[0] != '-') paths.push_back(a);
    else bad = true;
  }
  if (bad || paths.size() != 2) {
    fprintf(stderr, "usage: selvana-espeak-record [--module PATH] [--voice NAME] SCRIPT OUT_DIR\n");
    return 2;
  }
  std::ifstream in(paths[0]);
  if (!in) {
    fprintf(stderr, "selvana-espeak-record: cannot read %s\n", paths[0].c_str());
    return 1;
  }
  std::vector<std::string> sentences;
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') sentences.push_back(line);

  std::error_code ec;
  std::filesystem::create_directories(paths[1], ec);
  const std::string scratch = paths[1] + "/.record." + std::to_string(getpid());
  FrontEnd front_end;
  std::string error;
  if (!front_end.open(module, scratch, &error)) {
    fprintf(stderr, "selvana-espeak-record: %s\n", error.c_str());
    return 1;
  }
  EspeakSpeaker speaker;
  if (!speaker.open(voice, &error)) {
    fprintf(stderr, "selvana-espeak-record: cannot start espeak-ng with the voice %s\n", voice.c_str());
    return 1;
  }
  speaker.set_trim_phrases(false);

  size_t recorded = 0, skipped = 0;
  for (size_t i = 0; i < sentences.size(); ++i) {
    char name[32];
    snprintf(name, sizeof name, "s%04zu", i + 1);
    SpokenSentence spoken;
    std::string reason;
    if (!speaker.speak(front_end, utf8_to_latin9(sentences[i], nullptr), kLeadSeconds, {}, kPauseSeconds, &spoken,
                       &reason)) {
      fprintf(stderr, "selvana-espeak-record: sentence %zu skipped: %s\n", i + 1, reason.c_str());
      ++skipped;
      continue;
    }
    const std::string stem = paths[1] + "/" + name;
    std::ofstream(stem + ".txt") << sentences[i] << "\n";
    std::ofstream(stem + ".lab") << format_labels(spoken.labels);
    if (!write_wav(stem + ".wav", spoken.audio, &error)) {
      fprintf(stderr, "selvana-espeak-record: %s\n", error.c_str());
      return 1;
    }
    ++recorded;
  }
  printf("recorded %zu sentences, skipped %zu\n", recorded, skipped);
  return recorded > 0 ? 0 : 1;
}
