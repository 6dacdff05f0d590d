// selvana-align: phone labels for a folder of recordings and their texts.
//
//   selvana-align [--module PATH] [--reference-voice NAME] [--min-confidence P]
//                 [--force] [--verbose] RECORDINGS_DIR
//
// Each NAME.wav (16-bit mono PCM) with NAME.txt (the text read, UTF-8) gets
// NAME.lab, the phone labels that selvana-voicebuild reads.  A recording
// that cannot be aligned (a text that does not match, silence, clipping, a
// rate other than the folder's, characters outside the voice's alphabet) is
// reported with the region that matches worst and gets no NAME.lab.  Label
// files written by hand are kept unless --force is given.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>

#include "tools/voicebuild/align_text.h"
#include "tools/voicebuild/labels.h"

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage: selvana-align [--module PATH] [--reference-voice NAME] [--min-confidence P]\n"
    "                     [--force] [--verbose] RECORDINGS_DIR\n";

// Writes the file whole or not at all.
bool write_whole(const std::string& path, const std::string& text) {
  const std::string partial = path + ".partial." + std::to_string(getpid());
  {
    std::ofstream out(partial, std::ios::binary);
    out << text;
    out.flush();
    if (!out) {
      std::error_code ec;
      fs::remove(partial, ec);
      return false;
    }
  }
  std::error_code ec;
  fs::rename(partial, path, ec);
  if (ec) fs::remove(partial, ec);
  return !ec;
}

}  // namespace

int main(int argc, char** argv) {
  std::string module, reference = "pt-br", dir;
  AlignSettings settings;
  bool force = false, verbose = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    const bool has_value = i + 1 < argc;
    if (a == "--module" && has_value) module = argv[++i];
    else if (a == "--reference-voice" && has_value) reference = argv[++i];
    else if (a == "--min-confidence" && has_value) settings.min_confidence = atof(argv[++i]);
    else if (a == "--force") force = true;
    else if (a == "--verbose") verbose = true;
    else if (a == "--help" || a == "-h") {
      fputs(kUsage, stdout);
      return 0;
    } else if (dir.empty() && !a.empty() && a[0] != '-') dir = a;
    else {
      fprintf(stderr, "selvana-align: bad argument '%s'\n%s", a.c_str(), kUsage);
      return 2;
    }
  }
  if (dir.empty()) {
    fputs(kUsage, stderr);
    return 2;
  }
  std::error_code ec;
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir, ec))
    if (entry.path().extension() == ".wav") names.push_back(entry.path().stem().string());
  if (ec) {
    fprintf(stderr, "selvana-align: cannot read the folder %s\n", dir.c_str());
    return 1;
  }
  std::sort(names.begin(), names.end());

  // The folder's rate: the one most recordings have.
  std::map<std::string, Recording> recordings;
  std::map<std::string, std::string> unreadable;
  std::map<uint32_t, size_t> rates;
  for (const std::string& name : names) {
    std::string error;
    Recording r;
    if (read_wav(dir + "/" + name + ".wav", &r, &error)) ++rates[r.sample_rate];
    else unreadable[name] = error;
  }
  uint32_t rate = 0;
  size_t most = 0;
  for (const auto& [r, n] : rates)
    if (n > most) {
      most = n;
      rate = r;
    }

  const std::string scratch = (fs::temp_directory_path() / ("selvana-align." + std::to_string(getpid()))).string();
  FrontEnd front_end;
  TextAligner aligner;
  std::string error;
  if (!front_end.open(module, scratch, &error) || !aligner.open(&front_end, reference, &error)) {
    fprintf(stderr, "selvana-align: %s\n", error.c_str());
    return 1;
  }
  size_t aligned = 0, left_out = 0, kept_by_hand = 0;
  double confidence_sum = 0;
  for (const std::string& name : names) {
    const std::string stem = dir + "/" + name;
    std::string old_labels;
    const bool has_labels = read_text_file(stem + ".lab", &old_labels);
    const bool ours = has_labels && is_aligned_label_text(old_labels);
    if (has_labels && !ours && !force) {
      if (verbose) printf("%s: keeps its own %s.lab (--force aligns it)\n", name.c_str(), name.c_str());
      ++kept_by_hand;
      continue;
    }
    auto leave_out = [&](const std::string& why) {
      printf("%s left out: %s\n", name.c_str(), why.c_str());
      ++left_out;
      if (ours) fs::remove(stem + ".lab", ec);  // a stale alignment would be built from
    };
    std::string text;
    if (!read_text_file(stem + ".txt", &text)) {
      leave_out("no " + name + ".txt");
      continue;
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (unreadable.count(name)) {
      leave_out(unreadable[name]);
      continue;
    }
    Recording recording;
    if (!read_wav(stem + ".wav", &recording, &error)) {
      leave_out(error);
      continue;
    }
    if (recording.sample_rate != rate) {
      leave_out("its rate is " + std::to_string(recording.sample_rate) + " Hz, the folder's " + std::to_string(rate) +
                " Hz");
      continue;
    }
    AlignResult result = aligner.align(text, recording, settings);
    if (!result.ok) {
      leave_out(align_problem_text(result));
      continue;
    }
    if (!write_whole(stem + ".lab", aligned_label_text(result))) {
      fprintf(stderr, "selvana-align: cannot write %s.lab\n", stem.c_str());
      return 1;
    }
    ++aligned;
    confidence_sum += result.confidence;
    if (verbose)
      printf("%s: %zu phones, confidence %.0f%%, %zu pause(s) between words\n", name.c_str(), result.labels.size(),
             result.confidence, result.pauses);
  }
  printf("aligned %zu of %zu recordings (mean confidence %.0f%%), %zu left out", aligned, names.size(),
         aligned ? confidence_sum / static_cast<double>(aligned) : 0.0, left_out);
  if (kept_by_hand) printf(", %zu kept their own labels", kept_by_hand);
  printf("\n");
  return aligned + kept_by_hand > 0 ? 0 : 1;
}
