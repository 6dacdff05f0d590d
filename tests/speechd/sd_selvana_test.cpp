// sd_selvana driven through its standard input as speech-dispatcher drives
// it, speaking with the synthetic test voice.
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <thread>

#include "speechd/module_client.h"
#include "speechd/protocol.h"
#include "tests/support/temp_dir.h"

namespace {

// A module that has already quit has closed its input: writing to it must
// fail with an error, not end the test program.
const bool kIgnoreSigpipe = [] {
  std::signal(SIGPIPE, SIG_IGN);
  return true;
}();

using speechd::ModuleClient;
using speechd::ModuleMessage;

const std::string kModule = std::string(SELVANA_BIN_DIR) + "/sd_selvana";
const std::string kVoiceEnv = std::string("SELVANA_VOICE_DIR=") + SELVANA_BIN_DIR + "/voices/tones";

// A paragraph long enough to be stopped in the middle.
std::string long_text() {
  std::string text;
  for (int i = 0; i < 40; ++i) text += "Esta é mais uma frase de um texto muito longo, lido até o fim. ";
  return text;
}

// Every message up to and including the one that ends a spoken message
// (END, STOP or PAUSE), or up to a timeout.
std::vector<ModuleMessage> until_end(ModuleClient& m) {
  std::vector<ModuleMessage> out;
  for (;;) {
    out.push_back(m.read(10000));
    int code = out.back().code;
    if (code <= 0 || code == 702 || code == 703 || code == 704) return out;
  }
}

size_t audio_in(const std::vector<ModuleMessage>& messages, uint64_t from_offset = 0) {
  size_t n = 0;
  for (const ModuleMessage& m : messages)
    if (m.code == 705 && m.offset >= from_offset) n += m.audio.size();
  return n;
}

class SdSelvana : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(module.start({kModule}, {kVoiceEnv}, "", &error)) << error;
    ASSERT_EQ(ask("INIT\n").code, 299);
    ASSERT_EQ(ask("AUDIO\naudio_output_method=server\n.\n").code, 207);
    ASSERT_EQ(module.read(5000).code, 203);
  }

  ModuleMessage ask(const std::string& text) {
    module.send(text);
    return module.read(5000);
  }

  // SPEAK (or CHAR, KEY, SOUND_ICON) acknowledged; the messages that follow.
  std::vector<ModuleMessage> speak(const std::string& command, const std::string& text) {
    EXPECT_EQ(ask(command + "\n").code, 202);
    EXPECT_EQ(ask(text + "\n.\n").code, 200);
    return until_end(module);
  }

  ModuleClient module;
};

TEST_F(SdSelvana, AnswersEachCommandAsTheProtocolSays) {
  struct Case {
    const char* input;
    std::vector<int> codes;
  } cases[] = {
      {"LIST VOICES\n", {200}},
      {"SET\nrate=20\npitch=-10\npitch_range=50\nvolume=100\npunctuation_mode=all\nspelling_mode=off\n"
       "cap_let_recogn=spell\nvoice=FEMALE1\nlanguage=pt-BR\nsynthesis_voice=selvana\npunctuation_some=NULL\n.\n",
       {203, 203}},
      {"SET\nrate=101\n.\n", {203, 303}},
      {"SET\npitch=-101\npitch_range=0\n.\n", {203, 303}},
      {"SET\nvolume=loud\n.\n", {203, 303}},
      {"SET\nvoice=robot\n.\n", {203, 303}},
      {"SET\npunctuation_mode=every\n.\n", {203, 303}},
      {"SET\nlanguage=pt BR\n.\n", {203, 303}},
      {"SET\nrate\n.\n", {203, 302}},
      {"AUDIO\naudio_output_method=pulse\n.\n", {207, 303}},
      {"LOGLEVEL\nlog_level=5\n.\n", {207, 203}},
      {"SPEAK\n.\n", {202, 301}},
      {"CHAR\na\nb\n.\n", {202, 305}},
      {"HELLO\n", {300}},
      {"STOP\nPAUSE\nLIST VOICES\n", {200}},  // nothing to stop: no answer
  };
  for (const Case& c : cases) {
    module.send(c.input);
    for (int code : c.codes) EXPECT_EQ(module.read(5000).code, code) << c.input;
  }
  module.send("LIST VOICES\n");
  ModuleMessage voices = module.read(5000);
  EXPECT_EQ(voices.lines, (std::vector<std::string>{"selvana\tpt-BR\tnone", "OK VOICE LIST SENT"}));
  EXPECT_EQ(ask("QUIT\n").code, 210);
  EXPECT_EQ(module.wait_exit(5000), 0);
}

