#include "host/synth.h"

#include <chrono>

#include "core/features.h"
#include "host/audio.h"
#include "host/search.h"
#include "host/targets.h"

namespace {

double now_seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

bool synth_engine_open(SynthEngine* engine, Voice* voice, std::string* error) {
  *engine = SynthEngine{};
  engine->voice = voice;
  Value* db = features_get(voice->features, "diphonedb");
  if (value_type(db) != kTypeDiphoneDb) {
    *error = "the voice has no unit database";
    return false;
  }
  Value* graph = features_get(voice->features, "diphone_graph_func");
  if (value_type(graph) != kTypeUserData || !graph->body.p) {
    *error = "the voice has no diphone_graph_func";
    return false;
  }
  engine->graph_fn = reinterpret_cast<DiphoneGraphFn>(graph->body.p);
  engine->beam = features_get_int_or(voice->features, "viterbi_beam", 50);
  if (engine->beam < 1) engine->beam = 1;
  return voicedb_open(static_cast<const UnitDatabase*>(db->body.p), &engine->db, error);
}

Value* synth_state_new() { return value_new_object(kTypeWaveSynth, heap_alloc(sizeof(WaveSynth))); }

WaveSynth* synth_state(Value* state) { return static_cast<WaveSynth*>(value_object(state, kTypeWaveSynth)); }

bool synth_targets(const SynthEngine& engine, Value* state, SegmentTarget* targets, int32_t count,
                   std::vector<std::string>* notes, std::string* error, SynthTimes* times) {
  WaveSynth* ws = synth_state(state);
  if (count < 2) {
    auto* wave = static_cast<Wave*>(heap_alloc(sizeof(Wave)));
    wave->sample_rate = static_cast<int32_t>(engine.db.sample_rate);
    ws->wave = wave;
    return true;
  }
  double t0 = now_seconds();
  SearchPlan* plan =
      search_prepare(ws, engine.voice, engine.graph_fn, engine.db, targets, count, engine.beam, notes);
  search_run(plan);
  double t1 = now_seconds();
  bool ok = audio_open_decoder(ws, engine.db, error) && audio_render(ws, plan, error);
  double t2 = now_seconds();
  if (times) {
    times->search += t1 - t0;
    times->audio += t2 - t1;
  }
  return ok;
}

bool synth_utterance(const SynthEngine& engine, Value* state, Utterance* utterance, std::vector<std::string>* notes,
                     std::string* error, SynthTimes* times) {
  WaveSynth* ws = synth_state(state);
  const int32_t count = targets_count(utterance);
  SegmentTarget* targets = nullptr;
  if (count > 0) {
    targets = static_cast<SegmentTarget*>(synth_block(ws, static_cast<int32_t>(sizeof(SegmentTarget)) * count));
    targets_fill(utterance, targets, count);
  }
  return synth_targets(engine, state, targets, count, notes, error, times);
}
