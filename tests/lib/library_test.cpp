// libselvana's C interface on the synthetic tones voice: the stream of
// chunks and events, cancellation, and bad input that leaves the engine
// usable.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

#include "tests/lib/speech.h"

namespace {

using libtest::Event;
using libtest::speak;

class Library : public testing::Test {
 protected:
  void SetUp() override {
    char message[256];
    ASSERT_EQ(selvana_open(libtest::kTones.c_str(), libtest::kModule.c_str(), &engine_, message, sizeof message),
              SELVANA_OK)
        << message;
  }
  void TearDown() override { selvana_close(engine_); }
  selvana_engine* engine_ = nullptr;
};

std::vector<Event> of_type(const std::vector<Event>& all, selvana_event_type type) {
  std::vector<Event> out;
  for (const Event& e : all)
    if (e.type == type) out.push_back(e);
  return out;
}

TEST_F(Library, AudioLeavesInBoundedChunksWithItsEventsInside) {
  const std::string text = "Olá,  mundo! Tudo bem, Zé?";
  auto s = speak(engine_, text);
  ASSERT_EQ(s.status, SELVANA_OK) << selvana_error_message(engine_);
  const size_t chunk = static_cast<size_t>(selvana_sample_rate(engine_)) / 50;
  // Every chunk but the last (which carries only the end) is at most 20 ms.
  ASSERT_GT(s.chunk_sizes.size(), 2u);
  for (size_t k = 0; k + 1 < s.chunk_sizes.size(); ++k) EXPECT_LE(s.chunk_sizes[k], chunk);
  EXPECT_EQ(s.chunk_sizes.back(), 0u);
  // Each event lies inside its chunk; the end is the last, at the stream's end.
  std::vector<uint64_t> starts = {0};
  for (size_t n : s.chunk_sizes) starts.push_back(starts.back() + n);
  for (const Event& e : s.events) {
    EXPECT_GE(e.sample, starts[e.chunk]);
    if (e.type != SELVANA_EVENT_END) {
      EXPECT_LT(e.sample, starts[e.chunk + 1]);
    }
  }
  ASSERT_EQ(s.events.back().type, SELVANA_EVENT_END);
  EXPECT_EQ(s.events.back().sample, s.samples.size());

  // Sentences and words point at the caller's bytes.
  auto text_of = [&](const Event& e) { return text.substr(e.offset, e.length); };
  auto sentences = of_type(s.events, SELVANA_EVENT_SENTENCE);
  ASSERT_EQ(sentences.size(), 2u);
  EXPECT_EQ(text_of(sentences[0]), "Olá,  mundo!");
  EXPECT_EQ(text_of(sentences[1]), "Tudo bem, Zé?");
  EXPECT_GT(sentences[1].sample, 0u);
  std::vector<std::string> words;
  for (const Event& e : of_type(s.events, SELVANA_EVENT_WORD)) words.push_back(text_of(e));
  EXPECT_EQ(words, (std::vector<std::string>{"Olá", "mundo", "Tudo", "bem", "Zé"}));
  // Phones tile the audio of each sentence.
  auto phones = of_type(s.events, SELVANA_EVENT_PHONE);
  ASSERT_FALSE(phones.empty());
  uint64_t covered = 0;
  for (const Event& p : phones) {
    EXPECT_FALSE(p.name.empty());
    covered += p.duration;
  }
  EXPECT_EQ(covered, s.samples.size());
}

// The log names each sentence once it is made: the first audio must leave
// before the last sentence is made.
TEST_F(Library, FirstAudioLeavesBeforeTheLastSentenceIsMade) {
  struct Order {
    std::vector<std::string> seen;
  } order;
  selvana_set_log(
      engine_,
      [](int, const char* line, void* data) {
        if (strncmp(line, "sentence ", 9) == 0) static_cast<Order*>(data)->seen.push_back(line);
      },
      &order);
  auto on_audio = [](const int16_t*, size_t count, const selvana_event*, size_t, void* data) {
    auto* o = static_cast<Order*>(data);
    if (count && (o->seen.empty() || o->seen.back() != "audio")) o->seen.push_back("audio");
    return 0;
  };
  const char* text = "Bom dia. Tudo bem? Até logo.";
  ASSERT_EQ(selvana_speak(engine_, text, strlen(text), 0, on_audio, &order), SELVANA_OK);
  ASSERT_EQ(order.seen.size(), 6u);
  for (size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(order.seen[2 * k].rfind("sentence " + std::to_string(k + 1) + ":", 0), 0u) << order.seen[2 * k];
    EXPECT_EQ(order.seen[2 * k + 1], "audio");
  }
  selvana_set_log(engine_, nullptr, nullptr);
}

TEST_F(Library, SsmlMarksAndWordsMapBackThroughTheMarkup) {
  const std::string doc =
      "<speak>Pão &amp; <mark name=\"antes\"/>queijo<break time=\"100ms\"/><mark name=\"fim\"/></speak>";
  auto s = speak(engine_, doc, SELVANA_TEXT_SSML);
  ASSERT_EQ(s.status, SELVANA_OK) << selvana_error_message(engine_);
  auto words = of_type(s.events, SELVANA_EVENT_WORD);
  auto marks = of_type(s.events, SELVANA_EVENT_MARK);
  ASSERT_EQ(words.size(), 3u);
  EXPECT_EQ(doc.substr(words[0].offset, words[0].length), "Pão");
  EXPECT_EQ(words[1].offset, doc.find("&amp;"));  // an entity: where it starts
  EXPECT_EQ(doc.substr(words[2].offset, words[2].length), "queijo");
  ASSERT_EQ(marks.size(), 2u);
  EXPECT_EQ(marks[0].name, "antes");
  EXPECT_EQ(marks[0].sample, words[2].sample);  // at the word it stands before
  EXPECT_EQ(marks[1].name, "fim");
  // After the break's 100 ms of silence.
  EXPECT_EQ(marks[1].sample, s.samples.size());
  for (size_t i = s.samples.size() - selvana_sample_rate(engine_) / 10; i < s.samples.size(); ++i)
    ASSERT_EQ(s.samples[i], 0) << i;
}

// SSML prosody reaches the sentences it covers, on top of the engine's own
// settings; the other sentences keep the engine's.
TEST_F(Library, SsmlProsodyAppliesToItsSentences) {
  auto length = [&](const std::string& body) {
    auto s = speak(engine_, "<speak>" + body + "</speak>", SELVANA_TEXT_SSML);
    EXPECT_EQ(s.status, SELVANA_OK) << selvana_error_message(engine_);
    return static_cast<double>(s.samples.size());
  };
  const double plain = length("<s>Bom dia a todos.</s>");
  EXPECT_NEAR(length("<prosody rate=\"200%\"><s>Bom dia a todos.</s></prosody>") / plain, 0.5, 0.03);
  EXPECT_NEAR(length("<s>Bom dia a todos.</s><prosody rate=\"x-slow\"><s>Bom dia a todos.</s></prosody>") / plain,
              1.0 + 1.0 / 0.5, 0.1);  // x-slow is half the rate
  ASSERT_EQ(selvana_set_param(engine_, SELVANA_PARAM_RATE, 2.0), SELVANA_OK);
  EXPECT_NEAR(length("<prosody rate=\"200%\"><s>Bom dia a todos.</s></prosody>") / plain, 0.25, 0.03);
  ASSERT_EQ(selvana_set_param(engine_, SELVANA_PARAM_RATE, 1.0), SELVANA_OK);
}

TEST_F(Library, CancelFromAnotherThreadStopsWithinOneChunk) {
  std::string text;
  for (int i = 0; i < 40; ++i) text += "O dia está bonito hoje. ";
  struct Shared {
    selvana_engine* engine;
    std::atomic<int> chunks{0};
    std::atomic<int> at_cancel{-1};
  } shared{engine_};
  auto on_audio = [](const int16_t*, size_t, const selvana_event*, size_t, void* data) {
    static_cast<Shared*>(data)->chunks++;
    return 0;
  };
  std::thread canceller([&] {
    while (shared.chunks.load() < 3) std::this_thread::yield();
    selvana_cancel(shared.engine);
    shared.at_cancel = shared.chunks.load();
  });
  selvana_status st = selvana_speak(engine_, text.c_str(), static_cast<size_t>(-1), 0, on_audio, &shared);
  canceller.join();
  EXPECT_EQ(st, SELVANA_CANCELLED);
  // At most the chunk already on its way when the cancel came.
  EXPECT_LE(shared.chunks.load() - shared.at_cancel.load(), 1);
  // The engine speaks again afterwards.
  EXPECT_EQ(speak(engine_, "Oi.").status, SELVANA_OK);
}

// Runs `fn` with the process's standard error sent to a file and returns
// what was written there.
template <typename Fn>
std::string stderr_of(Fn fn) {
  char path[] = "/tmp/selvana_stderr_XXXXXX";
  int fd = mkstemp(path);
  fflush(stderr);
  int saved = dup(2);
  dup2(fd, 2);
  fn();
  fflush(stderr);
  dup2(saved, 2);
  close(saved);
  std::string out;
  char buf[256];
  lseek(fd, 0, SEEK_SET);
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
  close(fd);
  unlink(path);
  return out;
}

TEST_F(Library, BadInputGivesAStatusAndAMessageAndTheEngineGoesOn) {
  struct Case {
    const char* what;
    std::string text;
    unsigned flags;
    size_t stop_after;
    selvana_status status;
    const char* message;
  };
  const Case cases[] = {
      {"empty text", "", 0, SIZE_MAX, SELVANA_E_ARGUMENT, "empty"},
      {"invalid UTF-8", "Oi \xff\xfe mundo", 0, SIZE_MAX, SELVANA_E_TEXT, "not valid UTF-8"},
      {"malformed SSML", "<speak>Oi</s></speak>", SELVANA_TEXT_SSML, SIZE_MAX, SELVANA_E_SSML, "line 1, column 10"},
      {"mark without name", "<speak>Oi<mark/></speak>", SELVANA_TEXT_SSML, SIZE_MAX, SELVANA_E_SSML, "needs name"},
      {"unknown flag", "Oi", 8, SIZE_MAX, SELVANA_E_ARGUMENT, "flags"},
      {"callback that stops", "Bom dia. Tudo bem?", 0, 1, SELVANA_CANCELLED, "cancelled"},
  };
  for (const Case& c : cases) {
    auto s = speak(engine_, c.text, c.flags, c.stop_after);
    EXPECT_EQ(s.status, c.status) << c.what;
    EXPECT_NE(std::string(selvana_error_message(engine_)).find(c.message), std::string::npos)
        << c.what << ": " << selvana_error_message(engine_);
    if (c.stop_after != SIZE_MAX) {
      EXPECT_EQ(s.chunk_sizes.size(), c.stop_after) << c.what;
    }
    auto again = speak(engine_, "Oi.");
    EXPECT_EQ(again.status, SELVANA_OK) << c.what << ": " << selvana_error_message(engine_);
    EXPECT_STREQ(selvana_error_message(engine_), "");
  }
  // Parameters outside their ranges are refused and leave the old value.
  const struct {
    selvana_param param;
    double value;
  } bad_params[] = {{SELVANA_PARAM_RATE, 0.1}, {SELVANA_PARAM_PITCH, 3}, {SELVANA_PARAM_VOLUME, -1},
                    {SELVANA_PARAM_PITCH_RANGE, 0.0 / 0.0}};
  for (const auto& p : bad_params) {
    EXPECT_EQ(selvana_set_param(engine_, p.param, p.value), SELVANA_E_ARGUMENT) << p.param;
    EXPECT_NE(selvana_error_message(engine_)[0], '\0');
  }
  EXPECT_EQ(selvana_set_param(engine_, SELVANA_PARAM_RATE, 1.5), SELVANA_OK);
  EXPECT_EQ(selvana_get_param(engine_, SELVANA_PARAM_RATE), 1.5);
  EXPECT_EQ(selvana_get_param(engine_, SELVANA_PARAM_PITCH), 1.0);

  // Null handles.
  EXPECT_EQ(selvana_speak(nullptr, "Oi", 2, 0, libtest::collect, nullptr), SELVANA_E_ARGUMENT);
  EXPECT_EQ(selvana_speak(engine_, nullptr, 2, 0, libtest::collect, nullptr), SELVANA_E_ARGUMENT);
  EXPECT_EQ(selvana_speak(engine_, "Oi", 2, 0, nullptr, nullptr), SELVANA_E_ARGUMENT);
  EXPECT_EQ(selvana_engine_new(nullptr, nullptr), SELVANA_E_ARGUMENT);
  EXPECT_STRNE(selvana_error_message(nullptr), "");
  selvana_cancel(nullptr);
  selvana_close(nullptr);

  // A voice that does not load: a status and a message with what the module
  // said, and nothing on the process's standard error.
  char message[512] = "x";
  selvana_engine* other = nullptr;
  std::string printed = stderr_of([&] {
    EXPECT_EQ(selvana_open("/nonexistent/voice", libtest::kModule.c_str(), &other, message, sizeof message),
              SELVANA_E_VOICE);
  });
  EXPECT_EQ(other, nullptr);
  EXPECT_NE(std::string(message).find("/nonexistent/voice"), std::string::npos) << message;
  EXPECT_EQ(printed, "");
  EXPECT_EQ(selvana_open(libtest::kTones.c_str(), "/nonexistent/module.so", &other, message, sizeof message),
            SELVANA_E_VOICE);
  EXPECT_NE(std::string(message).find("cannot load the voice module"), std::string::npos) << message;
  EXPECT_EQ(speak(engine_, "Oi.").status, SELVANA_OK);
}

TEST(LibraryVersion, NamesTheLoadedLibrary) {
  char expected[32];
  snprintf(expected, sizeof expected, "%d.%d.%d", SELVANA_VERSION_MAJOR, SELVANA_VERSION_MINOR, SELVANA_VERSION_PATCH);
  EXPECT_STREQ(selvana_version(), expected);
  EXPECT_EQ(selvana_version_number(),
            SELVANA_VERSION_MAJOR * 10000 + SELVANA_VERSION_MINOR * 100 + SELVANA_VERSION_PATCH);
}

}  // namespace
