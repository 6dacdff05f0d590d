// A voice database file from untrusted bytes: registration, the host's checks,
// decoding of units through the codec slots, and a short synthesis.
#include <cstdint>
#include <string>
#include <vector>

#include "core/item.h"
#include "core/value.h"
#include "fuzz/fuzz_support.h"
#include "host/audio.h"
#include "host/synth.h"

namespace {

constexpr uint32_t kUnitsDecoded = 8;

void exercise(Voice* voice) {
  SynthEngine engine;
  std::string error;
  if (!synth_engine_open(&engine, voice, &error)) return;
  Value* state = synth_state_new();
  WaveSynth* ws = synth_state(state);
  if (audio_open_decoder(ws, engine.db, &error)) {
    UnitDecodeFn decode = engine.db.database->file->unit_decode;
    for (uint32_t i = 0; decode && i < engine.db.instance_count && i < kUnitsDecoded; ++i) {
      VoiceDbInstance inst = voicedb_instance(engine.db, i);
      if (Track* t = decode(ws->decoder, inst.audio, inst.audio_size)) track_free(t);
    }
  }
  value_release(state);
  std::vector<std::string> notes;
  if (Utterance* u = synth_front_end(engine, {{"Ol\xe1, tudo bem?", {}}}, &notes, &error)) {
    Value* speech = synth_state_new();
    SynthTimes times;
    synth_utterance(engine, speech, u, &notes, &error, &times);
    value_release(speech);
    utterance_delete(u);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string dir = fuzzing::scratch_dir() + "/voice";
  static const std::string file = [] {
    std::string d = dir + "/vox_pt_br_selvana/2718093645";
    mkdir(dir.c_str(), 0700);
    mkdir((dir + "/vox_pt_br_selvana").c_str(), 0700);
    mkdir(d.c_str(), 0700);
    return d + "/vox_pt_br_selvana22v";
  }();
  fuzzing::write_file(file, data, size);
  if (Voice* voice = register_voice(dir.c_str())) {
    exercise(voice);
    unregister_voice(voice);
  }
  return 0;
}
