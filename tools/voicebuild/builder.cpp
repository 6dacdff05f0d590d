#include "tools/voicebuild/builder.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "core/features.h"
#include "core/phoneset.h"
#include "host/synth.h"
#include "host/targets.h"
#include "host/text_io.h"
#include "tools/dbwriter.h"

namespace {

// Context kept on each side of a unit's cut points for the joins: a pitch
// period of the lowest voices, so that a join can overlap whole periods.
constexpr double kPadSeconds = 0.012;
// Edge f0 is measured from the pitch marks within 20 ms of the edge.
constexpr double kEdgePitchReach = 0.02;

const Phoneset* voice_phoneset(const Voice* voice) {
  Value* v = voice ? features_get(voice->features, "phoneset") : nullptr;
  return value_type(v) == kTypePhoneset ? static_cast<const Phoneset*>(v->body.p) : nullptr;
}

}  // namespace

FrontEnd::~FrontEnd() {
  host_voice_close(&host_);
  if (!scratch_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(scratch_, ec);
  }
}

bool FrontEnd::open(const std::string& module, const std::string& scratch_dir, std::string* error) {
  UnitDbParts parts;  // no units: only the name and checksum matter here
  const std::string voxdir = scratch_dir + "/frontend_voice";
  if (!unitdb_write(unitdb_voice_path(voxdir, parts.name, parts.checksum), parts, error)) return false;
  scratch_ = scratch_dir;
  HostOptions options;
  options.module = module;
  options.voice = voxdir;
  if (!host_voice_open(&host_, options, error)) return false;
  if (!voice_phoneset(host_.voice)) {
    *error = "the voice has no phoneset";
    return false;
  }
  return true;
}

Utterance* FrontEnd::utterance(const std::string& latin9, std::string* error) const {
  SynthEngine engine;
  engine.voice = host_.voice;
  std::vector<TextRun> runs(1);
  runs[0].text = latin9;
  return synth_front_end(engine, runs, nullptr, error);
}

bool FrontEnd::is_phone(const std::string& name) const {
  const Phoneset* ps = voice_phoneset(host_.voice);
  return ps && phone_id(ps, name.c_str()) >= 0;
}

std::vector<std::string> segment_names(const Utterance* utterance) {
  std::vector<std::string> out;
  const Relation* r = utterance_relation(utterance, "Segment");
  for (const Item* i = r ? r->head : nullptr; i; i = item_next(i)) {
    Value* v = item_feature(i, "name");
    out.push_back(value_type(v) == kTypeString ? v->body.s : "0");
  }
  return out;
}

std::vector<std::string> utterance_diphones(const Utterance* utterance) {
  std::vector<std::string> names = segment_names(utterance), out;
  for (size_t i = 0; i + 1 < names.size(); ++i) out.push_back(names[i] + "-" + names[i + 1]);
  return out;
}

std::string compare_phones(const std::vector<PhoneLabel>& labels, const std::vector<std::string>& phones) {
  const size_t n = std::min(labels.size(), phones.size());
  for (size_t i = 0; i < n; ++i) {
    if (labels[i].phone != phones[i])
      return "phone " + std::to_string(i + 1) + " is '" + labels[i].phone + "' in the labels but '" + phones[i] +
             "' in the front end";
  }
  if (labels.size() != phones.size())
    return std::to_string(labels.size()) + " labelled phones but " + std::to_string(phones.size()) +
           " from the front end";
  return "";
}

const char* VoiceBuilder::intern(const char* text) { return strings_.insert(text ? text : "0").first->c_str(); }

std::set<std::string> VoiceBuilder::diphones() const {
  std::set<std::string> out;
  for (const VoiceDbUnit& u : recipe_.units) out.insert(u.diphone);
  return out;
}

