#include "host/audio.h"

#include <cmath>
#include <cstring>

#include "core/coding.h"

namespace {

// A decoded unit: samples [0, total) laid out as left context, core, right
// context, with its pitch marks (sample numbers in the same count).
struct UnitAudio {
  const int16_t* samples;
  int32_t pad_left, core, pad_right;
  const uint8_t* marks;
  int32_t mark_count;
  int32_t total() const { return pad_left + core + pad_right; }
  int32_t mark(int32_t k) const { return read_le16(marks + 2 * k); }
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

// Samples from the start of a four-frame record to its phone boundary (0
// for other tables).
int32_t record_boundary(const VoiceDbInstance& inst) {
  return inst.audio_size >= 10 && read_le16(inst.audio) == 4 ? read_le16(inst.audio + 4) : 0;
}

// The sizes of a splice: the first unit up to its phone boundary, then the
// second unit from its phone boundary on.
bool splice_sizes(const VoiceDbInstance& a, const VoiceDbInstance& b, int32_t* total, int32_t* core) {
  int32_t ta, ca, tb, cb;
  if (!record_sizes(a, &ta, &ca) || !record_sizes(b, &tb, &cb)) return false;
  const int32_t ba = record_boundary(a), bb = record_boundary(b);
  if (ba == 0 || bb == 0) return false;
  const int32_t pa = read_le16(a.audio + 2), pb = read_le16(b.audio + 2);
  *total = ba + (tb - bb);
  *core = (ba - pa) + (cb - (bb - pb));
  return *core >= 0;
}

int16_t mix(int32_t a, int32_t b, int32_t k, int32_t h) {
  // Fades a out and b in over 2h samples; weights (4h - (2k + 1)) and (2k + 1).
  const int32_t wb = 2 * k + 1, wa = 4 * h - wb, d = 4 * h;
  const int32_t num = a * wa + b * wb;
  return static_cast<int16_t>(num >= 0 ? (num + d / 2) / d : -((-num + d / 2) / d));
}

float correlation(const int16_t* a, const int16_t* b, int32_t n) {
  double ab = 0, aa = 0, bb = 0;
  for (int32_t k = 0; k < n; ++k) {
    ab += static_cast<double>(a[k]) * b[k];
    aa += static_cast<double>(a[k]) * a[k];
    bb += static_cast<double>(b[k]) * b[k];
  }
  return aa > 0 && bb > 0 ? static_cast<float>(ab / std::sqrt(aa * bb)) : 0.0f;
}

// The normalised correlation of a[0, n) with b[d, d + n), by integer sums.
double correlation_at(const int16_t* a, const int16_t* b, int32_t n, int64_t aa) {
  int64_t ab = 0, bb = 0;
  for (int32_t k = 0; k < n; ++k) {
    ab += static_cast<int32_t>(a[k]) * b[k];
    bb += static_cast<int32_t>(b[k]) * b[k];
  }
  return aa > 0 && bb > 0 ? static_cast<double>(ab) / std::sqrt(static_cast<double>(aa) * static_cast<double>(bb)) : 0.0;
}

// The shift d in [lo, hi] where b + d correlates best with a over n
// samples: every third shift first, then the neighbours of the best.
int32_t best_shift(const int16_t* a, const int16_t* b, int32_t n, int32_t lo, int32_t hi) {
  int64_t aa = 0;
  for (int32_t k = 0; k < n; ++k) aa += static_cast<int32_t>(a[k]) * a[k];
  double best = -2;
  int32_t at = 0;
  for (int32_t d = lo; d <= hi; d += 3) {
    const double c = correlation_at(a, b + d, n, aa);
    if (c > best) best = c, at = d;
  }
  const int32_t coarse = at;
  for (int32_t d : {coarse - 1, coarse + 1}) {
    if (d < lo || d > hi) continue;
    const double c = correlation_at(a, b + d, n, aa);
    if (c > best) best = c, at = d;
  }
  return at;
}

// Pitch marks further apart than this (20 ms) belong to different voiced
// stretches.
int32_t voiced_gap(int32_t rate) { return rate / 50; }

// The mark of `u` nearest to sample `at` that lies in [lo, hi), with its
// pitch period (the distance to its neighbour on the side of `at`, else the
// other one); false when no mark there has a neighbour within a voiced gap.
bool mark_near(const UnitAudio& u, int32_t at, int32_t lo, int32_t hi, int32_t gap, int32_t* mark, int32_t* period) {
  bool found = false;
  for (int32_t k = 0; k < u.mark_count; ++k) {
    const int32_t m = u.mark(k);
    if (m < lo || m >= hi) continue;
    const int32_t before = k > 0 ? m - u.mark(k - 1) : 0, after = k + 1 < u.mark_count ? u.mark(k + 1) - m : 0;
    const int32_t p = before > 0 && before <= gap ? before : after > 0 && after <= gap ? after : 0;
    if (p == 0) continue;
    if (!found || std::abs(m - at) < std::abs(*mark - at)) {
      *mark = m;
      *period = p;
      found = true;
    }
  }
  return found;
}

// The concatenation's pitch marks in output samples, and the voiced joins
// (the number of the mark where the right unit's epoch sits).
struct MarkList {
  int32_t* at;
  int32_t count, capacity;
  int32_t* joins;
  int32_t join_count;
  float* join_step;    // per voiced join: log2 of the left period over the right one
  float* join_period;  // per voiced join: the mean of the two periods
  int32_t min_spacing;  // the shortest pitch period (500 Hz)
  void add(int32_t pos) {
    if (count < capacity && (count == 0 || pos - at[count - 1] >= min_spacing)) at[count++] = pos;
  }
};

// Copies u[from, to) to out + *pos and records its marks in that range.
// A mark closer than half `min_gap` to the one before is left out.
void copy_span(const UnitAudio& u, int32_t from, int32_t to, int16_t* out, int32_t* pos, MarkList* marks,
               int32_t min_gap) {
  if (to <= from) return;
  memcpy(out + *pos, u.samples + from, 2 * static_cast<size_t>(to - from));
  for (int32_t k = 0; k < u.mark_count; ++k) {
    const int32_t m = u.mark(k);
    if (m >= from && m < to && (marks->count == 0 || 2 * (*pos + m - from - marks->at[marks->count - 1]) > min_gap))
      marks->add(*pos + m - from);
  }
  *pos += to - from;
}

// Time-domain pitch-synchronous overlap-add: the joined samples `src` (n
// samples, with their pitch marks) re-made at `stretch` times their length,
// their pitch contour moved and scaled, the pitch steps at voiced joins
// spread over the neighbouring periods, and the volume applied.
struct Resynthesis {
  const int16_t* src;
  int32_t n;
  int32_t rate;
  const MarkList* marks;
  ProsodyControl prosody;
  double stretch;
};

// Adds one Hann-weighted half of a grain: o[dir * e] += w(e) x[dir * e] for
// e in [0, len) (left half: e from 1) and e < room, w(e) = (1 + cos(pi e / len)) / 2.
void add_half(float* o, const int16_t* x, int32_t len, int32_t room, int32_t dir) {
  if (len <= 0) return;
  const int32_t limit = room < len ? room : len;
  const float a = static_cast<float>(M_PI) / static_cast<float>(len), twice = 2 * std::cos(a);
  float c0 = 1.0f, c1 = std::cos(a);  // cos(0), cos(a)
  if (dir > 0 && limit > 0) o[0] += static_cast<float>(x[0]);
  for (int32_t e = 1; e < limit; ++e) {
    o[dir * e] += (0.5f + 0.5f * c1) * static_cast<float>(x[dir * e]);
    const float c = twice * c1 - c0;
    c0 = c1;
    c1 = c;
  }
}

// Periods on each side of a voiced join over which its pitch step is spread.
constexpr int32_t kSmoothPeriods = 12;
// Spacing of the analysis points in unvoiced stretches (5 ms).
int32_t unvoiced_spacing(int32_t rate) { return rate / 200; }

void resynthesise(WaveSynth* ws, const Resynthesis& r, int16_t* out, int32_t out_n) {
  const int32_t gap = voiced_gap(r.rate), spacing = unvoiced_spacing(r.rate) > 0 ? unvoiced_spacing(r.rate) : 1;
  // Analysis points: the pitch marks, and points every `spacing` samples in
  // the stretches between them (from sample 0 to the end).
  const MarkList& m = *r.marks;
  const int32_t cap = m.count + r.n / spacing + 4;
  auto* pos = static_cast<int32_t*>(synth_block(ws, 4 * cap));
  auto* voiced = static_cast<uint8_t*>(synth_block(ws, cap));
  auto* join_at = static_cast<int32_t*>(synth_block(ws, 4 * cap));  // voiced join number + 1, or 0
  int32_t count = 0;
  auto fill = [&](int32_t from, int32_t to) {  // points in (from, to), `from` already placed
    const int32_t len = to - from;
    if (len <= spacing + spacing / 2) return;
    const int32_t steps = (len + spacing / 2) / spacing;
    for (int32_t k = 1; k < steps && count < cap; ++k) pos[count++] = from + static_cast<int32_t>(static_cast<int64_t>(len) * k / steps);
  };
  int32_t last = 0;
  pos[count++] = 0;
  for (int32_t k = 0, j = 0; k < m.count; ++k) {
    const int32_t p = m.at[k];
    if (p - last < m.min_spacing) continue;
    if (p - last > gap) fill(last, p);
    if (count >= cap) break;
    while (j < m.join_count && m.joins[j] < k) ++j;
    join_at[count] = j < m.join_count && m.joins[j] == k ? j + 1 : 0;
    const bool near_prev = k > 0 && p - m.at[k - 1] <= gap && p - pos[count - 1] >= m.min_spacing,
               near_next = k + 1 < m.count && m.at[k + 1] - p <= gap;
    voiced[count] = near_prev || near_next;
    pos[count++] = p;
    last = p;
  }
  fill(last, r.n);
  if (count < cap && r.n - 1 - pos[count - 1] >= m.min_spacing) pos[count++] = r.n - 1;

  // Periods and the pitch contour in octaves (log2 Hz) of the voiced points.
  auto* period = static_cast<float*>(synth_block(ws, 4 * count));
  auto* octave = static_cast<float*>(synth_block(ws, 4 * count));
  double mean = 0;
  int32_t nv = 0;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t after = i + 1 < count ? pos[i + 1] - pos[i] : spacing, before = i > 0 ? pos[i] - pos[i - 1] : spacing;
    const bool next_voiced = i + 1 < count && voiced[i + 1] && after <= gap;
    period[i] = static_cast<float>(voiced[i] ? (next_voiced || before > gap ? after : before) : after);
    // At a join the period around the shared epoch is made of two units:
    // it counts as the mean of their periods.
    if (voiced[i] && join_at[i]) period[i] = m.join_period[join_at[i] - 1];
    if (voiced[i]) {
      octave[i] = std::log2(static_cast<float>(r.rate) / period[i]);
      mean += octave[i];
      ++nv;
    } else {
      octave[i] = 0;
    }
  }
  mean = nv ? mean / nv : 0;
  // Each voiced join's step between the periods of its two units, spread
  // linearly over kSmoothPeriods periods on each side.
  auto* shift = static_cast<float*>(synth_block(ws, 4 * count));
  for (int32_t i = 1; i + 1 < count; ++i) {
    if (!join_at[i] || !voiced[i - 1] || !voiced[i] || !voiced[i + 1]) continue;
    // The step between the mean pitch of up to three periods on each side
    // (the period across the shared epoch left out).
    float left = 0, right = 0;
    int32_t nl = 0, nr = 0;
    for (int32_t k = 1; k <= 3 && i - k >= 0 && voiced[i - k]; ++k) left += octave[i - k], ++nl;
    for (int32_t k = 1; k <= 3 && i + k < count && voiced[i + k]; ++k) right += octave[i + k], ++nr;
    const float step = nl && nr ? right / static_cast<float>(nr) - left / static_cast<float>(nl) : m.join_step[join_at[i] - 1];
    for (int32_t k = 0; k < kSmoothPeriods; ++k) {
      const float w = 0.5f * step * static_cast<float>(kSmoothPeriods - k) / kSmoothPeriods;
      if (i - 1 - k >= 0 && voiced[i - 1 - k]) shift[i - 1 - k] += w;
      if (i + k < count && voiced[i + k]) shift[i + k] -= w;
    }
  }
  const float lift = static_cast<float>(std::log2(r.prosody.pitch > 0 ? r.prosody.pitch : 1.0));
  const float range = static_cast<float>(r.prosody.pitch_range);
  auto* target = static_cast<float*>(synth_block(ws, 4 * count));  // synthesis period
  for (int32_t i = 0; i < count; ++i) {
    if (!voiced[i]) {
      target[i] = period[i];
      continue;
    }
    const float o = static_cast<float>(mean) + range * (octave[i] + shift[i] - static_cast<float>(mean)) + lift;
    target[i] = static_cast<float>(r.rate) / std::exp2(o);
  }

