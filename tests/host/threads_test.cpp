// Several threads speaking with one registered voice at once: each with its
// own engine, utterances and decoder contexts, the whole path from text to
// samples.  Run under ThreadSanitizer by scripts/test.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <thread>
#include <vector>

#include "core/item.h"
#include "host/synth.h"
#include "host/voice_host.h"

namespace {

// The recorded default voice when it was built, else the synthetic one.
std::string voice_dir() {
  std::string recorded = std::string(SELVANA_BIN_DIR) + "/voices/default";
  struct stat st;
  return stat(recorded.c_str(), &st) == 0 ? recorded : std::string(SELVANA_BIN_DIR) + "/voices/tones";
}

std::vector<int16_t> speak(Voice* voice, const std::string& latin9) {
  SynthEngine engine;
  std::string error;
  std::vector<int16_t> out;
  if (!synth_engine_open(&engine, voice, &error)) {
    ADD_FAILURE() << error;
    return out;
  }
  std::vector<std::string> notes;
  Utterance* u = synth_front_end(engine, {{latin9, {}}}, &notes, &error);
  if (!u) {
    ADD_FAILURE() << error;
    return out;
  }
  Value* state = synth_state_new();
  SynthTimes times;
  if (synth_utterance(engine, state, u, &notes, &error, &times) && synth_state(state)->wave) {
    const Wave* w = synth_state(state)->wave;
    out.assign(w->samples, w->samples + w->num_samples);
  } else {
    ADD_FAILURE() << error;
  }
  value_release(state);
  utterance_delete(u);
  return out;
}

TEST(Threads, FourThreadsOnOneVoiceSpeakAsEachWouldAlone) {
  HostVoice host;
  HostOptions options;
  options.voice = voice_dir();
  std::string error;
  ASSERT_TRUE(host_voice_open(&host, options, &error)) << error;
  const std::vector<std::string> texts = {
      "Hoje \xe9 dia 12 de outubro de 2024.", "O rato roeu a roupa do rei de Roma.",
      "Custa R$ 3,50 por quilo, \xe0s 14h30.", "Eles v\xe3o \xe0 praia no s\xe1" "bado de manh\xe3."};
  std::vector<std::vector<int16_t>> alone;
  for (const std::string& t : texts) alone.push_back(speak(host.voice, t));

  constexpr int kRounds = 6;
  std::vector<std::vector<std::vector<int16_t>>> heard(texts.size());
  std::vector<std::thread> threads;
  for (size_t k = 0; k < texts.size(); ++k)
    threads.emplace_back([&, k] {
      for (int r = 0; r < kRounds; ++r) heard[k].push_back(speak(host.voice, texts[k]));
    });
  for (std::thread& t : threads) t.join();
  for (size_t k = 0; k < texts.size(); ++k) {
    ASSERT_FALSE(alone[k].empty()) << texts[k];
    for (const auto& samples : heard[k]) EXPECT_EQ(samples, alone[k]) << "thread " << k;
  }
  host_voice_close(&host);
}

}  // namespace
