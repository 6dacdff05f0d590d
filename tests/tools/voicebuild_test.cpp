// The voice builder: label and recording reading, a small voice built from
// synthetic recordings with labels taken from the front end's own durations,
// loaded by the module and searched, and the selvana-voicebuild tool's
// reports of recordings it leaves out.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>

#include "core/item.h"
#include "host/audio.h"
#include "host/search.h"
#include "host/synth.h"
#include "host/targets.h"
#include "host/voice_host.h"
#include "core/coding.h"
#include "tests/support/temp_dir.h"
#include "tools/dbwriter.h"
#include "tools/voicebuild/builder.h"

namespace {

const std::string kBin = SELVANA_BIN_DIR;
const std::string kModule = kBin + "/" SELVANA_MODULE_FILE;

bool any_phone(const std::string& p) { return p == "pau" || p == "a" || p == "k" || p == "s"; }

std::string parse_error(const std::string& text) {
  std::vector<PhoneLabel> labels;
  std::string error;
  EXPECT_FALSE(parse_labels(text, any_phone, &labels, &error)) << text;
  EXPECT_TRUE(labels.empty());
  return error;
}

TEST(Labels, ReadsPhonesSkippingCommentsBlankLinesAndCarriageReturns) {
  std::vector<PhoneLabel> labels;
  std::string error;
  ASSERT_TRUE(parse_labels("# start end phone\n\n0 0.25 pau\r\n0.25\t0.3 k\n  0.3 0.42 a  \n0.5 1e0 pau", any_phone,
                           &labels, &error))
      << error;
  ASSERT_EQ(labels.size(), 4u);
  EXPECT_EQ(labels[1].phone, "k");
  EXPECT_DOUBLE_EQ(labels[1].start, 0.25);
  EXPECT_DOUBLE_EQ(labels[2].end, 0.42);
  EXPECT_DOUBLE_EQ(labels[3].start, 0.5);  // a gap before a phone is allowed
  EXPECT_DOUBLE_EQ(labels[3].end, 1.0);

  std::vector<PhoneLabel> again;
  ASSERT_TRUE(parse_labels(format_labels(labels), any_phone, &again, &error));
  ASSERT_EQ(again.size(), labels.size());
  for (size_t i = 0; i < labels.size(); ++i) {
    EXPECT_EQ(again[i].phone, labels[i].phone);
    EXPECT_NEAR(again[i].start, labels[i].start, 1e-6);
    EXPECT_NEAR(again[i].end, labels[i].end, 1e-6);
  }
}

TEST(Labels, ReportsTheFirstBadLineWithItsNumber) {
  EXPECT_EQ(parse_error("0 0.1 pau\n0.1 0.2\n"), "2: expected START END PHONE, found 2 fields");
  EXPECT_EQ(parse_error("0 0.1 pau 7\n"), "1: expected START END PHONE, found 4 fields");
  EXPECT_EQ(parse_error("# x\nzero 0.1 a\n"), "2: start 'zero' is not a time in seconds");
  EXPECT_EQ(parse_error("0 0.1s a\n"), "1: end '0.1s' is not a time in seconds");
  EXPECT_EQ(parse_error("-0.1 0.1 a\n"), "1: start '-0.1' is not a time in seconds");
  EXPECT_EQ(parse_error("0 nan a\n"), "1: end 'nan' is not a time in seconds");
  EXPECT_EQ(parse_error("0.2 0.2 a\n"), "1: the phone ends at or before its start");
  EXPECT_EQ(parse_error("0 0.3 a\n0.2 0.4 k\n"), "2: the phone starts before the previous one ends");
  EXPECT_EQ(parse_error("0 0.1 pau\n0.1 0.2 a1\n"), "2: unknown phone 'a1'");
  EXPECT_EQ(parse_error("# only a comment\n\n"), "no phones");
}

TEST(Recordings, WavRoundTripAndRefusals) {
  testutil::TempDir dir;
  Recording r;
  r.sample_rate = 22050;
  r.samples = {0, 1, -1, 32767, -32768, 1234};
  std::string error;
  ASSERT_TRUE(write_wav(dir.file("a.wav"), r, &error)) << error;
  Recording back;
  ASSERT_TRUE(read_wav(dir.file("a.wav"), &back, &error)) << error;
  EXPECT_EQ(back.sample_rate, 22050u);
  EXPECT_EQ(back.samples, r.samples);

  // Stereo and 8-bit files are refused, as is a file that is not RIFF.
  std::ifstream in(dir.file("a.wav"), std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<uint8_t> stereo = bytes;
  stereo[22] = 2;
  testutil::write_bytes(dir.file("stereo.wav"), stereo);
  EXPECT_FALSE(read_wav(dir.file("stereo.wav"), &back, &error));
  EXPECT_NE(error.find("not 16-bit mono PCM"), std::string::npos) << error;
  std::vector<uint8_t> eight = bytes;
  eight[34] = 8;
  testutil::write_bytes(dir.file("eight.wav"), eight);
  EXPECT_FALSE(read_wav(dir.file("eight.wav"), &back, &error));
  for (uint32_t rate : {0u, 7999u, 96001u, 4000000000u}) {  // a voice could not declare it
    std::vector<uint8_t> odd = bytes;
    write_le32(odd.data() + 24, rate);
    testutil::write_bytes(dir.file("rate.wav"), odd);
    EXPECT_FALSE(read_wav(dir.file("rate.wav"), &back, &error)) << rate;
  }
  EXPECT_NE(error.find("sample rate 4000000000 Hz is outside 8000 to 96000"), std::string::npos) << error;
  testutil::write_bytes(dir.file("junk.wav"), {'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'});
  EXPECT_FALSE(read_wav(dir.file("junk.wav"), &back, &error));
  // A truncated data chunk gives the samples that are there.
  std::vector<uint8_t> cut(bytes.begin(), bytes.end() - 3);
  testutil::write_bytes(dir.file("cut.wav"), cut);
  ASSERT_TRUE(read_wav(dir.file("cut.wav"), &back, &error));
  EXPECT_EQ(back.samples.size(), 4u);
}

constexpr uint32_t kRate = 16000;

// A synthetic recording of a text: the phones and durations the front end
// gives it, each phone a tone whose pitch depends on the recording and the
// phone's position, so that every stretch of audio tells where it came from.
struct SyntheticRecording {
  std::string text;
  std::vector<PhoneLabel> labels;
  Recording audio;
};

SyntheticRecording synthesise(const FrontEnd& fe, const std::string& text, int number) {
  SyntheticRecording out;
  out.text = text;
  std::string error;
  Utterance* u = fe.utterance(text, &error);
  EXPECT_NE(u, nullptr) << error;
  if (!u) return out;
  double start = 0;
  const Relation* segs = utterance_relation(u, "Segment");
  for (const Item* s = segs->head; s; s = item_next(s)) {
    const double end = item_feature_float(s, "end");
    out.labels.push_back({start, end, value_string(item_feature(s, "name"))});
    start = end;
  }
  utterance_delete(u);
  out.audio.sample_rate = kRate;
  for (size_t i = 0; i < out.labels.size(); ++i) {
    const PhoneLabel& l = out.labels[i];
    const double hz = 120.0 + 40.0 * number + 9.0 * static_cast<double>(i);
    const bool silent = l.phone == "pau";
    for (size_t n = static_cast<size_t>(std::lround(l.start * kRate)); n < static_cast<size_t>(std::lround(l.end * kRate));
         ++n)
      out.audio.samples.push_back(
          silent ? 0 : static_cast<int16_t>(8000 * std::sin(2 * M_PI * hz * static_cast<double>(n) / kRate)));
  }
  return out;
}

class VoiceBuildFixture : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(front_end_.open(kModule, dir_.file("scratch"), &error)) << error;
  }
  testutil::TempDir dir_;
  FrontEnd front_end_;
};