TEST_F(SdSelvana, SpeaksSsmlWithItsMarksInPlaceAndEndsIt) {
  const std::string ssml =
      "<speak>Olá, <mark name=\"__spd_id_0\"/>bom dia.\n<mark name=\"__spd_id_1\"/>Tudo bem?</speak>";
  std::vector<ModuleMessage> first = speak("SPEAK", ssml);
  ASSERT_GE(first.size(), 4u);
  EXPECT_EQ(first.front().code, 701);
  EXPECT_EQ(first.back().code, 702);
  // Audio before, between and after the marks, in 20 ms events at most.
  std::vector<std::string> marks;
  std::vector<size_t> audio_between(1, 0);
  for (const ModuleMessage& m : first) {
    if (m.code == 700) {
      marks.push_back(m.lines.front());
      audio_between.push_back(0);
    } else if (m.code == 705) {
      audio_between.back() += m.audio.size();
      EXPECT_GT(m.sample_rate, 0);
      EXPECT_LE(m.audio.size(), static_cast<size_t>(m.sample_rate / 50));
    } else {
      EXPECT_TRUE(m.code == 701 || m.code == 702) << m.code;
    }
  }
  EXPECT_EQ(marks, (std::vector<std::string>{"__spd_id_0", "__spd_id_1"}));
  for (size_t n : audio_between) EXPECT_GT(n, 0u);
  // The module keeps nothing from one message to the next.
  std::vector<ModuleMessage> again = speak("SPEAK", ssml);
  ASSERT_EQ(again.size(), first.size());
  for (size_t i = 0; i < first.size(); ++i) EXPECT_EQ(again[i].audio, first[i].audio);
}

TEST_F(SdSelvana, SpeaksCharactersKeysAndSoundIcons) {
  struct Case {
    const char* command;
    const char* text;
  } cases[] = {{"CHAR", "a"},     {"CHAR", "space"},  {"CHAR", "É"},          {"KEY", "shift_kp-enter"},
               {"KEY", "f12"},    {"KEY", "ç"},       {"SOUND_ICON", "message"}};
  ASSERT_EQ(ask("SET\ncap_let_recogn=icon\n.\n").code, 203);
  ASSERT_EQ(module.read(5000).code, 203);
  for (const Case& c : cases) {
    std::vector<ModuleMessage> out = speak(c.command, c.text);
    EXPECT_EQ(out.front().code, 701) << c.command << " " << c.text;
    EXPECT_EQ(out.back().code, 702) << c.command << " " << c.text;
    EXPECT_GT(audio_in(out), 0u) << c.command << " " << c.text;
  }
}

