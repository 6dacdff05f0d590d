// Voice entry points and the voice's own registration steps.
#include "voice/voice.h"

#include "core/platform.h"
#include "lang_pt_br/lts.h"
#include "prosody/duration.h"
#include "unitdb/unitdb.h"
#include "unitsel/graph.h"

namespace {

constexpr const char kVoiceName[] = "vox_pt_br_selvana";
constexpr const char kChecksum[] = "2718093645";
constexpr const char kEngineVersion[] = "1.6.25";
// "Selvána" in UTF-8: the persona name is meant for people, not for the
// ISO-8859-15 text the voice reads.
constexpr const char kPersonaName[] = "Selv\xc3\xa1na";

}  // namespace

Voice* voice_new() {
  auto* v = static_cast<Voice*>(heap_alloc(sizeof(Voice)));
  v->features = features_new();
  v->feature_functions = features_new();
  return v;
}

void voice_delete(Voice* voice) {
  if (!voice) return;
  features_free(voice->features);
  features_free(voice->feature_functions);
  heap_free(voice);
}

Voice* register_voice(const char* voxdir) {
  Voice* voice = voice_new();
  Features* f = voice->features;
  features_set_string(f, "name", kVoiceName);
  features_set_string(f, "checksum", kChecksum);
  features_set(f, "vox_lexicon", value_new_lexicon(const_cast<Lexicon*>(&vox_pt_br_selvana_lexicon)));
  features_set(f, "duration_func", value_new_uttfunc(reinterpret_cast<void*>(&duration_func)));
  features_set(f, "zdur_cart", value_new_zdur_cart(const_cast<ZdurCart*>(&kZdurCartPtBr)));
  if (!unitdb_load(f, voxdir)) {
    voice_delete(voice);
    return nullptr;
  }
  features_set(f, "diphone_graph_func", value_new_userdata(reinterpret_cast<void*>(&diphone_graph_func)));
  features_set_int(f, "viterbi_beam", 50);
  features_set_string(f, "language_code", "pt-BR");
  features_set_string(f, "voice_name", kPersonaName);
  features_set_string(f, "voice_gender", "Female");
  features_set_string(f, "voice_age", "45");
  voice_setup_pt_br(voice);
  features_set_string(f, "eng_version", kEngineVersion);
  return voice;
}

void unregister_voice(Voice* voice) { voice_delete(voice); }