// Registers the built voice, runs the same text through the host's search
// and returns the chosen options' (recording, position) pairs; renders the
// wave too and checks it against `expect` where no crossfade touched it:
// sample for sample when `exact`, else within a signal-to-noise ratio of
// 20 dB (lossy codings).
std::vector<std::pair<uint32_t, uint32_t>> search_voice(const std::string& voxdir, const std::string& text,
                                                        uint64_t* cost, const SyntheticRecording* expect,
                                                        bool exact = true) {
  std::vector<std::pair<uint32_t, uint32_t>> chosen;
  HostVoice host;
  HostOptions options;
  options.module = kModule;
  options.voice = voxdir;
  std::string error;
  EXPECT_TRUE(host_voice_open(&host, options, &error)) << error;
  if (!host.voice) return chosen;
  SynthEngine engine;
  EXPECT_TRUE(synth_engine_open(&engine, host.voice, &error)) << error;
  Utterance* u = synth_front_end(engine, {TextRun{text, {}}}, nullptr, &error);
  EXPECT_NE(u, nullptr) << error;
  Value* state = synth_state_new();
  WaveSynth* ws = synth_state(state);
  const int32_t count = targets_count(u);
  std::vector<SegmentTarget> targets(static_cast<size_t>(count));
  targets_fill(u, targets.data(), count);
  std::vector<std::string> notes;
  SearchPlan* plan = search_prepare(ws, host.voice, engine.graph_fn, engine.db, targets.data(), count, engine.beam,
                                    &notes);
  search_run(plan);
  EXPECT_TRUE(notes.empty()) << notes.front();
  *cost = plan->cost;
  for (int32_t p = 0; p < plan->positions; ++p) {
    const SearchOption& o = plan->options[plan->path[p]];
    chosen.emplace_back(o.recording, o.position);
  }
  // Every coding renders; the whole utterance comes out.
  const bool rendered = audio_open_decoder(ws, engine.db, &error) && audio_render(ws, plan, &error);
  EXPECT_TRUE(rendered) << error;
  if (expect) {
    // Unit p starts at the middle of the recording's phone p.
    const std::vector<PhoneLabel>& l = expect->labels;
    size_t compared = 0, differ = 0;
    double signal = 0, noise = 0;
    for (int32_t p = 0; rendered && p < plan->positions; ++p) {
      const AudioPlacement& at = plan->placements[p];
      const long middle = std::lround(0.5 * (l[static_cast<size_t>(p)].start + l[static_cast<size_t>(p)].end) * kRate);
      for (int32_t k = at.exact_begin; k < at.exact_end; ++k, ++compared) {
        const int16_t want = expect->audio.samples[static_cast<size_t>(middle + (k - at.begin))];
        differ += ws->wave->samples[k] != want;
        signal += static_cast<double>(want) * want;
        noise += std::pow(static_cast<double>(ws->wave->samples[k]) - want, 2);
      }
    }
    if (exact) {
      EXPECT_EQ(differ, 0u);
    }
    EXPECT_GT(10 * std::log10(signal / std::max(noise, 1.0)), 20.0);
    EXPECT_GT(compared, expect->audio.samples.size() / 2);
  }
  value_release(state);
  utterance_delete(u);
  host_voice_close(&host);
  return chosen;
}