bool VoiceBuilder::add_recording(const std::string& text_utf8, const std::vector<PhoneLabel>& labels,
                                 const Recording& recording, std::string* reason) {
  if (next_recording_ > 0 && recording.sample_rate != recipe_.sample_rate) {
    *reason = "its rate is " + std::to_string(recording.sample_rate) + " Hz, the others' " +
              std::to_string(recipe_.sample_rate) + " Hz";
    return false;
  }
  const double rate = recording.sample_rate;
  const size_t total = recording.samples.size();
  if (labels.empty() || labels.back().end * rate > static_cast<double>(total) + 0.01 * rate) {
    *reason = "the labels run past the end of the recording";
    return false;
  }
  std::vector<TextIssue> issues;
  const std::string text = utf8_to_latin9(text_utf8, &issues);
  if (!issues.empty()) {
    *reason = "its text has " + std::to_string(issues.size()) + " character(s) outside ISO-8859-15";
    return false;
  }
  std::string error;
  Utterance* u = front_end_.utterance(text, &error);
  if (!u) {
    *reason = "the front end failed: " + error;
    return false;
  }
  const std::vector<std::string> phones = segment_names(u);
  std::string mismatch = compare_phones(labels, phones);
  if (!mismatch.empty()) {
    std::string all;
    for (const std::string& p : phones) all += (all.empty() ? "" : " ") + p;
    *reason = "the labels do not match the front end: " + mismatch + " (front end: " + all + ")";
    utterance_delete(u);
    return false;
  }

  // Phone middles, in samples; each phone must hold at least one sample on
  // each side of its middle.
  const size_t n = labels.size();
  std::vector<size_t> middle(n), boundary(n);
  for (size_t i = 0; i < n; ++i) {
    middle[i] = std::min(total, static_cast<size_t>(std::lround(0.5 * (labels[i].start + labels[i].end) * rate)));
    if (i > 0 && middle[i] <= middle[i - 1]) {
      *reason = "phone " + std::to_string(i + 1) + " ('" + labels[i].phone + "') is too short";
      utterance_delete(u);
      return false;
    }
  }
  for (size_t i = 0; i + 1 < n; ++i)
    boundary[i] = std::clamp(static_cast<size_t>(std::lround(labels[i].end * rate)), middle[i], middle[i + 1]);

  if (next_recording_ == 0) {
    recipe_.sample_rate = recording.sample_rate;
    analyzer_ = std::make_unique<EdgeAnalyzer>(recording.sample_rate);
  }
  const PitchMarks marks = find_pitch_marks(recording.samples, recording.sample_rate);
  pitch_report_.frames += marks.frames;
  pitch_report_.voiced_frames += marks.voiced_frames;
  pitch_report_.octave_corrections += marks.octave_corrections;
  std::vector<JoinEdge> edges(n);
  for (size_t i = 0; i < n; ++i) {
    edges[i] = analyzer_->analyse(recording.samples, middle[i]);
    set_edge_pitch(&edges[i], pitch_from_marks(marks.marks, middle[i],
                                               static_cast<size_t>(kEdgePitchReach * rate), recording.sample_rate));
  }

  std::vector<SegmentTarget> blocks(n);
  const Relation* segs = utterance_relation(u, "Segment");
  size_t k = 0;
  for (const Item* s = segs->head; s && k < n; s = item_next(s), ++k) {
    SegmentTarget t;
    target_from_segment(s, &t);
    t.measure = static_cast<float>((labels[k].end - labels[k].start) * 1000.0);
    for (const char** field : {&t.pp_name, &t.p_name, &t.name, &t.n_name, &t.nn_name, &t.label, &t.gpos_p, &t.gpos,
                               &t.gpos_n, &t.tone, &t.ph_vc, &t.ph_cvox, &t.ph_ctype})
      *field = intern(*field);
    blocks[k] = t;
  }
  utterance_delete(u);

  const size_t pad = static_cast<size_t>(std::lround(kPadSeconds * rate));
  const uint32_t number = next_recording_++;
  for (size_t i = 0; i + 1 < n; ++i) {
    VoiceDbUnit unit;
    unit.diphone = phones[i] + "-" + phones[i + 1];
    unit.left = blocks[i];
    unit.right = blocks[i + 1];
    unit.start_edge = edges[i];
    unit.end_edge = edges[i + 1];
    unit.recording = number;
    unit.position = static_cast<uint32_t>(i);
    const size_t pad_left = std::min(pad, middle[i]);
    const size_t pad_right = std::min(pad, total - middle[i + 1]);
    const size_t core = middle[i + 1] - middle[i];
    if (pad_left + core + pad_right > 65535) {
      ++too_long_;
      continue;
    }
    unit.pad_left = static_cast<uint32_t>(pad_left);
    unit.core_length = static_cast<uint32_t>(core);
    unit.boundary = static_cast<uint32_t>(boundary[i] - middle[i]);
    unit.pad_right = static_cast<uint32_t>(pad_right);
    const size_t first = middle[i] - pad_left, last = middle[i + 1] + pad_right;
    unit.samples.assign(recording.samples.begin() + static_cast<long>(first),
                        recording.samples.begin() + static_cast<long>(last));
    for (auto m = std::lower_bound(marks.marks.begin(), marks.marks.end(), first);
         m != marks.marks.end() && *m < last; ++m)
      unit.pitch_marks.push_back(static_cast<uint16_t>(*m - first));
    recipe_.units.push_back(std::move(unit));
  }
  return true;
}

Coverage diphone_coverage(const FrontEnd& front_end, const std::vector<std::string>& sentences,
                          const std::set<std::string>& have) {
  Coverage c;
  std::set<std::string> seen;
  for (const std::string& s : sentences) {
    std::string error;
    Utterance* u = front_end.utterance(s, &error);
    if (!u) continue;
    for (const std::string& d : utterance_diphones(u)) {
      const bool covered = have.count(d) > 0;
      ++c.occurrences;
      c.occurrences_covered += covered;
      if (seen.insert(d).second) {
        ++c.distinct;
        c.distinct_covered += covered;
      }
      if (!covered) ++c.missing[d];
    }
    utterance_delete(u);
  }
  return c;
}