// Stopping in the middle of a long text: the module is held on a full pipe,
// told to stop, and may then send at most the one 20 ms event it was writing.
TEST_F(SdSelvana, StopAndPauseSilenceItWithinOneChunk) {
  for (auto [command, event] : {std::pair{"STOP\n", 703}, std::pair{"PAUSE\n", 704}}) {
    ASSERT_EQ(ask("SPEAK\n").code, 202);
    ASSERT_EQ(ask(long_text() + "\n.\n").code, 200);
    ASSERT_EQ(module.read(5000).code, 701);
    ModuleMessage audio = module.read(10000);
    ASSERT_EQ(audio.code, 705);
    // The pipe is full when what waits in it stays the same for a while (a
    // busy machine may pause the module for a moment without it being held).
    size_t pending = 0;
    for (int i = 0, still = 0; i < 1000 && still < 10; ++i) {
      const size_t now = module.pending_bytes();
      still = now > 0 && now == pending ? still + 1 : 0;
      pending = now;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const uint64_t at_stop = module.bytes_received() + module.pending_bytes();
    module.send(command);
    // Nothing is read for a moment, so the pipe stays full while the module
    // reads the command: what comes after is what it sends once told.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::vector<ModuleMessage> rest = until_end(module);
    EXPECT_EQ(rest.back().code, event) << command;
    EXPECT_LE(audio_in(rest, at_stop), static_cast<size_t>(audio.sample_rate / 50)) << command;
  }
  // And the next message is spoken whole.
  EXPECT_EQ(speak("SPEAK", "Olá.").back().code, 702);
}

TEST_F(SdSelvana, MalformedSsmlEndsTheMessageStopped) {
  std::vector<ModuleMessage> out = speak("SPEAK", "<speak>Olá <s>sem fim</speak>");
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].code, 701);
  EXPECT_EQ(out[1].code, 703);
  EXPECT_EQ(speak("SPEAK", "Olá.").back().code, 702);
}

TEST_F(SdSelvana, ClosedInputEndsTheModuleEvenWhileSpeaking) {
  ASSERT_EQ(ask("SPEAK\n").code, 202);
  ASSERT_EQ(ask(long_text() + "\n.\n").code, 200);
  module.close_input();
  EXPECT_EQ(module.wait_exit(5000), 0);
}

// speech-dispatcher glues its marks to the punctuation that ends a sentence;
// the module moves them past the space so that the engine ends the sentence
// there and speaks it while it reads the next.
TEST(SdSelvanaText, MarksMovePastTheSpaceThatFollowsThem) {
  const std::pair<const char*, const char*> cases[] = {
      {"<speak>Olá!<mark name=\"__spd_0\"/> Eu.<mark name=\"__spd_1\"/>\n Tu?</speak>",
       "<speak>Olá! <mark name=\"__spd_0\"/>Eu.\n <mark name=\"__spd_1\"/>Tu?</speak>"},
      {"<speak>a<mark name=\"m\"/>b <mark name=\"n\"/></speak>", "<speak>a<mark name=\"m\"/>b <mark name=\"n\"/></speak>"},
      {"<speak>Fim.<mark name=\"m\"/>  </speak>", "<speak>Fim.  <mark name=\"m\"/></speak>"},
  };
  for (auto [in, out] : cases) EXPECT_EQ(speechd::marks_after_spaces(in), out);
}

TEST(SdSelvanaStart, ReportsWhatKeepsItFromStarting) {
  testutil::TempDir dir;
  std::ofstream(dir.file("selvana.conf")) << "# no such voice\nSelvanaVoiceDir \"" << dir.file("none") << "\"\n";
  struct Case {
    std::vector<std::string> argv;
    const char* input;
    int reply;  // 0: none
    int status;
  } cases[] = {
      {{kModule, dir.file("selvana.conf")}, "INIT\n", 399, 1},
      {{kModule}, "SPEAK\n", 0, 3},
      {{kModule}, "", 0, 0},
      {{kModule, dir.file("missing.conf")}, "INIT\n", 0, 1},
  };
  for (const Case& c : cases) {
    ModuleClient m;
    std::string error;
    ASSERT_TRUE(m.start(c.argv, {kVoiceEnv}, "/dev/null", &error)) << error;
    m.send(c.input);
    m.close_input();
    ModuleMessage reply = m.read(5000);
    EXPECT_EQ(reply.code, c.reply) << c.input;
    if (c.reply == 399) {
      EXPECT_EQ(reply.lines.size(), 2u);  // the reason, then the code's text
    }
    EXPECT_EQ(m.wait_exit(5000), c.status) << c.input;
  }
}

}  // namespace