TEST_F(VoiceBuildFixture, UnitsComeFromTheRightRecordingsAndPositions) {
  std::vector<SyntheticRecording> recs = {synthesise(front_end_, "a casa bonita.", 0),
                                          synthesise(front_end_, "o gato preto.", 1),
                                          synthesise(front_end_, "vinte velas.", 2)};
  VoiceBuilder builder(front_end_);
  std::string reason;
  for (const SyntheticRecording& r : recs) ASSERT_TRUE(builder.add_recording(r.text, r.labels, r.audio, &reason)) << reason;
  VoiceDbRecipe& recipe = builder.recipe();
  EXPECT_EQ(recipe.sample_rate, kRate);
  size_t expected_units = 0;
  for (const SyntheticRecording& r : recs) expected_units += r.labels.size() - 1;
  ASSERT_EQ(recipe.units.size(), expected_units);

  // Each unit: its diphone, its place, its cut points at the phone middles.
  const VoiceDbUnit& u = recipe.units[2];  // "a casa": pau a k a ...
  const std::vector<PhoneLabel>& l = recs[0].labels;
  EXPECT_EQ(u.diphone, l[2].phone + "-" + l[3].phone);
  EXPECT_EQ(u.recording, 0u);
  EXPECT_EQ(u.position, 2u);
  const long mid2 = std::lround(0.5 * (l[2].start + l[2].end) * kRate);
  const long mid3 = std::lround(0.5 * (l[3].start + l[3].end) * kRate);
  EXPECT_EQ(u.core_length, static_cast<uint32_t>(mid3 - mid2));
  EXPECT_EQ(u.boundary, static_cast<uint32_t>(std::lround(l[2].end * kRate) - mid2));
  EXPECT_EQ(u.pad_left, 192u);  // 12 ms
  EXPECT_EQ(u.samples.size(), u.pad_left + u.core_length + u.pad_right);
  EXPECT_EQ(u.samples[u.pad_left], recs[0].audio.samples[static_cast<size_t>(mid2)]);
  EXPECT_STREQ(u.left.name, l[2].phone.c_str());
  EXPECT_STREQ(u.left.n_name, l[3].phone.c_str());
  EXPECT_NEAR(u.left.measure, (l[2].end - l[2].start) * 1000, 1e-3);
  // Its edges are those of the signal: a voiced tone at the known pitch,
  // all its energy in the lowest band.
  const double hz = 120.0 + 9.0 * 2;
  EXPECT_EQ(u.start_edge.edge_level, std::lround(12 * std::log2(hz / 55)));
  EXPECT_NEAR(u.start_edge.reserved[0] | u.start_edge.reserved[1] << 8, 10 * hz, 15);
  EXPECT_NEAR(u.start_edge.edge_b, 40 * std::log10(8000 / std::sqrt(2.0) / 32768), 1);
  EXPECT_NEAR(u.start_edge.edge_value, 8000 / std::sqrt(2.0), 150);  // 20 ms is not a whole number of periods
  EXPECT_EQ(u.start_edge.edge_c, 0);
  EXPECT_GE(u.start_edge.coef[0], 99);
  EXPECT_LT(u.start_edge.coef[15], 50);
  // Its pitch marks in the left phone lie one period apart.
  size_t in_left = 0;
  for (size_t k = 1; k < u.pitch_marks.size() && u.pitch_marks[k] < u.pad_left + u.boundary - kRate / hz; ++k, ++in_left)
    EXPECT_NEAR(u.pitch_marks[k] - u.pitch_marks[k - 1], kRate / hz, 1.5) << k;
  EXPECT_GE(in_left, 3u);
  // The pause at the start of a recording is digital silence: unvoiced, at
  // the lowest level, with a flat shape.
  const JoinEdge& quiet = recipe.units[0].start_edge;
  EXPECT_EQ(quiet.edge_level, 0);
  EXPECT_EQ(quiet.edge_value, 1);
  EXPECT_EQ(quiet.edge_b, -200);
  EXPECT_EQ(quiet.edge_a, 0);
  for (uint8_t c : quiet.coef) EXPECT_EQ(c, 100);

  std::string error;
  const std::string voxdir = dir_.file("voice");
  ASSERT_TRUE(voicedb_write(unitdb_voice_path(voxdir, recipe.name, recipe.checksum), recipe, &error)) << error;

  // The text of each recording is spoken with that recording's units, in
  // order, at no cost; the audio is the recording's own.
  for (size_t r = 0; r < recs.size(); ++r) {
    uint64_t cost = 1;
    auto chosen = search_voice(voxdir, recs[r].text, &cost, &recs[r]);
    ASSERT_EQ(chosen.size(), recs[r].labels.size() - 1);
    EXPECT_EQ(cost, 0u);
    for (size_t p = 0; p < chosen.size(); ++p) {
      EXPECT_EQ(chosen[p].first, r) << recs[r].text << " position " << p;
      EXPECT_EQ(chosen[p].second, p) << recs[r].text << " position " << p;
    }
  }
}