  // Overlap-add: each synthesis point takes the analysis point nearest to
  // its place in the source, windowed by a Hann half on each side no longer
  // than the analysis or the synthesis period on that side.
  auto* acc = static_cast<float*>(synth_block(ws, 4 * (out_n + 1)));
  const double to_source = 1.0 / r.stretch;
  double t = 0;
  int32_t k = 0;
  float prev_step = static_cast<float>(spacing);
  while (t < out_n) {
    const double source = t * to_source;
    while (k + 1 < count && std::fabs(pos[k + 1] - source) <= std::fabs(pos[k] - source)) ++k;
    const float step = target[k] > 1 ? target[k] : 1;
    const int32_t centre = static_cast<int32_t>(std::lround(t));
    const float before = k > 0 ? static_cast<float>(pos[k] - pos[k - 1]) : prev_step;
    const float after = k + 1 < count ? static_cast<float>(pos[k + 1] - pos[k]) : step;
    const int32_t left = static_cast<int32_t>(std::fmin(before, prev_step)), right = static_cast<int32_t>(std::fmin(after, step));
    // The Hann halves by the cosine recurrence c(e + 1) = 2 cos(a) c(e) - c(e - 1),
    // over the samples that lie inside both the output and the source; the
    // centre belongs to the right half.
    float* o = acc + centre;
    const int16_t* x = r.src + pos[k];
    const int32_t room_left = (centre < pos[k] ? centre : pos[k]) + 1;
    const int32_t room_right = out_n - centre < r.n - pos[k] ? out_n - centre : r.n - pos[k];
    add_half(o, x, left, room_left, -1);
    add_half(o, x, right, room_right, 1);
    prev_step = step;
    t += step;
  }
  const float gain = static_cast<float>(r.prosody.volume);
  for (int32_t i = 0; i < out_n; ++i) {
    const float v = acc[i] * gain;
    out[i] = static_cast<int16_t>(v >= 32767.0f ? 32767 : v <= -32768.0f ? -32768 : static_cast<int32_t>(v + (v >= 0 ? 0.5f : -0.5f)));
  }
}

// Decodes one unit into buf (room for its whole record) and describes it.
bool decode_unit(WaveSynth* ws, const HostVoiceDb& db, uint32_t instance, int16_t* buf, UnitAudio* cur,
                 std::string* error) {
  VoiceDbInstance inst = voicedb_instance(db, instance);
  int32_t total, core;
  record_sizes(inst, &total, &core);
  Track* track = db.database->file->unit_decode(ws->decoder, inst.audio, inst.audio_size);
  if (!track) {
    *error = "unit " + std::to_string(instance) + " does not decode";
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
  *cur = UnitAudio{buf, 0, 0, 0, nullptr, 0};
  const bool four = track->num_frames == 4;
  if (fits && four) {
    cur->pad_left = static_cast<int32_t>(track->frame_ends[0]);
    cur->core = static_cast<int32_t>(track->frame_ends[2]) - cur->pad_left;
    cur->pad_right = static_cast<int32_t>(track->frame_ends[3] - track->frame_ends[2]);
  } else {
    cur->core = static_cast<int32_t>(start);
  }
  track_free(track);
  if (!fits || cur->core != core) {
    *error = "unit " + std::to_string(instance) + " decodes to other sizes than its record says";
    return false;
  }
  uint32_t n;
  cur->marks = voicedb_pitch_marks(db, instance, &n);
  cur->mark_count = static_cast<int32_t>(n);
  // Marks beyond the decoded samples (a damaged record) are not used.
  while (cur->mark_count > 0 && cur->mark(cur->mark_count - 1) >= cur->total()) --cur->mark_count;
  return true;
}

}  // namespace

double audio_path_length(const SearchPlan& plan) {
  double length = 0;
  for (int32_t j = 0; j < plan.positions; ++j) {
    const SearchOption& o = plan.options[plan.path[j]];
    int32_t total = 0, core = 0;
    if (o.instance == kNoInstance) length += o.silence_samples;
    else if (o.splice ? splice_sizes(voicedb_instance(*plan.db, o.instance), voicedb_instance(*plan.db, o.splice_instance),
                                     &total, &core)
                      : record_sizes(voicedb_instance(*plan.db, o.instance), &total, &core))
      length += core;
  }
  return length;
}

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
  const int32_t rate = static_cast<int32_t>(db.sample_rate);
  const int32_t half = static_cast<int32_t>(kCrossfadeHalfMs * static_cast<float>(db.sample_rate) / 1000.0f);
  const int32_t gap = voiced_gap(rate);
  plan->placements = static_cast<AudioPlacement*>(synth_block(ws, static_cast<int32_t>(sizeof(AudioPlacement)) * (m > 0 ? m : 1)));
  plan->joins = static_cast<JoinReport*>(synth_block(ws, static_cast<int32_t>(sizeof(JoinReport)) * (m > 0 ? m : 1)));

