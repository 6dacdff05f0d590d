// The phone aligner: an espeak-ng recording with known phone times in
// another voice and at another rate than the reference, with a pause
// between two words, found within tolerance; recordings that cannot be
// aligned refused with their reason; and the tools on a folder, leaving
// labels only where the alignment held.  Skipped without espeak-ng.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "host/text_io.h"
#include "tests/support/temp_dir.h"
#include "tools/voicebuild/align_text.h"

namespace {

namespace fs = std::filesystem;

const std::string kBin = SELVANA_BIN_DIR;
const std::string kModule = kBin + "/" SELVANA_MODULE_FILE;
const char kText[] = "A menina comprou pão, leite e frutas na feira de sábado.";
const char kOther[] = "O governo anunciou um novo pacote de medidas econômicas.";

class Align : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(front_end_.open(kModule, dir_.file("fe"), &error)) << error;
    if (!speaker_.open("pt-br+f3", &error)) GTEST_SKIP() << "espeak-ng is not usable here: " << error;
    speaker_.set_rate(145);
    ASSERT_TRUE(speaker_.speak(front_end_, utf8_to_latin9(kText, nullptr), 0.3, {0.25}, 0.3, &spoken_, &error))
        << error;
    ASSERT_TRUE(aligner_.open(&front_end_, "pt-br", &error)) << error;
  }

  // The spoken sentence with `seconds` of room noise inserted before the
  // phone `at`; the known times after it move on.
  SpokenSentence with_pause_before(size_t at, double seconds) {
    SpokenSentence s = spoken_;
    const double t = s.labels[at].start;
    const size_t where = static_cast<size_t>(t * s.audio.sample_rate), n = static_cast<size_t>(seconds * s.audio.sample_rate);
    std::vector<int16_t> quiet(n);
    for (size_t i = 0; i < n; ++i) quiet[i] = static_cast<int16_t>((i * 7919) % 31 - 15);
    s.audio.samples.insert(s.audio.samples.begin() + static_cast<long>(where), quiet.begin(), quiet.end());
    for (size_t k = at; k < s.labels.size(); ++k) {
      s.labels[k].start += k == at ? 0.0 : seconds;
      s.labels[k].end += seconds;
    }
    s.labels[at].start += seconds;  // the gap is nobody's
    return s;
  }

  testutil::TempDir dir_;
  FrontEnd front_end_;
  EspeakSpeaker speaker_;
  TextAligner aligner_;
  SpokenSentence spoken_;
};

TEST_F(Align, FindsKnownPhoneTimesAndAPauseBetweenWords) {
  // A pause before the word "frutas" (inside the phrase after the comma).
  size_t at = 0;
  for (size_t k = spoken_.labels.size(); k-- > 0;)
    if (spoken_.word_start[k] && spoken_.labels[k].phone == "f") at = k;
  ASSERT_GT(at, 0u);
  const SpokenSentence truth = with_pause_before(at, 0.25);
  const AlignResult r = aligner_.align(kText, truth.audio, AlignSettings{});
  ASSERT_TRUE(r.ok) << r.problem;
  ASSERT_EQ(r.labels.size(), truth.labels.size());
  std::vector<double> errors;
  for (size_t k = 0; k < r.labels.size(); ++k) {
    EXPECT_EQ(r.labels[k].phone, truth.labels[k].phone);
    EXPECT_GT(r.labels[k].end - r.labels[k].start, 0.0) << k;
    if (k > 0) {
      EXPECT_GE(r.labels[k].start, r.labels[k - 1].end - 1e-9);
    }
    if (k + 1 < r.labels.size()) errors.push_back(std::abs(r.labels[k].end - truth.labels[k].end));
  }
  std::sort(errors.begin(), errors.end());
  EXPECT_LT(errors[errors.size() / 2], 0.010);
  EXPECT_LT(errors[errors.size() * 9 / 10], 0.025);
  // The pause is found, as a gap before the word, not a phone stretched over it.
  EXPECT_EQ(r.pauses, 1u);
  EXPECT_NEAR(r.labels[at].start, truth.labels[at].start, 0.03);
  EXPECT_NEAR(r.labels[at - 1].end, truth.labels[at - 1].end, 0.03);
  EXPECT_GT(r.confidence, 60.0);
}