TEST_F(VoiceBuildFixture, VorbisVoicesLoadAndSearchAlike) {
  SyntheticRecording r0 = synthesise(front_end_, "a casa bonita.", 0);
  SyntheticRecording r1 = synthesise(front_end_, "o gato preto.", 1);
  VoiceBuilder builder(front_end_);
  std::string reason, error;
  ASSERT_TRUE(builder.add_recording(r0.text, r0.labels, r0.audio, &reason)) << reason;
  ASSERT_TRUE(builder.add_recording(r1.text, r1.labels, r1.audio, &reason)) << reason;
  VoiceDbRecipe& recipe = builder.recipe();
  recipe.vorbis_encoder = kBin + "/selvana-vorbis-encode";
  recipe.vorbis_quality = 0.1f;
  recipe.work_dir = dir_.path();
  for (uint32_t codec : {8u, 12u}) {
    SCOPED_TRACE(codec);
    recipe.codec_type = codec;
    const std::string voxdir = dir_.file("voice" + std::to_string(codec));
    ASSERT_TRUE(voicedb_write(unitdb_voice_path(voxdir, recipe.name, recipe.checksum), recipe, &error)) << error;
    uint64_t cost = 1;
    auto chosen = search_voice(voxdir, r1.text, &cost, &r1, false);
    ASSERT_EQ(chosen.size(), r1.labels.size() - 1);
    EXPECT_EQ(cost, 0u);
    for (size_t p = 0; p < chosen.size(); ++p) EXPECT_EQ(chosen[p], std::make_pair(1u, static_cast<uint32_t>(p)));
  }
}

