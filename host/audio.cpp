#include "host/audio.h"

#include <cstring>

#include "core/coding.h"

namespace {

// A decoded unit laid out as left context, core, right context.
struct UnitAudio {
  const int16_t* samples;
  int32_t pad_left, core, pad_right;
};

// The sizes that a unit's frame table announces (four frames: left context,
// the two halves, right context; any other table is all core).
bool record_sizes(const VoiceDbInstance& inst, int32_t* total, int32_t* core) {
  if (inst.audio_size < 2) return false;
  uint32_t n = read_le16(inst.audio);
  if (inst.audio_size < 2 + 2 * n) return false;
  *total = n ? read_le16(inst.audio + 2 * n) : 0;
  *core = n == 4 ? read_le16(inst.audio + 6) - read_le16(inst.audio + 2) : *total;
  return *core >= 0;
}

int16_t mix(int32_t a, int32_t b, int32_t k, int32_t h) {
  // Fades a out and b in over 2h samples; weights (4h - (2k + 1)) and (2k + 1).
  const int32_t wb = 2 * k + 1, wa = 4 * h - wb, d = 4 * h;
  const int32_t num = a * wa + b * wb;
  return static_cast<int16_t>(num >= 0 ? (num + d / 2) / d : -((-num + d / 2) / d));
}

}  // namespace

bool audio_open_decoder(WaveSynth* ws, const HostVoiceDb& db, std::string* error) {
  UnitDbFile* file = db.database->file;
  auto* context = static_cast<DecoderContext*>(heap_alloc(sizeof(DecoderContext)));
  context->file = file;
  ws->decoder = context;
  context->handle = file_open(file->path, kFileRead);
  if (!context->handle) {
    *error = std::string("cannot open the voice database ") + file->path;
    return false;
  }
  if (file->unit_open && !file->unit_open(context)) {
    *error = std::string("the codec setup of ") + file->path + " cannot be read";
    return false;
  }
  return true;
}

bool audio_render(WaveSynth* ws, SearchPlan* plan, std::string* error) {
  const HostVoiceDb& db = *plan->db;
  const int32_t m = plan->positions;
  const int32_t half = static_cast<int32_t>(kCrossfadeHalfMs * static_cast<float>(db.sample_rate) / 1000.0f);
  plan->placements = static_cast<AudioPlacement*>(synth_block(ws, static_cast<int32_t>(sizeof(AudioPlacement)) * (m > 0 ? m : 1)));

  // Sizes first: the output length and the largest unit.
  int64_t out_total = 0;
  int32_t largest = 0;
  for (int32_t j = 0; j < m; ++j) {
    const SearchOption& o = plan->options[plan->path[j]];
    int32_t total, core;
    if (o.instance == kNoInstance) {
      core = static_cast<int32_t>(o.silence_samples);
      total = core + 2 * half;
    } else if (!record_sizes(voicedb_instance(db, o.instance), &total, &core)) {
      *error = "unit " + std::to_string(o.instance) + " has a broken audio record";
      return false;
    }
    out_total += core;
    if (total > largest) largest = total;
  }
  if (out_total > (1 << 29)) {
    *error = "the text is too long for one wave";
    return false;
  }
  auto* wave = static_cast<Wave*>(heap_alloc(sizeof(Wave)));
  ws->wave = wave;
  wave->sample_rate = static_cast<int32_t>(db.sample_rate);
  wave->num_samples = static_cast<int32_t>(out_total);
  wave->samples = static_cast<int16_t*>(heap_alloc(static_cast<int32_t>(2 * (out_total > 0 ? out_total : 1))));
  int16_t* scratch[2] = {static_cast<int16_t*>(synth_block(ws, 2 * (largest + 1))),
                         static_cast<int16_t*>(synth_block(ws, 2 * (largest + 1)))};

  int16_t* out = wave->samples;
  int32_t out_pos = 0, from = 0;
  UnitAudio prev{};
  for (int32_t j = 0; j < m; ++j) {
    const SearchOption& o = plan->options[plan->path[j]];
    int16_t* buf = scratch[j & 1];
    UnitAudio cur{buf, 0, 0, 0};
    if (o.instance == kNoInstance) {
      cur.core = static_cast<int32_t>(o.silence_samples);
      cur.pad_left = cur.pad_right = half;
      memset(buf, 0, 2 * static_cast<size_t>(cur.core + 2 * half));
    } else {
      VoiceDbInstance inst = voicedb_instance(db, o.instance);
      int32_t total, core;
      record_sizes(inst, &total, &core);
      Track* track = db.database->file->unit_decode(ws->decoder, inst.audio, inst.audio_size);
      if (!track) {
        *error = "unit " + std::to_string(o.instance) + " does not decode";
        return false;
      }
      uint32_t start = 0;
      bool fits = true;
      for (int32_t f = 0; f < track->num_frames && fits; ++f) {
        uint32_t end = track->frame_ends[f];
        fits = end >= start && end <= static_cast<uint32_t>(total);
        if (fits) memcpy(buf + start, track->frames[f], 2 * static_cast<size_t>(end - start));
        start = end;
      }
      const bool four = track->num_frames == 4;
      if (fits && four) {
        cur.pad_left = static_cast<int32_t>(track->frame_ends[0]);
        cur.core = static_cast<int32_t>(track->frame_ends[2]) - cur.pad_left;
        cur.pad_right = static_cast<int32_t>(track->frame_ends[3] - track->frame_ends[2]);
      } else {
        cur.core = static_cast<int32_t>(start);
      }
      track_free(track);
      if (!fits || cur.core != core) {
        *error = "unit " + std::to_string(o.instance) + " decodes to other sizes than its record says";
        return false;
      }
    }
    AudioPlacement& place = plan->placements[j];
    if (j == 0) {
      place.begin = place.exact_begin = 0;
      from = 0;
    } else {
      int32_t h = half;
      for (int32_t lim : {prev.pad_right, cur.pad_left, (prev.core - from) / 2, cur.core / 2})
        if (lim < h) h = lim;
      if (h < 0) h = 0;
      const int32_t plain = prev.core - from - h;
      memcpy(out + out_pos, prev.samples + prev.pad_left + from, 2 * static_cast<size_t>(plain));
      out_pos += plain;
      plan->placements[j - 1].exact_end = out_pos;
      const int16_t* a = prev.samples + prev.pad_left + prev.core - h;
      const int16_t* b = cur.samples + cur.pad_left - h;
      for (int32_t k = 0; k < 2 * h; ++k) out[out_pos + k] = mix(a[k], b[k], k, h);
      plan->placements[j - 1].end = out_pos + h;
      place.begin = out_pos + h;
      out_pos += 2 * h;
      place.exact_begin = out_pos;
      from = h;
    }
    prev = cur;
  }
  if (m > 0) {
    const int32_t rest = prev.core - from;
    memcpy(out + out_pos, prev.samples + prev.pad_left + from, 2 * static_cast<size_t>(rest));
    out_pos += rest;
    plan->placements[m - 1].exact_end = plan->placements[m - 1].end = out_pos;
  }
  return true;
}