  // Sizes first: the output length, the largest unit and the marks.
  int64_t out_total = 0;
  int32_t largest = 0, mark_total = 0;
  for (int32_t j = 0; j < m; ++j) {
    const SearchOption& o = plan->options[plan->path[j]];
    int32_t total, core;
    if (o.instance == kNoInstance) {
      core = static_cast<int32_t>(o.silence_samples);
      total = core + 2 * half;
    } else if (o.splice ? !splice_sizes(voicedb_instance(db, o.instance), voicedb_instance(db, o.splice_instance),
                                          &total, &core)
                        : !record_sizes(voicedb_instance(db, o.instance), &total, &core)) {
      *error = "unit " + std::to_string(o.instance) + " has a broken audio record";
      return false;
    } else if (!o.splice) {
      uint32_t n;
      voicedb_pitch_marks(db, o.instance, &n);
      mark_total += static_cast<int32_t>(n);
    }
    // A pitch-synchronous join may take up to the unit's contexts more.
    out_total += total;
    if (o.splice) {
      int32_t t2, c2;
      record_sizes(voicedb_instance(db, o.splice_instance), &t2, &c2);
      if (t2 > largest) largest = t2;
      if (record_sizes(voicedb_instance(db, o.instance), &t2, &c2) && t2 > largest) largest = t2;
    }
    if (total > largest) largest = total;
  }
  if (out_total > (1 << 28)) {
    *error = "the text is too long for one wave";
    return false;
  }
  const int32_t capacity = static_cast<int32_t>(out_total > 0 ? out_total : 1);
  auto* joined = static_cast<int16_t*>(synth_block(ws, 2 * capacity));
  int16_t* scratch[2] = {static_cast<int16_t*>(synth_block(ws, 2 * (largest + 1))),
                         static_cast<int16_t*>(synth_block(ws, 2 * (largest + 1)))};
  int16_t* second = static_cast<int16_t*>(synth_block(ws, 2 * (largest + 1)));  // a splice's second unit
  MarkList marks{static_cast<int32_t*>(synth_block(ws, 4 * (mark_total + 1))), 0, mark_total + 1,
                 static_cast<int32_t*>(synth_block(ws, 4 * (m + 1))), 0,
                 static_cast<float*>(synth_block(ws, 4 * (m + 1))), static_cast<float*>(synth_block(ws, 4 * (m + 1))),
                 rate / 500 > 1 ? rate / 500 : 1};