TEST_F(VoiceBuildFixture, MismatchingRecordingsAreLeftOut) {
  SyntheticRecording good = synthesise(front_end_, "o gato preto.", 0);
  VoiceBuilder builder(front_end_);
  std::string reason;

  SyntheticRecording wrong_phone = good;
  wrong_phone.labels[2].phone = "a";
  EXPECT_FALSE(builder.add_recording(wrong_phone.text, wrong_phone.labels, wrong_phone.audio, &reason));
  EXPECT_NE(reason.find("phone 3 is 'a' in the labels but '" + good.labels[2].phone + "' in the front end"),
            std::string::npos)
      << reason;

  SyntheticRecording missing = good;
  missing.labels.pop_back();
  EXPECT_FALSE(builder.add_recording(missing.text, missing.labels, missing.audio, &reason));
  EXPECT_NE(reason.find("labelled phones but"), std::string::npos) << reason;

  SyntheticRecording other_text = good;
  other_text.text = "o pato preto.";
  EXPECT_FALSE(builder.add_recording(other_text.text, other_text.labels, other_text.audio, &reason));

  SyntheticRecording short_audio = good;
  short_audio.audio.samples.resize(short_audio.audio.samples.size() / 2);
  EXPECT_FALSE(builder.add_recording(short_audio.text, short_audio.labels, short_audio.audio, &reason));
  EXPECT_EQ(reason, "the labels run past the end of the recording");
  EXPECT_TRUE(builder.recipe().units.empty());
  EXPECT_EQ(builder.recordings(), 0u);

  ASSERT_TRUE(builder.add_recording(good.text, good.labels, good.audio, &reason)) << reason;
  SyntheticRecording other_rate = synthesise(front_end_, "a casa.", 1);
  other_rate.audio.sample_rate = 22050;
  EXPECT_FALSE(builder.add_recording(other_rate.text, other_rate.labels, other_rate.audio, &reason));
  EXPECT_EQ(reason, "its rate is 22050 Hz, the others' 16000 Hz");
  EXPECT_EQ(builder.recordings(), 1u);
  for (const VoiceDbUnit& u : builder.recipe().units) EXPECT_EQ(u.recording, 0u);
}

TEST_F(VoiceBuildFixture, UnitOverARecordFullIsLeftOutAndCounted) {
  // Nine seconds of silence before the text: the first unit, from the middle
  // of that pause to the middle of the first phone, exceeds 65535 samples.
  SyntheticRecording r = synthesise(front_end_, "o gato.", 0);
  const double shift = 9.0;
  r.labels[0].end += shift;
  for (size_t i = 1; i < r.labels.size(); ++i) r.labels[i].start += shift, r.labels[i].end += shift;
  r.audio.samples.insert(r.audio.samples.begin(), static_cast<size_t>(shift * kRate), 0);
  VoiceBuilder builder(front_end_);
  std::string reason;
  ASSERT_TRUE(builder.add_recording(r.text, r.labels, r.audio, &reason)) << reason;
  EXPECT_EQ(builder.too_long(), 1u);
  ASSERT_EQ(builder.recipe().units.size(), r.labels.size() - 2);
  // The others keep their positions in the recording.
  EXPECT_EQ(builder.recipe().units[0].position, 1u);
  EXPECT_EQ(builder.recipe().units[0].diphone, r.labels[1].phone + "-" + r.labels[2].phone);
}

