#include "host/synth.h"

#include <chrono>

#include "core/features.h"
#include "host/audio.h"
#include "host/phrasing.h"
#include "host/search.h"
#include "host/targets.h"
#include "host/text_io.h"
#include "host/tokens.h"
#include "host/voice_host.h"
#include "host/words.h"

namespace {

// The most segments one search takes: its beam arrays stay far below the
// heap's block limit.
constexpr int32_t kMaxTargets = 100000;

double now_seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The token of a word (its parent in Token), or null.
Item* token_of(Item* word) {
  Item* in_token = item_in_relation(word, "Token");
  return in_token ? item_parent(in_token) : nullptr;
}

// Syllables and segments for every word; a token that carries an explicit
// X-SAMPA pronunciation gives its first word those phones and its other
// words none.
bool words_to_segments_with_phonemes(const SynthEngine& engine, Utterance* u, std::vector<std::string>* notes) {
  ItemFunc fn = utterance_wordtosegments_function(u);
  if (!fn) return false;
  Value* xv = features_get(engine.voice->features, "xsampa_to_xkelto_func");
  XsampaFunc xsampa = value_type(xv) == kTypeXsampaFunc ? reinterpret_cast<XsampaFunc>(xv->body.p) : nullptr;
  utterance_new_relation(u, "Syllable");
  utterance_new_relation(u, "SylStructure");
  utterance_new_relation(u, "Segment");
  Relation* words = utterance_relation(u, "Word");
  for (Item* word = words ? words->head : nullptr; word; word = word->next) {
    Item* token = token_of(word);
    Value* phones = nullptr;
    bool own = true;
    if (token && item_feature_present(token, "xsampa")) {
      own = false;
      Item* in_token = item_in_relation(word, "Token");
      if (!item_prev(in_token)) {
        const char* text = value_string(item_feature(token, "xsampa"));
        phones = xsampa ? xsampa(text) : nullptr;
        if (!phones) {
          own = true;
          if (notes) notes->push_back(std::string("phonemes \"") + latin9_to_utf8(text) + "\" give no phones; the word is read as written");
        }
      }
    } else if (token && item_feature_present(token, "xsampa_skip")) {
      own = false;
    }
    if (own) phones = fn(word);
    word_phones_to_items(u, word, phones);
    value_release(phones);
  }
  return true;
}

double clamp(double v, double lo, double hi) { return v < lo ? lo : v > hi ? hi : v; }

// The controls within their ranges (a NaN counts as neutral).
ProsodyControl clamped(const ProsodyControl& in) {
  ProsodyControl pc;
  if (in.rate == in.rate) pc.rate = clamp(in.rate, 0.25, 4.0);
  if (in.pitch == in.pitch) pc.pitch = clamp(in.pitch, 0.5, 2.0);
  if (in.pitch_range == in.pitch_range) pc.pitch_range = clamp(in.pitch_range, 0.0, 2.0);
  if (in.volume == in.volume) pc.volume = clamp(in.volume, 0.0, 2.0);
  return pc;
}

}  // namespace

