// Four engines on one voice, each on its own thread with its own text: each
// thread's audio and events equal what the same text gives spoken alone.
// Built also with ThreadSanitizer (scripts/test).
#include <gtest/gtest.h>

#include <thread>

#include "tests/lib/speech.h"

namespace {

TEST(LibraryThreads, FourEnginesOnOneVoiceSpeakAsIfAlone) {
  char message[256];
  selvana_voice* voice = nullptr;
  ASSERT_EQ(selvana_voice_open(libtest::kTones.c_str(), libtest::kModule.c_str(), &voice, message, sizeof message),
            SELVANA_OK)
      << message;
  const std::string texts[4] = {
      "Bom dia. O sol nasceu cedo hoje.",
      "A cidade tem 12 praças e 3 museus.",
      "Você vem amanhã? Sim, às 10 horas.",
      "O Sr. Silva mora na Av. Paulista, 1500.",
  };
  selvana_engine* engines[4] = {};
  for (auto& e : engines) ASSERT_EQ(selvana_engine_new(voice, &e), SELVANA_OK);
  libtest::Speech alone[4], together[4];
  for (int k = 0; k < 4; ++k) alone[k] = libtest::speak(engines[0], texts[k]);
  {
    std::vector<std::thread> threads;
    for (int k = 0; k < 4; ++k)
      threads.emplace_back([&, k] {
        for (int round = 0; round < 2; ++round) together[k] = libtest::speak(engines[k], texts[k]);
      });
    for (auto& t : threads) t.join();
  }
  for (int k = 0; k < 4; ++k) {
    ASSERT_EQ(alone[k].status, SELVANA_OK) << texts[k];
    EXPECT_EQ(together[k].status, SELVANA_OK) << texts[k];
    EXPECT_FALSE(alone[k].samples.empty());
    EXPECT_TRUE(together[k].samples == alone[k].samples) << texts[k];
    EXPECT_EQ(together[k].events.size(), alone[k].events.size()) << texts[k];
  }
  for (auto* e : engines) selvana_close(e);
  selvana_voice_close(voice);
}

}  // namespace