// The tool on a folder: good recordings are used, bad ones reported by name
// and left out, and the coverage is measured on the corpus given.
TEST_F(VoiceBuildFixture, ToolReportsWhatItLeavesOut) {
  const std::string in = dir_.file("recordings");
  std::filesystem::create_directories(in);
  std::string error;
  auto put = [&](const std::string& name, const SyntheticRecording& r, const std::string& labels) {
    ASSERT_TRUE(write_wav(in + "/" + name + ".wav", r.audio, &error)) << error;
    std::ofstream(in + "/" + name + ".txt") << r.text << "\n";
    std::ofstream(in + "/" + name + ".lab") << labels;
  };
  SyntheticRecording a = synthesise(front_end_, "a casa bonita.", 0);
  SyntheticRecording b = synthesise(front_end_, "o gato preto.", 1);
  put("a", a, format_labels(a.labels));
  std::vector<PhoneLabel> wrong = b.labels;
  wrong[1].phone = "e";
  put("b", b, format_labels(wrong));
  put("c", b, "0 0.1 pau\n0.1 0.2 xyz\n");
  ASSERT_TRUE(write_wav(in + "/d.wav", b.audio, &error));  // no text, no labels
  std::ofstream(dir_.file("corpus.txt")) << "# corpus\na casa bonita.\no gato.\n";

  const std::string cmd = kBin + "/selvana-voicebuild --module " + kModule + " --corpus " + dir_.file("corpus.txt") +
                          " " + in + " " + dir_.file("out") + " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string out;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  EXPECT_EQ(pclose(p), 0) << out;
  EXPECT_NE(out.find("b left out: the labels do not match the front end: phone 2 is 'e'"), std::string::npos) << out;
  EXPECT_NE(out.find("c left out: c.lab:2: unknown phone 'xyz'"), std::string::npos) << out;
  EXPECT_NE(out.find("d left out: no d.txt"), std::string::npos) << out;
  EXPECT_NE(out.find("recordings: 1 used, 3 left out"), std::string::npos) << out;
  // Only the diphones of the recording that was used count as covered.
  Utterance* u1 = front_end_.utterance("a casa bonita.", &error);
  Utterance* u2 = front_end_.utterance("o gato.", &error);
  std::set<std::string> d1, all;
  for (const std::string& d : utterance_diphones(u1)) d1.insert(d), all.insert(d);
  for (const std::string& d : utterance_diphones(u2)) all.insert(d);
  utterance_delete(u1);
  utterance_delete(u2);
  char expect[128];
  snprintf(expect, sizeof expect, "diphone coverage: %zu of %zu diphones of corpus.txt", d1.size(), all.size());
  EXPECT_NE(out.find(expect), std::string::npos) << out;
  EXPECT_TRUE(std::filesystem::exists(unitdb_voice_path(dir_.file("out"), "vox_pt_br_selvana", 2718093645u)));

  // A folder with nothing usable fails.
  const std::string none = kBin + "/selvana-voicebuild --module " + kModule + " " + dir_.file("empty") + " " +
                           dir_.file("out2") + " >/dev/null 2>&1";
  std::filesystem::create_directories(dir_.file("empty"));
  EXPECT_NE(system(none.c_str()), 0);
  // So does a database that cannot be written, leaving nothing that looks
  // like a voice.
  const std::string broken = kBin + "/selvana-voicebuild --module " + kModule + " --codec 8 --encoder " +
                             dir_.file("no-encoder") + " " + in + " " + dir_.file("out3") + " >/dev/null 2>&1";
  EXPECT_NE(system(broken.c_str()), 0);
  EXPECT_FALSE(std::filesystem::exists(dir_.file("out3") + "/vox_pt_br_selvana"));
}

}  // namespace
