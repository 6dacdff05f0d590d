// The front end over the whole real-text corpus (news, instructions,
// conversation, narrative): every sentence gives segments, and the sanitizer
// build checks every read and write on the way.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "core/item.h"
#include "host/synth.h"
#include "host/text_io.h"
#include "host/voice_host.h"

namespace {

TEST(RealText, EverySentenceOfTheCorpusGetsSegments) {
  std::ifstream in(std::string(SELVANA_SOURCE_DIR) + "/tools/voicebuild/corpus_pt_br.txt");
  ASSERT_TRUE(in) << "corpus missing";
  HostVoice host;
  HostOptions options;
  options.voice = std::string(SELVANA_BIN_DIR) + "/voices/tones";
  std::string error;
  ASSERT_TRUE(host_voice_open(&host, options, &error)) << error;
  SynthEngine engine;
  ASSERT_TRUE(synth_engine_open(&engine, host.voice, &error)) << error;
  std::string line;
  int sentences = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<TextIssue> issues;
    std::string text = utf8_to_latin9(line, &issues);
    EXPECT_TRUE(issues.empty()) << line;
    std::vector<std::string> notes;
    Utterance* u = synth_front_end(engine, {{text, {}}}, &notes, &error);
    ASSERT_NE(u, nullptr) << line << ": " << error;
    size_t letters = 0, segments = 0;
    for (char c : text) letters += c != ' ';
    for (Item* s = utterance_relation(u, "Segment")->head; s; s = s->next) ++segments;
    // Roughly a phone per letter: far fewer means words were lost.
    EXPECT_GT(segments, letters / 2) << line;
    utterance_delete(u);
    ++sentences;
  }
  EXPECT_GT(sentences, 50);
  host_voice_close(&host);
}

}  // namespace