  int16_t* out = joined;
  int32_t out_pos = 0, from = 0;
  int32_t join_period = 0;  // the right unit's period at a voiced join, else 0
  UnitAudio prev{};
  for (int32_t j = 0; j < m; ++j) {
    const SearchOption& o = plan->options[plan->path[j]];
    int16_t* buf = scratch[j & 1];
    UnitAudio cur{buf, 0, 0, 0, nullptr, 0};
    if (o.instance == kNoInstance) {
      cur.core = static_cast<int32_t>(o.silence_samples);
      cur.pad_left = cur.pad_right = half;
      memset(buf, 0, 2 * static_cast<size_t>(cur.core + 2 * half));
    } else {
      if (!decode_unit(ws, db, o.instance, buf, &cur, error)) return false;
      if (o.splice) {
        // The first unit up to its phone boundary, the second from its
        // boundary on, with a short crossfade across the seam.
        UnitAudio b{second, 0, 0, 0, nullptr, 0};
        if (!decode_unit(ws, db, o.splice_instance, second, &b, error)) return false;
        const int32_t ba = record_boundary(voicedb_instance(db, o.instance));
        const int32_t bb = record_boundary(voicedb_instance(db, o.splice_instance));
        int32_t h = half;
        for (int32_t lim : {ba - cur.pad_left, cur.total() - ba, bb - b.pad_left, b.total() - bb})
          if (lim < h) h = lim;
        if (h < 0) h = 0;
        for (int32_t k = 0; k < 2 * h; ++k) buf[ba - h + k] = mix(buf[ba - h + k], second[bb - h + k], k, h);
        memcpy(buf + ba + h, second + bb + h, 2 * static_cast<size_t>(b.total() - bb - h));
        cur.core = (ba - cur.pad_left) + (b.pad_left + b.core - bb);
        cur.pad_right = b.pad_right;
        cur.marks = nullptr;
        cur.mark_count = 0;
      }
    }
    AudioPlacement& place = plan->placements[j];
    plan->joins[j] = {0.0f, 0};
    if (j == 0) {
      place.begin = place.exact_begin = 0;
      from = cur.pad_left;
    } else {
      // Voiced on both sides: the epoch of the left unit nearest its cut is
      // laid on the epoch of the right unit nearest its cut, and the two
      // overlap by a pitch period on each side of it.
      const int32_t cut_a = prev.pad_left + prev.core, cut_b = cur.pad_left;
      int32_t ma = 0, pa = 0, mb = 0, pb = 0;
      // Units that were neighbours in a recording continue each other: their
      // seam is the original speech, joined at the cut points.
      const SearchOption& po = plan->options[plan->path[j - 1]];
      const bool neighbours = po.instance != kNoInstance && o.instance != kNoInstance && !po.splice && !o.splice &&
                              po.recording == o.recording && po.position + 1 == o.position;
      const bool voiced = !neighbours &&
          mark_near(prev, cut_a, from + 1, prev.total(), gap, &ma, &pa) &&
          mark_near(cur, cut_b, 1, cur.pad_left + cur.core / 2, gap, &mb, &pb) && std::abs(ma - cut_a) <= pa &&
          std::abs(mb - cut_b) <= pb;
      int32_t w = voiced ? (pa < pb ? pa : pb) / 2 : 0;
      if (voiced)
        for (int32_t lim : {ma - from, prev.total() - ma, mb, cur.pad_left + cur.core / 2 - mb})
          if (lim < w) w = lim;
      int32_t a_at, b_at, h;  // overlap: prev[a_at - h, a_at + h) with cur[b_at - h, b_at + h)
      if (voiced && 4 * w >= pa && 4 * w >= pb) {
        // The epochs may sit on different phases of the pulse in the two
        // recordings: the right unit's point moves by up to half a period
        // to where the two periods match best.
        const int32_t lo = mb - w < pb / 2 ? w - mb : -(pb / 2);
        const int32_t room = cur.pad_left + cur.core / 2 - mb - w, hi = room < pb / 2 ? room : pb / 2;
        const int32_t shift = best_shift(prev.samples + ma - w, cur.samples + mb - w, 2 * w, lo, hi);
        mb += shift;
        a_at = ma, b_at = mb, h = w;
      } else {
        h = half;
        for (int32_t lim : {prev.pad_right, cur.pad_left, (cut_a - from) / 2, cur.core / 2})
          if (lim < h) h = lim;
        if (h < 0) h = 0;
        a_at = cut_a, b_at = cut_b;
      }
      copy_span(prev, from, a_at - h, out, &out_pos, &marks, join_period);
      plan->placements[j - 1].exact_end = out_pos;
      const int16_t* a = prev.samples + a_at - h;
      const int16_t* b = cur.samples + b_at - h;
      for (int32_t k = 0; k < 2 * h; ++k) out[out_pos + k] = mix(a[k], b[k], k, h);
      plan->joins[j] = {correlation(a, b, 2 * h), 2 * h};
      if (a_at == ma && voiced) {
        // The left unit's marks up to the shared epoch, then the right
        // unit's from it on.
        for (int32_t k = 0; k < prev.mark_count; ++k)
          if (prev.mark(k) >= ma - h && prev.mark(k) < ma) marks.add(out_pos + prev.mark(k) - (ma - h));
        if (marks.join_count < m) {
          marks.join_step[marks.join_count] = std::log2(static_cast<float>(pa) / static_cast<float>(pb));
          marks.join_period[marks.join_count] = 0.5f * static_cast<float>(pa + pb);
          marks.joins[marks.join_count++] = marks.count;
        }
        marks.add(out_pos + h);
        for (int32_t k = 0; k < cur.mark_count; ++k)
          if (cur.mark(k) > mb + pb / 2 && cur.mark(k) < mb + h) marks.add(out_pos + h + cur.mark(k) - mb);
      }
      plan->placements[j - 1].end = out_pos + h;
      place.begin = out_pos + h;
      out_pos += 2 * h;
      place.exact_begin = out_pos;
      from = b_at + h;
      join_period = a_at == ma && voiced ? pb : 0;
    }
    prev = cur;
  }
  if (m > 0) {
    copy_span(prev, from, prev.pad_left + prev.core, out, &out_pos, &marks, join_period);
    plan->placements[m - 1].exact_end = plan->placements[m - 1].end = out_pos;
  }

