// Listen-free checks of the default voice as a new user would hear it:
// `selvana say` picks it without being told, every word takes a plausible
// time, nothing clips, and the speech has no silence longer than the pauses
// that the text asks for.  Skipped when the default voice was not built.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <cstring>

#include "core/item.h"
#include "host/text_io.h"
#include "tests/host/run_tool.h"
#include "tests/support/temp_dir.h"
#include "tools/voicebuild/builder.h"

namespace {

const std::string kBin = SELVANA_BIN_DIR;
const std::string kDefaultVoice = kBin + "/voices/default";

bool default_voice_built() {
  return std::filesystem::exists(kDefaultVoice + "/vox_pt_br_selvana/2718093645/vox_pt_br_selvana22v");
}

#define REQUIRE_DEFAULT_VOICE()                                                                      \
  if (!default_voice_built())                                                                        \
  GTEST_SKIP() << "the default voice has not been built (" << kDefaultVoice                          \
               << "); build the target selvana_default_voice with -DSELVANA_DEFAULT_VOICE=ON"

std::vector<uint8_t> file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

size_t count_words(const std::string& text) {
  std::istringstream in(text);
  size_t n = 0;
  for (std::string w; in >> w;) ++n;
  return n;
}

// The pauses the front end asks for inside the text (not the first and the
// last), in seconds, and the whole utterance's planned length.
void planned_pauses(const FrontEnd& fe, const std::string& text, std::vector<double>* pauses, double* total) {
  std::string error;
  Utterance* u = fe.utterance(utf8_to_latin9(text, nullptr), &error);
  ASSERT_NE(u, nullptr) << error;
  const Relation* segs = utterance_relation(u, "Segment");
  double prev = 0;
  for (const Item* s = segs->head; s; s = item_next(s)) {
    const double end = item_feature_float(s, "end");
    if (s != segs->head && s != segs->tail && strcmp(value_string(item_feature(s, "name")), "pau") == 0)
      pauses->push_back(end - prev);
    prev = end;
  }
  *total = prev;
  utterance_delete(u);
}

struct Speech {
  double seconds = 0;
  int peak = 0;
  double longest_gap = 0;  // longest silence between the first and last sound
};

// 10 ms frames; a frame is silent below an RMS of 100 (about -50 dB).
Speech measure(const Recording& r) {
  Speech s;
  s.seconds = static_cast<double>(r.samples.size()) / r.sample_rate;
  const size_t frame = r.sample_rate / 100;
  std::vector<bool> silent;
  for (size_t i = 0; i + frame <= r.samples.size(); i += frame) {
    double sum = 0;
    for (size_t k = i; k < i + frame; ++k) {
      sum += static_cast<double>(r.samples[k]) * r.samples[k];
      s.peak = std::max(s.peak, std::abs(static_cast<int>(r.samples[k])));
    }
    silent.push_back(std::sqrt(sum / static_cast<double>(frame)) < 100);
  }
  size_t first = 0, last = silent.size();
  while (first < silent.size() && silent[first]) ++first;
  while (last > first && silent[last - 1]) --last;
  size_t run = 0;
  for (size_t i = first; i < last; ++i) {
    run = silent[i] ? run + 1 : 0;
    s.longest_gap = std::max(s.longest_gap, 0.01 * static_cast<double>(run));
  }
  return s;
}

TEST(DefaultVoice, SayUsesItWithoutBeingTold) {
  REQUIRE_DEFAULT_VOICE();
  testutil::TempDir dir;
  const std::string text = "'Bom dia. Tudo bem?'";
  ASSERT_EQ(testutil::run_selvana("say -o " + dir.file("a.wav") + " " + text).status, 0);
  ASSERT_EQ(testutil::run_selvana("say --voice " + kDefaultVoice + " -o " + dir.file("b.wav") + " " + text).status, 0);
  const std::vector<uint8_t> a = file_bytes(dir.file("a.wav"));
  EXPECT_GT(a.size(), 44u + 22050u);
  EXPECT_EQ(a, file_bytes(dir.file("b.wav")));
}

TEST(DefaultVoice, SentencesSoundPlausibleWithoutListening) {
  REQUIRE_DEFAULT_VOICE();
  testutil::TempDir dir;
  FrontEnd fe;
  std::string error;
  ASSERT_TRUE(fe.open(kBin + "/" SELVANA_MODULE_FILE, dir.file("fe"), &error)) << error;
  const std::vector<std::string> texts = {
      "O governo anunciou nesta segunda-feira um novo pacote de medidas.",
      "Oi, tudo bem? Faz tempo que a gente não se vê.",
      "Era uma vez uma menina que morava com a avó numa casinha no meio da floresta.",
      "Mantenha o produto longe do alcance das crianças; depois, feche a tampa.",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    const std::string wav = dir.file("out.wav");
    ASSERT_EQ(testutil::run_selvana("say -o " + wav + " '" + text + "'").status, 0);
    Recording r;
    ASSERT_TRUE(read_wav(wav, &r, &error)) << error;
    EXPECT_EQ(r.sample_rate, 22050u);
    const Speech s = measure(r);
    std::vector<double> pauses;
    double planned = 0;
    planned_pauses(fe, text, &pauses, &planned);
    const double per_word = s.seconds / static_cast<double>(count_words(text));
    EXPECT_GT(per_word, 0.15);
    EXPECT_LT(per_word, 0.8);
    EXPECT_GT(s.seconds, 0.6 * planned);
    EXPECT_LT(s.seconds, 1.4 * planned);
    EXPECT_LT(s.peak, 32767) << "clipped";
    EXPECT_GT(s.peak, 3000) << "too quiet to be speech";
    // Inside a phrase only stop closures are silent (under 100 ms); between
    // phrases no longer than the longest pause asked for, with 50 ms for the
    // closures on either side.
    double allowed = 0.1;
    for (double p : pauses) allowed = std::max(allowed, p + 0.05);
    EXPECT_LE(s.longest_gap, allowed);
  }
}

// The default voice's recipe is reproducible: recording a small script with
// espeak-ng and building it twice, in other folders and processes, gives the
// same database bytes.
TEST(DefaultVoice, BuildingTwiceGivesTheSameBytes) {
  if (!std::filesystem::exists(kBin + "/selvana-espeak-record"))
    GTEST_SKIP() << "selvana-espeak-record was not built (espeak-ng's library is missing)";
  testutil::TempDir dir;
  {
    std::ofstream script(dir.file("script.txt"));
    script << "A casa amarela fica perto da praia.\nVocê já ouviu o barulho do trem?\n"
              "Os meninos jogam bola, e as meninas cantam.\n";
  }
  std::vector<uint8_t> built[2];
  for (int k = 0; k < 2; ++k) {
    const std::string rec = dir.file("rec" + std::to_string(k)), voice = dir.file("voice" + std::to_string(k));
    const std::string cmd = "cd '" + dir.path() + "' && '" + kBin + "/selvana-espeak-record' '" + dir.file("script.txt") +
                            "' '" + rec + "' > /dev/null && '" + kBin + "/selvana-voicebuild' '" + rec + "' '" + voice +
                            "' > /dev/null";
    ASSERT_EQ(system(cmd.c_str()), 0) << cmd;
    built[k] = file_bytes(voice + "/vox_pt_br_selvana/2718093645/vox_pt_br_selvana22v");
    ASSERT_GT(built[k].size(), 10000u);
  }
  EXPECT_TRUE(built[0] == built[1]) << "the two builds differ";
}

}  // namespace