Utterance* synth_front_end(const SynthEngine& engine, const std::vector<TextRun>& runs,
                           std::vector<std::string>* notes, std::string* error) {
  Utterance* u = host_utterance_new(engine.voice);
  if (!utterance_token_function(u) || !utterance_wordtosegments_function(u)) {
    *error = "the voice has no tokentowords_func or wordtosegments_func";
    utterance_delete(u);
    return nullptr;
  }
  const TokenizerSets sets = tokenizer_sets(u);
  std::string text;
  std::vector<int32_t> counts;
  for (const TextRun& run : runs) {
    if (!text.empty()) text += ' ';
    text += run.text;
    Utterance* scratch = utterance_new();
    Relation* r = tokenize_text(scratch, run.text.c_str(), sets);
    int32_t n = 0;
    for (Item* t = r ? r->head : nullptr; t; t = t->next) ++n;
    counts.push_back(n);
    utterance_delete(scratch);
  }
  Relation* tokens = tokenize_text(u, text.c_str(), sets);
  Item* token = tokens ? tokens->head : nullptr;
  for (size_t k = 0; k < runs.size(); ++k) {
    const TokenHints& h = runs[k].hints;
    for (int32_t i = 0; i < counts[k] && token; ++i, token = token->next) {
      if (!h.interpret_as.empty()) item_set_string(token, "interpret-as", h.interpret_as.c_str());
      if (!h.interpret_as_format.empty()) item_set_string(token, "interpret-as-format", h.interpret_as_format.c_str());
      if (!h.phonemes.empty()) {
        if (i == 0) item_set_string(token, "xsampa", h.phonemes.c_str());
        else item_set_int(token, "xsampa_skip", 1);
      }
    }
  }
  tokens_to_words(u);
  build_phrases(u);
  if (!words_to_segments_with_phonemes(engine, u, notes) || !prosody_stage(u, error)) {
    if (error->empty()) *error = "the voice has no wordtosegments_func";
    utterance_delete(u);
    return nullptr;
  }
  return u;
}

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
                   std::vector<std::string>* notes, std::string* error, SynthTimes* times, SearchPlan** plan_out) {
  WaveSynth* ws = synth_state(state);
  if (plan_out) *plan_out = nullptr;
  if (count < 2) {
    auto* wave = static_cast<Wave*>(heap_alloc(sizeof(Wave)));
    wave->sample_rate = static_cast<int32_t>(engine.db.sample_rate);
    ws->wave = wave;
    return true;
  }
  if (count > kMaxTargets) {
    *error = "a sentence of " + std::to_string(count) + " segments is too long to speak at once";
    return false;
  }
  double t0 = now_seconds();
  const ProsodyControl pc = clamped(engine.prosody);
  double stretch = 1.0, natural = 0;
  float* own_measures = nullptr;  // the targets' durations at the voice's own rate
  if (pc.rate != 1.0) {
    // Another rate: the length of the units chosen at the voice's own rate,
    // then a search for the faster or slower durations, whose units are
    // stretched to that length over the rate.
    SearchPlan* own = search_prepare(ws, engine.voice, engine.graph_fn, engine.db, targets, count, engine.beam, nullptr);
    search_run(own);
    natural = audio_path_length(*own);
    candidate_graph_release(ws->graph);
    ws->graph = nullptr;
    own_measures = static_cast<float*>(synth_block(ws, static_cast<int32_t>(sizeof(float)) * count));
    for (int32_t i = 0; i < count; ++i) {
      own_measures[i] = targets[i].measure;
      targets[i].measure = static_cast<float>(targets[i].measure / pc.rate);
    }
  }
  SearchPlan* plan =
      search_prepare(ws, engine.voice, engine.graph_fn, engine.db, targets, count, engine.beam, notes);
  search_run(plan);
  if (pc.rate != 1.0) {
    for (int32_t i = 0; i < count; ++i) targets[i].measure = own_measures[i];
    const double chosen = audio_path_length(*plan);
    if (chosen > 0) stretch = natural / pc.rate / chosen;
  }
  plan->prosody = pc;
  plan->stretch = stretch;
  if (plan_out) *plan_out = plan;
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
                     std::string* error, SynthTimes* times, SearchPlan** plan) {
  WaveSynth* ws = synth_state(state);
  const int32_t count = targets_count(utterance);
  SegmentTarget* targets = nullptr;
  if (count > 0) {
    targets = static_cast<SegmentTarget*>(synth_block(ws, static_cast<int32_t>(sizeof(SegmentTarget)) * count));
    targets_fill(utterance, targets, count);
    voicedb_share_texts(engine.db, targets, count);
  }
  return synth_targets(engine, state, targets, count, notes, error, times, plan);
}
