// selvana-voicebuild: builds a voice database from a folder of recordings.
//
//   selvana-voicebuild [options] RECORDINGS_DIR VOICE_DIR
//
// Each recording NAME.wav (16-bit mono PCM, one rate for all) comes with
// NAME.txt (its text, UTF-8) and NAME.lab (its phone labels, see
// docs/voice-building.md); with --align the labels are found from the text
// instead (tools/voicebuild/align_text.h) and NAME.lab is not read.  The
// database is written to
// VOICE_DIR/vox_pt_br_selvana/2718093645/vox_pt_br_selvana22v.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "host/text_io.h"
#include "host/voice_host.h"
#include "tools/dbwriter.h"
#include "tools/voicebuild/align_text.h"
#include "tools/voicebuild/builder.h"
#include "tools/voicebuild/labels.h"

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage: selvana-voicebuild [--codec 2|8|12] [--quality Q] [--encoder PATH] [--module PATH]\n"
    "                          [--corpus FILE] [--align] [--min-confidence P] [--verbose]\n"
    "                          RECORDINGS_DIR VOICE_DIR\n";

// Non-empty lines that do not start with '#', converted to ISO-8859-15.
std::vector<std::string> read_sentences(const std::string& path, bool* ok) {
  std::vector<std::string> out;
  std::string text;
  *ok = read_text_file(path, &text);
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    out.push_back(utf8_to_latin9(line, nullptr));
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t codec = 2;
  float quality = 0.1f;
  std::string encoder, module, corpus;
  bool verbose = false, align = false;
  AlignSettings align_settings;
  std::vector<std::string> paths;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    const bool has_value = i + 1 < argc;
    if (a == "--codec" && has_value) codec = static_cast<uint32_t>(atoi(argv[++i]));
    else if (a == "--quality" && has_value) quality = static_cast<float>(atof(argv[++i]));
    else if (a == "--encoder" && has_value) encoder = argv[++i];
    else if (a == "--module" && has_value) module = argv[++i];
    else if (a == "--corpus" && has_value) corpus = argv[++i];
    else if (a == "--verbose") verbose = true;
    else if (a == "--align") align = true;
    else if (a == "--min-confidence" && has_value) align_settings.min_confidence = atof(argv[++i]);
    else if (a == "--help" || a == "-h") {
      fputs(kUsage, stdout);
      return 0;
    } else if (!a.empty() && a[0] != '-') paths.push_back(a);
    else {
      fprintf(stderr, "selvana-voicebuild: bad argument '%s'\n%s", a.c_str(), kUsage);
      return 2;
    }
  }
  if (paths.size() != 2 || (codec != 2 && codec != 8 && codec != 12)) {
    fputs(kUsage, stderr);
    return 2;
  }
  const std::string in_dir = paths[0], voice_dir = paths[1];
  if (corpus.empty()) {
    std::string next_to_tool = host_tool_dir() + "/voicebuild/corpus_pt_br.txt";
    if (fs::exists(next_to_tool)) corpus = next_to_tool;
  }

  std::error_code ec;
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(in_dir, ec))
    if (entry.path().extension() == ".wav") names.push_back(entry.path().stem().string());
  if (ec) {
    fprintf(stderr, "selvana-voicebuild: cannot read the folder %s\n", in_dir.c_str());
    return 1;
  }
  std::sort(names.begin(), names.end());

  fs::create_directories(voice_dir, ec);
  const std::string scratch = voice_dir + "/.voicebuild." + std::to_string(getpid());
  FrontEnd front_end;
  std::string error;
  if (!front_end.open(module, scratch, &error)) {
    fprintf(stderr, "selvana-voicebuild: %s\n", error.c_str());
    return 1;
  }
  TextAligner aligner;
  if (align && !aligner.open(&front_end, "pt-br", &error)) {
    fprintf(stderr, "selvana-voicebuild: %s\n", error.c_str());
    return 1;
  }
  size_t aligned = 0;
  VoiceBuilder builder(front_end);
  builder.recipe().codec_type = codec;
  builder.recipe().vorbis_quality = quality;
  builder.recipe().vorbis_encoder = encoder.empty() ? host_tool_dir() + "/selvana-vorbis-encode" : encoder;
  builder.recipe().work_dir = scratch;

  size_t rejected = 0;
  auto reject = [&](const std::string& name, const std::string& why) {
    fprintf(stderr, "selvana-voicebuild: %s left out: %s\n", name.c_str(), why.c_str());
    ++rejected;
  };
  for (const std::string& name : names) {
    const std::string stem = in_dir + "/" + name;
    std::string text, label_text;
    if (!read_text_file(stem + ".txt", &text)) {
      reject(name, "no " + name + ".txt");
      continue;
    }
    if (!align && !read_text_file(stem + ".lab", &label_text)) {
      reject(name, "no " + name + ".lab");
      continue;
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    std::vector<PhoneLabel> labels;
    if (!align &&
        !parse_labels(label_text, [&](const std::string& p) { return front_end.is_phone(p); }, &labels, &error)) {
      reject(name, name + ".lab:" + error);
      continue;
    }
    Recording recording;
    if (!read_wav(stem + ".wav", &recording, &error)) {
      reject(name, error);
      continue;
    }
    if (align) {
      AlignResult result = aligner.align(text, recording, align_settings);
      if (!result.ok) {
        reject(name, "alignment: " + align_problem_text(result));
        continue;
      }
      labels = std::move(result.labels);
      ++aligned;
    }
    std::string reason;
    if (!builder.add_recording(text, labels, recording, &reason)) reject(name, reason);
    else if (verbose) fprintf(stderr, "selvana-voicebuild: %s: %zu phones\n", name.c_str(), labels.size());
  }
  const VoiceDbRecipe& recipe = builder.recipe();
  if (recipe.units.empty()) {
    fprintf(stderr, "selvana-voicebuild: no usable recordings in %s\n", in_dir.c_str());
    return 1;
  }

  const std::string path = unitdb_voice_path(voice_dir, recipe.name, recipe.checksum);
  const std::string partial = path + ".partial";
  // A failed write leaves no folder behind that would look like a voice
  // (only folders that are empty are removed).
  auto fail = [&](const std::string& why) {
    fprintf(stderr, "selvana-voicebuild: %s\n", why.c_str());
    fs::remove(partial, ec);
    fs::remove(fs::path(path).parent_path(), ec);
    fs::remove(fs::path(path).parent_path().parent_path(), ec);
    return 1;
  };
  if (!voicedb_write(partial, recipe, &error)) return fail(error);
  fs::rename(partial, path, ec);
  if (ec) return fail("cannot write " + path);
  const std::set<std::string> have = builder.diphones();
  printf("voice: %s\n", path.c_str());
  printf("recordings: %u used, %zu left out\n", builder.recordings(), rejected);
  if (align) printf("alignment: %zu of %zu recordings aligned\n", aligned, names.size());
  if (builder.too_long())
    printf("units: %zu left out, longer than 65535 samples (very long pauses)\n", builder.too_long());
  printf("units: %zu of %zu diphones, codec %u, %u Hz, %ju bytes\n", recipe.units.size(), have.size(), codec,
         recipe.sample_rate, static_cast<uintmax_t>(fs::file_size(path, ec)));
  const PitchMarks& pm = builder.pitch_report();
  size_t unit_marks = 0;
  for (const VoiceDbUnit& u : recipe.units) unit_marks += u.pitch_marks.size();
  printf("pitch marks: %.1f%% of %zu sounding frames voiced, %zu octave corrections, %zu marks in the units\n",
         pm.frames ? 100.0 * static_cast<double>(pm.voiced_frames) / static_cast<double>(pm.frames) : 0.0, pm.frames,
         pm.octave_corrections, unit_marks);
  if (!corpus.empty()) {
    bool ok = false;
    std::vector<std::string> sentences = read_sentences(corpus, &ok);
    if (!ok) {
      fprintf(stderr, "selvana-voicebuild: cannot read the corpus %s\n", corpus.c_str());
      return 1;
    }
    Coverage c = diphone_coverage(front_end, sentences, have);
    printf("diphone coverage: %zu of %zu diphones of %s (%.1f%%), %.1f%% of its %zu diphone occurrences\n",
           c.distinct_covered, c.distinct, fs::path(corpus).filename().string().c_str(),
           c.distinct ? 100.0 * static_cast<double>(c.distinct_covered) / static_cast<double>(c.distinct) : 0.0,
           c.occurrences ? 100.0 * static_cast<double>(c.occurrences_covered) / static_cast<double>(c.occurrences)
                         : 0.0,
           c.occurrences);
    if (verbose) {
      std::vector<std::pair<size_t, std::string>> missing;
      for (const auto& [d, n] : c.missing) missing.emplace_back(n, d);
      std::sort(missing.rbegin(), missing.rend());
      for (const auto& [n, d] : missing) printf("  missing %s (%zu)\n", latin9_to_utf8(d).c_str(), n);
    }
  } else {
    printf("diphone coverage: no corpus given (--corpus FILE)\n");
  }
  return 0;
}
