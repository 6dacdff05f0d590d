// 'selvana say' end to end on the synthetic tones voice, and one full
// synthesis in process (text to wave) for the memory checks.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "host/synth.h"
#include "host/voice_host.h"
#include "tests/host/engine_voice.h"
#include "tests/host/run_tool.h"

namespace {

const std::string kTones = std::string(SELVANA_BIN_DIR) + "/voices/tones";

std::vector<char> read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Number of segments the front end gives for the text.
int segments(const std::string& text) {
  auto r = testutil::run_selvana("segments --voice " + kTones + " '" + text + "'");
  int n = 0;
  for (char c : r.out) n += c == '\n';
  return n;
}

// Samples of a 16-bit WAV file (after its 44-byte header).
std::vector<int16_t> wav_samples(const std::vector<char>& file) {
  std::vector<int16_t> s;
  for (size_t i = 44; i + 1 < file.size(); i += 2)
    s.push_back(static_cast<int16_t>(static_cast<uint8_t>(file[i]) | static_cast<uint8_t>(file[i + 1]) << 8));
  return s;
}

// Every diphone of the tones voice is 1600 samples (100 ms) long.
constexpr size_t kUnit = 1600;

TEST(Say, SpeaksASentenceIntoAWavFile) {
  testutil::TempDir dir;
  std::string out = dir.file("ola.wav");
  auto r = testutil::run_selvana("say --voice " + kTones + " -o " + out + " 'Olá, mundo.'");
  ASSERT_EQ(r.status, 0) << r.out;
  std::vector<char> wav = read_all(out);
  ASSERT_GT(wav.size(), 44u);
  EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
  const int n = segments("Olá, mundo.");
  ASSERT_GT(n, 4);
  EXPECT_EQ(wav_samples(wav).size(), (n - 1) * kUnit);

  // The same text from standard input to standard output gives the same file.
  std::string piped = dir.file("piped.wav");
  std::string cmd = "printf 'Olá, mundo.' | " + std::string(SELVANA_BIN_DIR) + "/selvana say --voice " + kTones +
                    " --stdout > " + piped;
  ASSERT_EQ(system(cmd.c_str()), 0);
  EXPECT_EQ(read_all(piped), wav);
}

TEST(Say, LongTextGoesSentenceBySentenceAndBreaksAddSilence) {
  testutil::TempDir dir;
  std::string out = dir.file("two.wav");
  auto r = testutil::run_selvana("say --voice " + kTones + " --verbose -o " + out + " 'Bom dia. Tudo bem?'", true);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("sentence 1: \"Bom dia.\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("sentence 2: \"Tudo bem?\""), std::string::npos) << r.out;
  const size_t a = segments("Bom dia."), b = segments("Tudo bem?");
  EXPECT_EQ(wav_samples(read_all(out)).size(), (a - 1 + b - 1) * kUnit);

  // Titles and lower-case continuations do not end a sentence.
  r = testutil::run_selvana("say --voice " + kTones + " --verbose -o " + out + " 'O Sr. Silva, etc. e tal. Ele vem!'",
                            true);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("sentence 1: \"O Sr. Silva, etc. e tal.\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("sentence 2: \"Ele vem!\""), std::string::npos) << r.out;

  r = testutil::run_selvana("say --ssml --voice " + kTones + " -o " + out +
                            " '<speak><s>Bom dia.</s><break time=\"500ms\"/><s>Tudo bem?</s></speak>'",
                            true);
  ASSERT_EQ(r.status, 0) << r.out;
  std::vector<int16_t> s = wav_samples(read_all(out));
  ASSERT_EQ(s.size(), (a - 1 + b - 1) * kUnit + 8000);
  // The break sits right after the first sentence.
  for (size_t i = (a - 1) * kUnit; i < (a - 1) * kUnit + 8000; ++i) ASSERT_EQ(s[i], 0) << i;
}

