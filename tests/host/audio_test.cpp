// Concatenation: every coding comes out sample-exact wherever no crossfade
// touches it, crossfades stay between their two sources, and the WAV file
// reads back with an independent reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "host/audio.h"
#include "host/search.h"
#include "host/wav.h"
#include "tests/host/engine_voice.h"
#include "tests/host/run_tool.h"

namespace {

using enginetest::TestVoice;

const std::string kSilkVector = std::string(SELVANA_SHARED_DIR) + "/testdata/silk/silk_pub03_wb16k_60ms_20kbps_c2_fec";

std::vector<std::vector<uint8_t>> silk_packets(size_t first, size_t count) {
  std::ifstream in(kSilkVector + ".bit", std::ios::binary);
  std::vector<uint8_t> bits((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::vector<uint8_t>> out;
  size_t i = 0;
  for (size_t k = 0; i + 2 <= bits.size() && k < first + count; ++k) {
    size_t n = bits[i] | bits[i + 1] << 8;
    if (k >= first) out.emplace_back(bits.begin() + static_cast<long>(i + 2), bits.begin() + static_cast<long>(i + 2 + n));
    i += 2 + n;
  }
  return out;
}

// A voice for "pau a t o pau" in the given coding, two instances of a-t.
VoiceDbRecipe coded_voice(uint32_t codec, const std::string& work) {
  VoiceDbRecipe recipe = enginetest::recipe(codec);
  recipe.work_dir = work;
  const char* phones[] = {"pau", "a", "t", "o", "pau"};
  for (uint32_t p = 0; p < 4; ++p) {
    VoiceDbUnit u = enginetest::unit(phones[p], phones[p + 1], 0, p, 80, 80, 1600);
    if (codec == 14) {
      // Two 60 ms packets decode to 1920 samples at 16 kHz.
      u.samples.clear();
      u.packets = silk_packets(10 + 2 * p, 2);
      u.pad_left = 100;
      u.core_length = 1700;
      u.boundary = 850;
      u.pad_right = 120;
    }
    recipe.units.push_back(u);
  }
  return recipe;
}

// The unit's samples decoded on their own, through the database's slots.
std::vector<int16_t> decode_alone(const HostVoiceDb& db, uint32_t instance) {
  Value* state = synth_state_new();
  std::string error;
  std::vector<int16_t> out;
  if (audio_open_decoder(synth_state(state), db, &error)) {
    VoiceDbInstance inst = voicedb_instance(db, instance);
    Track* t = db.database->file->unit_decode(synth_state(state)->decoder, inst.audio, inst.audio_size);
    if (t) {
      uint32_t start = 0;
      for (int32_t f = 0; f < t->num_frames; ++f) {
        out.insert(out.end(), t->frames[f], t->frames[f] + (t->frame_ends[f] - start));
        start = t->frame_ends[f];
      }
      track_free(t);
    }
  }
  value_release(state);
  return out;
}

class Codings : public testing::TestWithParam<uint32_t> {};

TEST_P(Codings, UnitsComeOutSampleExactOutsideTheCrossfades) {
  const uint32_t codec = GetParam();
  if (codec == 14 && !std::filesystem::exists(kSilkVector + ".bit")) GTEST_SKIP() << "no SILK vectors";
  testutil::TempDir dir;
  VoiceDbRecipe recipe = coded_voice(codec, dir.path());
  TestVoice v(dir.path());
  ASSERT_TRUE(v.open(recipe));
  std::vector<SegmentTarget> targets = enginetest::targets({"pau", "a", "t", "o", "pau"});
  Value* state = synth_state_new();
  WaveSynth* ws = synth_state(state);
  SearchPlan* plan = search_prepare(ws, v.voice(), v.engine().graph_fn, v.engine().db, targets.data(), 5, 50, nullptr);
  search_run(plan);
  std::string error;
  ASSERT_TRUE(audio_open_decoder(ws, v.engine().db, &error)) << error;
  ASSERT_TRUE(audio_render(ws, plan, &error)) << error;
  const Wave* wave = ws->wave;
  const int32_t core = static_cast<int32_t>(recipe.units[0].core_length);
  ASSERT_EQ(wave->num_samples, 4 * core);
  EXPECT_EQ(wave->sample_rate, 16000);
  const int32_t half = 40;  // 2.5 ms at 16 kHz
  for (int32_t j = 0; j < 4; ++j) {
    const SearchOption& o = plan->options[plan->path[j]];
    const AudioPlacement& at = plan->placements[j];
    const VoiceDbUnit& u = recipe.units[o.position];  // one recording, in order
    std::vector<int16_t> alone = decode_alone(v.engine().db, o.instance);
    ASSERT_EQ(alone.size(), u.pad_left + u.core_length + u.pad_right);
    EXPECT_EQ(at.begin, j * core);
    EXPECT_EQ(at.exact_begin, j == 0 ? 0 : j * core + half);
    EXPECT_EQ(at.exact_end, j == 3 ? 4 * core : (j + 1) * core - half);
    for (int32_t x = at.exact_begin; x < at.exact_end; ++x)
      ASSERT_EQ(wave->samples[x], alone[u.pad_left + (x - at.begin)]) << "unit " << j << " sample " << x;
    if (codec == 2) {
      for (int32_t x = at.exact_begin; x < at.exact_end; ++x)
        ASSERT_EQ(wave->samples[x], u.samples[u.pad_left + (x - at.begin)]);
    } else if (codec != 14) {
      // Lossy, but still the same tone: the error is well below the signal.
      double signal = 0, noise = 0;
      for (uint32_t k = 0; k < alone.size(); ++k) {
        signal += double(u.samples[k]) * u.samples[k];
        noise += double(alone[k] - u.samples[k]) * (alone[k] - u.samples[k]);
      }
      EXPECT_LT(noise * 10, signal) << "unit " << j;
    }
    // Each crossfade lies between its two sources.
    if (j > 0) {
      const SearchOption& po = plan->options[plan->path[j - 1]];
      const VoiceDbUnit& pu = recipe.units[po.position];
      std::vector<int16_t> prev = decode_alone(v.engine().db, po.instance);
      for (int32_t x = at.begin - half; x < at.begin + half; ++x) {
        int16_t a = prev[pu.pad_left + pu.core_length + (x - at.begin)];
        int16_t b = alone[u.pad_left + (x - at.begin)];
        ASSERT_GE(wave->samples[x], std::min(a, b)) << x;
        ASSERT_LE(wave->samples[x], std::max(a, b)) << x;
      }
    }
  }
  value_release(state);
}

INSTANTIATE_TEST_SUITE_P(AllFour, Codings, testing::Values(2u, 8u, 12u, 14u));

// A voiced unit: pulses of a damped 800 Hz resonance every `period`
// samples from `phase` on, with its pitch marks on the pulses' peaks.
VoiceDbUnit pulse_unit(const char* l, const char* r, uint32_t recording, int period, int phase) {
  VoiceDbUnit u = enginetest::unit(l, r, recording, 0, 80, 80, 1600);
  u.pad_left = u.pad_right = 200;
  u.boundary = 800;
  u.samples.assign(2000, 0);
  u.pitch_marks.clear();
  for (int p = phase; p < 2000; p += period) {
    for (int i = p; i < 2000 && i < p + period; ++i)
      u.samples[static_cast<size_t>(i)] = static_cast<int16_t>(
          12000 * std::exp(-(i - p) / 25.0) * std::sin(2 * M_PI * 800 * (i - p + 2) / 16000.0));
    if (p + 3 < 2000) u.pitch_marks.push_back(static_cast<uint16_t>(p + 3));
  }
  return u;
}

// The peaks of the pulses: maxima over half the loudest, 60 samples apart
// at least.
std::vector<int32_t> pulses(const Wave* w) {
  int16_t top = 0;
  for (int32_t i = 0; i < w->num_samples; ++i) top = std::max(top, w->samples[i]);
  std::vector<int32_t> at;
  for (int32_t i = 1; i + 1 < w->num_samples; ++i)
    if (w->samples[i] > top / 2 && w->samples[i] >= w->samples[i - 1] && w->samples[i] > w->samples[i + 1] &&
        (at.empty() || i - at.back() >= 60))
      at.push_back(i);
  return at;
}

double median_spacing(const std::vector<int32_t>& at) {
  std::vector<int32_t> d;
  for (size_t k = 1; k < at.size(); ++k) d.push_back(at[k] - at[k - 1]);
  std::sort(d.begin(), d.end());
  return d.empty() ? 0 : d[d.size() / 2];
}

TEST(Audio, VoicedUnitsJoinInStepAndFollowRatePitchAndVolume) {
  testutil::TempDir dir;
  VoiceDbRecipe recipe = enginetest::recipe();
  // Two recordings at 160 and 145 Hz whose pulses fall at other phases of
  // the cut points.
  recipe.units = {pulse_unit("a", "t", 0, 100, 17), pulse_unit("t", "o", 1, 110, 61)};
  TestVoice v(dir.path());
  ASSERT_TRUE(v.open(recipe));
  auto speak = [&](const ProsodyControl& pc, SearchPlan** plan, Value* state) {
    std::vector<SegmentTarget> targets = enginetest::targets({"a", "t", "o"});
    SynthEngine engine = v.engine();
    engine.prosody = pc;
    std::string error;
    EXPECT_TRUE(synth_targets(engine, state, targets.data(), 3, nullptr, &error, nullptr, plan)) << error;
    return synth_state(state)->wave;
  };
  Value* plain_state = synth_state_new();
  SearchPlan* plan = nullptr;
  const Wave* plain = speak(ProsodyControl{}, &plan, plain_state);
  ASSERT_TRUE(plan);
  // The join overlaps the two units with their pulses on each other, and
  // no pulse is doubled or dropped across it.
  EXPECT_GT(plan->joins[1].correlation, 0.9f);
  const std::vector<int32_t> base = pulses(plain);
  for (size_t k = 1; k < base.size(); ++k) {
    EXPECT_GE(base[k] - base[k - 1], 90) << base[k];
    EXPECT_LE(base[k] - base[k - 1], 120) << base[k];
  }
  int16_t loudest = 0;
  for (int32_t i = 0; i < plain->num_samples; ++i) loudest = std::max<int16_t>(loudest, std::abs(plain->samples[i]));

  struct Case {
    ProsodyControl pc;
    double length, spacing, level;  // ratios to the plain speech
  };
  for (const Case& c : {Case{{2.0, 1, 1, 1}, 0.5, 1, 1}, Case{{0.5, 1, 1, 1}, 2, 1, 1},
                        Case{{1, 1.2, 1, 1}, 1, 1 / 1.2, 1}, Case{{1, 0.8, 1, 1}, 1, 1 / 0.8, 1},
                        Case{{1, 1, 1, 0.5}, 1, 1, 0.5}}) {
    Value* state = synth_state_new();
    const Wave* w = speak(c.pc, nullptr, state);
    const std::string what = "rate " + std::to_string(c.pc.rate) + " pitch " + std::to_string(c.pc.pitch) +
                             " volume " + std::to_string(c.pc.volume);
    EXPECT_NEAR(w->num_samples, c.length * plain->num_samples, 0.03 * c.length * plain->num_samples) << what;
    EXPECT_NEAR(median_spacing(pulses(w)), c.spacing * median_spacing(base), 0.03 * c.spacing * median_spacing(base))
        << what;
    int16_t top = 0;
    for (int32_t i = 0; i < w->num_samples; ++i) top = std::max<int16_t>(top, std::abs(w->samples[i]));
    EXPECT_NEAR(top, c.level * loudest, 0.1 * c.level * loudest) << what;
    value_release(state);
  }
  value_release(plain_state);
}

TEST(Audio, UnitsWithoutContextJoinWithoutCrossfade) {
  testutil::TempDir dir;
  VoiceDbRecipe recipe = enginetest::recipe();
  for (auto [l, r, pos] : {std::tuple{"a", "t", 0u}, {"t", "o", 1u}}) {
    VoiceDbUnit u = enginetest::unit(l, r, pos, 0);  // different recordings
    u.samples.erase(u.samples.begin(), u.samples.begin() + 80);
    u.samples.resize(u.samples.size() - 80);
    u.pad_left = u.pad_right = 0;
    recipe.units.push_back(u);
  }
  TestVoice v(dir.path());
  ASSERT_TRUE(v.open(recipe));
  std::vector<SegmentTarget> targets = enginetest::targets({"a", "t", "o"});
  std::string error;
  Value* state = synth_state_new();
  ASSERT_TRUE(synth_targets(v.engine(), state, targets.data(), 3, nullptr, &error, nullptr)) << error;
  const Wave* w = synth_state(state)->wave;
  ASSERT_EQ(w->num_samples, 1600);
  for (int32_t x = 0; x < 1600; ++x) ASSERT_EQ(w->samples[x], recipe.units[x / 800].samples[x % 800]) << x;
  value_release(state);
}

std::string shell(const std::string& cmd) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

TEST(Wav, AnIndependentReaderSeesRateLengthAndSamples) {
  if (system("command -v soxi >/dev/null 2>&1 && command -v sox >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "sox is not installed";
  testutil::TempDir dir;
  for (uint32_t rate : {16000u, 22050u}) {
    std::vector<int16_t> s = enginetest::tone(12345, 440, 3, static_cast<int>(rate));
    s[0] = -32768;
    s[1] = 32767;
    std::string path = dir.file("out" + std::to_string(rate) + ".wav");
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    ASSERT_TRUE(wav_write(f, rate, s.data(), s.size()));
    fclose(f);
    EXPECT_EQ(shell("soxi -r '" + path + "'"), std::to_string(rate));
    EXPECT_EQ(shell("soxi -s '" + path + "'"), "12345");
    EXPECT_EQ(shell("soxi -c '" + path + "'"), "1");
    EXPECT_EQ(shell("soxi -b '" + path + "'"), "16");
    std::string raw = dir.file("raw.s16");
    ASSERT_EQ(system(("sox '" + path + "' -t raw -e signed -b 16 -L '" + raw + "'").c_str()), 0);
    std::ifstream in(raw, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), 2 * s.size());
    EXPECT_EQ(memcmp(bytes.data(), s.data(), bytes.size()), 0);
  }
  // An empty wave is still a valid file.
  std::string empty = dir.file("empty.wav");
  FILE* f = fopen(empty.c_str(), "wb");
  ASSERT_TRUE(wav_write(f, 16000, nullptr, 0));
  fclose(f);
  EXPECT_EQ(shell("soxi -s '" + empty + "'"), "0");
}

}  // namespace
