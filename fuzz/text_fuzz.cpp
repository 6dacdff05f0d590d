// Any text through the front end: UTF-8 to the voice's encoding, tokens,
// words, pronunciations, phrases and segments with their durations.
#include <cstdint>
#include <string>
#include <vector>

#include "core/item.h"
#include "fuzz/fuzz_support.h"
#include "host/synth.h"
#include "host/text_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static SynthEngine engine = [] {
    SynthEngine e;
    std::string error;
    if (!synth_engine_open(&e, fuzzing::tones_voice(), &error)) abort();
    return e;
  }();
  if (size > 4096) return 0;  // one long sentence is enough; longer inputs only slow the search
  std::string text = utf8_to_latin9(std::string_view(reinterpret_cast<const char*>(data), size), nullptr);
  std::vector<std::string> notes;
  std::string error;
  if (Utterance* u = synth_front_end(engine, {{text, {}}}, &notes, &error)) utterance_delete(u);
  return 0;
}