TEST(Say, BadInputIsReportedNeverFatal) {
  testutil::TempDir dir;
  std::string out = dir.file("x.wav");
  auto r = testutil::run_selvana("say --ssml --voice " + kTones + " -o " + out + " '<speak>Oi</s></speak>'", true);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "selvana say: malformed SSML: line 1, column 10: </s> does not close <speak>\n");
  EXPECT_FALSE(std::filesystem::exists(out));

  // A character outside ISO-8859-15 is reported and left out.
  r = testutil::run_selvana("say --voice " + kTones + " -o " + out + " 'Oi ☃ mundo.'", true);
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("selvana say:"), std::string::npos);
  std::string clean = dir.file("clean.wav");
  ASSERT_EQ(testutil::run_selvana("say --voice " + kTones + " -o " + clean + " 'Oi  mundo.'").status, 0);
  EXPECT_EQ(read_all(out), read_all(clean));

  // Invalid UTF-8 and an empty text still give a file.
  std::string cmd = "printf '\\377\\376' | " + std::string(SELVANA_BIN_DIR) + "/selvana say --voice " + kTones +
                    " -o " + out + " 2>/dev/null";
  EXPECT_EQ(system(cmd.c_str()), 0);
  EXPECT_EQ(read_all(out).size(), 44u);

  // Without -o or --stdout it plays; a sound device that is missing fails.
  {
    std::string conf = dir.file("asound.conf");
    FILE* f = fopen(conf.c_str(), "w");
    fputs("pcm.!default { type hw card 97 }\n", f);
    fclose(f);
    std::string cmd = "ALSA_CONFIG_PATH=" + conf + " " + std::string(SELVANA_BIN_DIR) + "/selvana say --voice " +
                      kTones + " 'Oi' 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    char line[512] = {};
    if (!fgets(line, sizeof line, p)) line[0] = 0;
    EXPECT_EQ(WEXITSTATUS(pclose(p)), 1);
    EXPECT_NE(std::string(line).find("selvana say: cannot open the default sound device"), std::string::npos) << line;
  }
  EXPECT_EQ(testutil::run_selvana("say --stdout -o x.wav 'Oi'").status, 2);
  EXPECT_EQ(testutil::run_selvana("say --voice /nonexistent -o " + out + " 'Oi'").status, 1);
}

TEST(Say, VerboseReportsWhatStandsInForMissingDiphones) {
  testutil::TempDir dir;
  VoiceDbRecipe recipe = enginetest::recipe();
  recipe.units = {enginetest::unit("a", "t", 0, 0)};
  std::string error;
  ASSERT_TRUE(voicedb_write(dir.path() + "/vox_pt_br_selvana/2718093645/vox_pt_br_selvana22v", recipe, &error));
  auto r = testutil::run_selvana("say --verbose --voice " + dir.path() + " -o " + dir.file("a.wav") + " 'a'", true);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("diphone pau-a missing: using"), std::string::npos) << r.out;
}

TEST(Say, AFullSynthesisInProcess) {
  HostVoice host;
  HostOptions options;
  options.voice = kTones;
  std::string error;
  ASSERT_TRUE(host_voice_open(&host, options, &error)) << error;
  SynthEngine engine;
  ASSERT_TRUE(synth_engine_open(&engine, host.voice, &error)) << error;
  std::vector<TextRun> runs = {{"Hoje \xe9 dia", {}}, {"12/10/2024", {"date", "dmy", ""}},
                               {"tomate", {"", "", "ka\"za"}}};
  std::vector<std::string> notes;
  Utterance* u = synth_front_end(engine, runs, &notes, &error);
  ASSERT_NE(u, nullptr) << error;
  // The hints reach the tokens of their runs only.
  Relation* tokens = utterance_relation(u, "Token");
  int hinted = 0, phonemes = 0;
  for (Item* t = tokens->head; t; t = t->next) {
    hinted += item_feature_present(t, "interpret-as");
    phonemes += item_feature_present(t, "xsampa");
  }
  EXPECT_EQ(hinted, 1);
  EXPECT_EQ(phonemes, 1);
  // The X-SAMPA pronunciation replaces the word's own: "tomate" is spoken
  // as k a z a before the final pause.
  std::string names;
  for (Item* s = utterance_relation(u, "Segment")->head; s; s = s->next)
    names += std::string(item_feature_string(s, "name")) + " ";
  EXPECT_NE(names.find(" k a z a pau "), std::string::npos) << names;
  EXPECT_EQ(names.find(" t o m a "), std::string::npos) << names;
  Value* state = synth_state_new();
  SynthTimes times;
  ASSERT_TRUE(synth_utterance(engine, state, u, &notes, &error, &times)) << error;
  const Wave* w = synth_state(state)->wave;
  int32_t n = 0;
  for (Item* s = utterance_relation(u, "Segment")->head; s; s = s->next) ++n;
  EXPECT_EQ(w->num_samples, (n - 1) * static_cast<int32_t>(kUnit));
  EXPECT_TRUE(notes.empty());
  value_release(state);
  utterance_delete(u);
  host_voice_close(&host);
}

}  // namespace
