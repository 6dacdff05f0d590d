// The voice builder's readers: a recording (RIFF/WAV) and a phone label file.
// The first byte chooses which reader gets the rest.
#include <cstdint>
#include <string>
#include <vector>

#include "core/phoneset.h"
#include "fuzz/fuzz_support.h"
#include "lang_pt_br/phoneset_pt_br.h"
#include "tools/voicebuild/labels.h"
#include "tools/voicebuild/wavfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string wav = fuzzing::scratch_dir() + "/recording.wav";
  if (size < 1) return 0;
  std::string error;
  if (data[0] & 1) {
    fuzzing::write_file(wav, data + 1, size - 1);
    Recording r;
    read_wav(wav, &r, &error);
  } else {
    std::vector<PhoneLabel> labels;
    auto known = [](const std::string& p) { return phone_id(&phoneset_pt_br, p.c_str()) >= 0; };
    if (parse_labels(std::string(reinterpret_cast<const char*>(data + 1), size - 1), known, &labels, &error))
      format_labels(labels);
  }
  return 0;
}