  auto* wave = static_cast<Wave*>(heap_alloc(sizeof(Wave)));
  ws->wave = wave;
  wave->sample_rate = rate;
  const ProsodyControl& pc = plan->prosody;
  const double stretch = plan->stretch > 0 ? plan->stretch : 1.0;
  const bool smooth = marks.join_count > 0 && marks.count > 0;
  if (!smooth && pc.neutral() && stretch == 1.0) {
    wave->num_samples = out_pos;
    wave->samples = static_cast<int16_t*>(heap_alloc(2 * (out_pos > 0 ? out_pos : 1)));
    memcpy(wave->samples, joined, 2 * static_cast<size_t>(out_pos));
    return true;
  }
  const int32_t out_n = static_cast<int32_t>(std::lround(out_pos * stretch));
  wave->num_samples = out_n;
  wave->samples = static_cast<int16_t*>(heap_alloc(2 * (out_n > 0 ? out_n : 1)));
  Resynthesis r{joined, out_pos, rate, &marks, pc, stretch};
  resynthesise(ws, r, wave->samples, out_n);
  if (stretch != 1.0)
    for (int32_t j = 0; j < m; ++j) {
      AudioPlacement& p = plan->placements[j];
      for (int32_t* v : {&p.begin, &p.exact_begin, &p.exact_end, &p.end})
        *v = static_cast<int32_t>(std::lround(*v * stretch));
    }
  return true;
}
