// A synthetic test voice for the host engine: tone bursts with hand-set unit
// blocks and join edges, written by the project's voice database writer and
// registered through the real module.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "host/synth.h"
#include "host/voice_host.h"
#include "tests/support/phone_class.h"
#include "tests/support/temp_dir.h"
#include "tools/voicedb.h"

namespace enginetest {

// A block for one phone: its name and class, contexts "0", the given length
// in milliseconds, everything else zero.
inline SegmentTarget block(const char* name, float measure_ms) {
  SegmentTarget t{};
  const PhoneClass c = phone_class(name);
  const int id = phone_id(&phoneset_pt_br, name);
  t.measure = measure_ms;
  t.name = phoneset_pt_br.phone_names[id < 0 ? phone_id(&phoneset_pt_br, "pau") : id];
  t.pp_name = t.p_name = t.n_name = t.nn_name = "0";
  t.label = t.gpos_p = t.gpos = t.gpos_n = t.tone = "0";
  t.ph_vc = c.vc;
  t.ph_cvox = c.cvox;
  t.ph_ctype = c.ctype;
  return t;
}

// Targets for a phone sequence, each `ms` long.
inline std::vector<SegmentTarget> targets(const std::vector<const char*>& phones, float ms = 80) {
  std::vector<SegmentTarget> out;
  for (const char* p : phones) out.push_back(block(p, ms));
  return out;
}

// A voiced edge; `coef` sets every spectral coefficient.
inline JoinEdge edge(uint8_t coef, uint16_t energy = 1000) {
  JoinEdge e{};
  e.edge_value = energy;
  e.edge_level = 24;
  e.edge_b = -30;
  for (uint8_t& c : e.coef) c = coef;
  return e;
}

inline std::vector<int16_t> tone(size_t n, double hz, int seed, int rate = 16000) {
  std::mt19937 rng(static_cast<unsigned>(seed));
  std::uniform_int_distribution<int> noise(-300, 300);
  std::vector<int16_t> s(n);
  for (size_t i = 0; i < n; ++i)
    s[i] = static_cast<int16_t>(6000 * std::sin(static_cast<double>(i) * 2 * M_PI * hz / rate) + noise(rng));
  return s;
}

// A diphone unit of tone samples: 80 samples of context each side, a core
// of `core` samples with the phone boundary in its middle.
inline VoiceDbUnit unit(const char* left, const char* right, uint32_t recording, uint32_t position,
                        float left_ms = 80, float right_ms = 80, uint32_t core = 800) {
  VoiceDbUnit u;
  u.diphone = std::string(left) + "-" + right;
  u.left = block(left, left_ms);
  u.right = block(right, right_ms);
  u.start_edge = edge(100);
  u.end_edge = edge(100);
  u.recording = recording;
  u.position = position;
  u.pad_left = 80;
  u.core_length = core;
  u.boundary = core / 2;
  u.pad_right = 80;
  u.samples = tone(u.pad_left + core + u.pad_right, 150 + 37 * ((recording * 7 + position) % 11),
                   static_cast<int>(recording * 100 + position));
  return u;
}

// Writes the voice database, loads the module on it and opens the engine.
class TestVoice {
 public:
  explicit TestVoice(const std::string& dir) : dir_(dir) {}
  ~TestVoice() { close(); }

  bool open(const VoiceDbRecipe& recipe) {
    close();
    std::string error;
    std::string path = dir_ + "/" + recipe.name + "/" + std::to_string(recipe.checksum) + "/" + recipe.name + "22v";
    if (!voicedb_write(path, recipe, &error)) {
      ADD_FAILURE() << error;
      return false;
    }
    HostOptions options;
    options.voice = dir_;
    if (!host_voice_open(&host_, options, &error)) {
      ADD_FAILURE() << error;
      return false;
    }
    if (!synth_engine_open(&engine_, host_.voice, &error)) {
      ADD_FAILURE() << error;
      return false;
    }
    return true;
  }
  void close() {
    if (host_.voice) host_voice_close(&host_);
  }
  SynthEngine& engine() { return engine_; }
  Voice* voice() { return host_.voice; }

 private:
  std::string dir_;
  HostVoice host_;
  SynthEngine engine_;
};

inline VoiceDbRecipe recipe(uint32_t codec = 2) {
  VoiceDbRecipe s;
  s.codec_type = codec;
  s.vorbis_encoder = std::string(SELVANA_BIN_DIR) + "/selvana-vorbis-encode";
  s.vorbis_quality = codec == 12 ? -0.1f : 0.0f;
  return s;
}

}  // namespace enginetest