TEST_F(Align, RefusesRecordingsThatCannotBeAligned) {
  const Recording good = spoken_.audio;
  struct Case {
    const char* what;
    std::string text;
    std::function<void(Recording*)> change;
    const char* reason;
  };
  const Case cases[] = {
      {"wrong text", kOther, [](Recording*) {}, "does not match its text"},
      {"cut short", kText, [](Recording* r) { r->samples.resize(r->samples.size() * 55 / 100); }, "speech"},
      {"silence", kText, [](Recording* r) { std::fill(r->samples.begin(), r->samples.end(), 3); }, "silent"},
      {"clipped", kText,
       [](Recording* r) {
         for (int16_t& v : r->samples) v = static_cast<int16_t>(std::clamp(v * 20, -32768, 32767));
       },
       "clipped"},
      {"outside the alphabet", std::string(kText) + " \xce\xbb", [](Recording*) {}, "outside the voice's alphabet"},
  };
  for (const Case& c : cases) {
    Recording r = good;
    c.change(&r);
    const AlignResult result = aligner_.align(c.text, r, AlignSettings{});
    EXPECT_FALSE(result.ok) << c.what;
    EXPECT_NE(result.problem.find(c.reason), std::string::npos) << c.what << ": " << result.problem;
  }
}

std::string run(const std::string& cmd, int* status) {
  FILE* p = popen((cmd + " 2>&1").c_str(), "r");
  std::string out;
  char buf[4096];
  for (size_t n; p && (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  *status = p ? pclose(p) : -1;
  return out;
}

TEST_F(Align, ToolsWriteLabelsOnlyWhereTheAlignmentHolds) {
  const std::string in = dir_.file("rec");
  fs::create_directories(in);
  std::string error;
  auto put = [&](const std::string& name, const std::string& text, const Recording& audio) {
    ASSERT_TRUE(write_wav(in + "/" + name + ".wav", audio, &error)) << error;
    std::ofstream(in + "/" + name + ".txt") << text << "\n";
  };
  Recording silent = spoken_.audio;
  std::fill(silent.samples.begin(), silent.samples.end(), 0);
  put("good", kText, spoken_.audio);
  put("wrong", kOther, spoken_.audio);
  put("silent", kText, silent);
  put("mine", kOther, spoken_.audio);
  std::ofstream(in + "/mine.lab") << "0 0.1 pau\n";                   // by hand: kept
  std::ofstream(in + "/wrong.lab") << "# selvana-align: earlier\n";  // a stale alignment: removed

  int status = 0;
  std::string out = run(kBin + "/selvana-align --module " + kModule + " " + in, &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("wrong left out: the recording does not match its text"), std::string::npos) << out;
  EXPECT_NE(out.find("silent left out: it is silent"), std::string::npos) << out;
  EXPECT_NE(out.find("aligned 1 of 4 recordings"), std::string::npos) << out;
  std::set<std::string> files;
  for (const auto& e : fs::directory_iterator(in)) files.insert(e.path().filename().string());
  EXPECT_EQ(files, (std::set<std::string>{"good.lab", "good.txt", "good.wav", "mine.lab", "mine.txt", "mine.wav",
                                          "silent.txt", "silent.wav", "wrong.txt", "wrong.wav"}));
  std::vector<PhoneLabel> labels;
  std::ifstream lab(in + "/good.lab");
  const std::string text((std::istreambuf_iterator<char>(lab)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(parse_labels(text, [&](const std::string& p) { return front_end_.is_phone(p); }, &labels, &error))
      << error;
  EXPECT_EQ(labels.size(), spoken_.labels.size());

  // The builder aligns the same folder itself and uses what aligns.
  out = run(kBin + "/selvana-voicebuild --align --module " + kModule + " " + in + " " + dir_.file("voice"), &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("recordings: 1 used, 3 left out"), std::string::npos) << out;
  EXPECT_NE(out.find("mine left out: alignment: the recording does not match its text"), std::string::npos) << out;
  size_t entries = 0;
  for (const auto& e : fs::recursive_directory_iterator(dir_.file("voice"))) entries += e.is_regular_file();
  EXPECT_EQ(entries, 1u);  // the database and nothing else

  // Nothing alignable: no voice, no folder that looks like one.
  fs::remove(in + "/good.wav");
  out = run(kBin + "/selvana-voicebuild --align --module " + kModule + " " + in + " " + dir_.file("none"), &status);
  EXPECT_NE(status, 0) << out;
  EXPECT_FALSE(fs::exists(dir_.file("none") + "/vox_pt_br_selvana"));
}

}  // namespace
