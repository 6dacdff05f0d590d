// selvana-testvoice: writes a small synthetic voice in the host's database
// layout, with one unit for every diphone of the voice's 36 phones, so that
// `selvana say` runs end to end before a recorded voice exists.  The units
// are tone and noise bursts shaped by the phone class: harmonics for vowels,
// a softer buzz for voiced consonants, noise for voiceless ones, a short
// closure and burst for plosives, silence for pauses.
//
//   selvana-testvoice [--codec N] [--encoder PATH] [--instances N] [--phones LIST] DIR
//
// With --instances N every diphone gets N instances that differ in length,
// edges and noise, which gives the search real choices (benchmarks).  With
// --phones a,t,pau only the diphones of those phones are written: a small
// database (fuzzing seeds).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "tools/voicedb.h"

namespace {

struct Phone {
  const char* name;
  const char* vc;
  const char* cvox;
  const char* ctype;
  float f1, f2;  // vowel resonances, Hz
};

constexpr Phone kPhones[] = {
    {"a", "+", "0", "0", 800, 1300},  {"an", "+", "0", "0", 650, 1300}, {"e", "+", "0", "0", 450, 2000},
    {"eh", "+", "0", "0", 600, 1800}, {"en", "+", "0", "0", 450, 1900}, {"i", "+", "0", "0", 300, 2300},
    {"in", "+", "0", "0", 300, 2200}, {"o", "+", "0", "0", 450, 850},   {"oh", "+", "0", "0", 600, 950},
    {"on", "+", "0", "0", 450, 850},  {"u", "+", "0", "0", 320, 750},   {"un", "+", "0", "0", 320, 750},
    {"b", "-", "+", "p", 0, 0},       {"d", "-", "+", "p", 0, 0},       {"g", "-", "+", "p", 0, 0},
    {"k", "-", "-", "p", 0, 0},       {"p", "-", "-", "p", 0, 0},       {"t", "-", "-", "p", 0, 0},
    {"j", "-", "+", "g", 300, 2200},  {"w", "-", "+", "g", 320, 750},   {"r", "-", "+", "r", 0, 0},
    {"ch", "-", "-", "a", 0, 0},      {"f", "-", "-", "f", 0, 0},       {"h", "-", "-", "f", 0, 0},
    {"s", "-", "-", "f", 0, 0},       {"sh", "-", "-", "f", 0, 0},      {"jh", "-", "+", "a", 0, 0},
    {"l", "-", "+", "l", 0, 0},       {"lj", "-", "+", "l", 0, 0},      {"m", "-", "+", "n", 0, 0},
    {"n", "-", "+", "n", 0, 0},       {"ni", "-", "+", "n", 0, 0},      {"v", "-", "+", "f", 0, 0},
    {"z", "-", "+", "f", 0, 0},       {"zh", "-", "+", "f", 0, 0},      {"pau", "0", "0", "0", 0, 0},
};

constexpr uint32_t kRate = 16000;
constexpr uint32_t kHalf = 800;  // 50 ms: half a phone
constexpr uint32_t kPad = 80;    // 5 ms of context each side
constexpr float kF0 = 210.0f;

// One sample of a phone at time n (samples from the phone's start).
float phone_sample(const Phone& p, uint32_t n, std::mt19937& rng) {
  std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
  const float t = static_cast<float>(n) / kRate;
  const bool voiced = strcmp(p.cvox, "-") != 0 && strcmp(p.vc, "0") != 0;
  if (strcmp(p.name, "pau") == 0) return 0;
  if (strcmp(p.ctype, "p") == 0) {
    // Closure for most of the phone, then a burst near its end.
    if (n < 2 * kHalf - 400) return voiced ? 600 * std::sin(2 * static_cast<float>(M_PI) * kF0 * t) : 0;
    return 4000 * noise(rng);
  }
  if (!voiced) return 2500 * noise(rng);
  float s = 0;
  for (int h = 1; h * kF0 < 4000; ++h) {
    float f = h * kF0;
    float gain = p.f1 > 0 ? 1.0f / (1 + std::pow((f - p.f1) / 150, 2.0f)) + 0.5f / (1 + std::pow((f - p.f2) / 200, 2.0f))
                          : 1.0f / h;
    s += gain * std::sin(2 * static_cast<float>(M_PI) * f * t);
  }
  return (p.f1 > 0 ? 5000 : 2500) * s / 2;
}

int16_t pcm(float x) { return static_cast<int16_t>(std::clamp(x, -32000.0f, 32000.0f)); }

SegmentTarget block(const Phone& p, int variant) {
  SegmentTarget t{};
  t.measure = 100.0f * (0.7f + 0.1f * static_cast<float>(variant % 7));
  t.name = p.name;
  t.pp_name = t.p_name = t.n_name = t.nn_name = "0";
  t.label = t.gpos_p = t.gpos = t.gpos_n = t.tone = "0";
  t.ph_vc = p.vc;
  t.ph_cvox = p.cvox;
  t.ph_ctype = p.ctype;
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  VoiceDbRecipe recipe;
  std::string dir;
  int instances = 1;
  std::string phones;  // empty: all
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if ((a == "--codec" || a == "--encoder" || a == "--instances" || a == "--phones") && i + 1 < argc) {
      if (a == "--codec") recipe.codec_type = static_cast<uint32_t>(atoi(argv[++i]));
      else if (a == "--instances") instances = atoi(argv[++i]);
      else if (a == "--phones") phones = "," + std::string(argv[++i]) + ",";
      else recipe.vorbis_encoder = argv[++i];
    } else if (a == "--help" || a == "-h") {
      printf("usage: selvana-testvoice [--codec 2|8|12] [--encoder PATH] [--instances N] [--phones LIST] DIR\n");
      return 0;
    } else if (dir.empty() && a[0] != '-') {
      dir = a;
    } else {
      fprintf(stderr, "selvana-testvoice: unexpected argument '%s' (try --help)\n", a.c_str());
      return 2;
    }
  }
  if (dir.empty() || recipe.codec_type == kCodecSilk || instances < 1 || instances > 100) {
    fprintf(stderr, "usage: selvana-testvoice [--codec 2|8|12] [--encoder PATH] [--instances 1..100] DIR\n");
    return 2;
  }
  recipe.sample_rate = kRate;
  recipe.work_dir = dir;
  if (recipe.codec_type == kCodecVorbisScrambled) recipe.vorbis_quality = -0.1f;
  uint32_t recording = 0;
  auto chosen = [&](const Phone& p) { return phones.empty() || phones.find("," + std::string(p.name) + ",") != std::string::npos; };
  for (const Phone& l : kPhones) {
    if (!chosen(l)) continue;
    for (const Phone& r : kPhones) {
      if (!chosen(r)) continue;
      for (int k = 0; k < instances; ++k) {
        VoiceDbUnit u;
        u.diphone = std::string(l.name) + "-" + r.name;
        u.left = block(l, k);
        u.right = block(r, k + 3);
        u.recording = recording++;
        u.pad_left = u.pad_right = kPad;
        u.core_length = 2 * kHalf;
        u.boundary = kHalf;
        std::mt19937 rng(u.recording);
        // The second half of the left phone, then the first half of the right.
        for (uint32_t n = kHalf - kPad; n < 2 * kHalf; ++n) u.samples.push_back(pcm(phone_sample(l, n, rng)));
        for (uint32_t n = 0; n < kHalf + kPad; ++n) u.samples.push_back(pcm(phone_sample(r, n, rng)));
        // Edges measured on the unit's own samples at its two cut points.
        u.start_edge = voicedb_edge_from_samples(u.samples.data(), u.samples.size(), kPad, kRate);
        u.end_edge = voicedb_edge_from_samples(u.samples.data(), u.samples.size(), kPad + 2 * kHalf, kRate);
        recipe.units.push_back(std::move(u));
      }
    }
  }
  std::string error;
  std::string path = dir + "/" + recipe.name + "/" + std::to_string(recipe.checksum) + "/" + recipe.name + "22v";
  if (!voicedb_write(path, recipe, &error)) {
    fprintf(stderr, "selvana-testvoice: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
