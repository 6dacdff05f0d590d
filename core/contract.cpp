// Release operations for the records shared by host and module.
#include "core/contract.h"

void unit_database_free(void* database) {
  auto* db = static_cast<UnitDatabase*>(database);
  if (!db) return;
  if (UnitDbFile* f = db->file) {
    file_unmap(f->mapping);
    heap_free(f->path);
    heap_free(f->name);
    heap_free(f);
  }
  heap_free(db);
}

void decoder_context_release(DecoderContext* context) {
  if (!context) return;
  if (context->file && context->file->unit_close) context->file->unit_close(context);
  if (context->handle) file_close(context->handle);
  heap_free(context);
}

void track_free(void* track) {
  auto* t = static_cast<Track*>(track);
  if (!t) return;
  if (t->frames)
    for (int32_t i = 0; i < t->num_frames; ++i) heap_free(t->frames[i]);
  heap_free(t->frames);
  heap_free(t->frame_ends);
  heap_free(t);
}

void wave_free(void* wave) {
  auto* w = static_cast<Wave*>(wave);
  if (!w) return;
  heap_free(w->samples);
  heap_free(w);
}

void candidate_graph_release(CandidateGraph* graph) {
  if (!graph) return;
  for (int32_t i = 0; i < graph->count; ++i) heap_free(graph->candidates[i].owned);
  heap_free(graph->candidates);
  heap_free(graph);
}

void wavesynth_free(void* wavesynth) {
  auto* ws = static_cast<WaveSynth*>(wavesynth);
  if (!ws) return;
  candidate_graph_release(ws->graph);
  decoder_context_release(ws->decoder);
  wave_free(ws->wave);
  for (Value* c = ws->userdata; c; c = value_cdr(c)) {
    Value* v = value_car(c);
    if (value_type(v) == kTypeUserData) {
      heap_free(v->body.p);
      v->body.p = nullptr;
    }
  }
  value_release(ws->userdata);
  heap_free(ws);
}

void audiotag_free(void* audiotag) {
  auto* a = static_cast<AudioTag*>(audiotag);
  if (!a) return;
  heap_free(a->data);
  heap_free(a);
}
