#include "prosody/duration.h"

#include <cstring>

#include "core/features.h"
#include "core/path.h"
#include "core/platform.h"
#include "trees/cart.h"

namespace {

// Releases a Value that a feature function made for this caller alone.
void release_if_fresh(Value* v) {
  if (value_is_atom(v) && value_refcount(v) == 0) value_release(v);
}

const char* name_of(const Item* seg) {
  const Value* v = item_feature(seg, "name");
  return value_type(v) == kTypeString && v->body.s ? v->body.s : "";
}

int16_t read_s16(const uint8_t* p) { return static_cast<int16_t>(p[0] | (p[1] << 8)); }
uint16_t read_u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// One question of the compact tree on the feature Value f.
bool answer(char op, const Value* f, const char* text) {
  switch (op) {
    case '<': return value_float(f) < static_cast<float>(string_to_double(text));
    case '>': return value_float(f) > static_cast<float>(string_to_double(text));
    default:
      switch (value_type(f)) {
        case kTypeInt: return f->body.i == string_to_int(text);
        case kTypeString: return f->body.s && strcmp(f->body.s, text) == 0;
        // A float is compared by number: its text form is not at hand.
        case kTypeFloat: return f->body.f == static_cast<float>(string_to_double(text));
        default: return false;
      }
  }
}

// The break name of the phrase that holds the segment's word is "BB".
bool after_sentence_end(const Item* seg) {
  Value* v = feature_path_value(seg, "R:SylStructure.parent.parent.R:Phrase.parent.name");
  bool bb = value_type(v) == kTypeString && v->body.s && strcmp(v->body.s, "BB") == 0;
  release_if_fresh(v);
  return bb;
}

// Stores "end" on the segment, reusing its own float Value when nothing else
// holds it, so that a second pass over an utterance allocates nothing.
void set_end(Item* seg, float end) {
  Value* v = item_feature(seg, "end");
  if (value_type(v) == kTypeFloat && value_refcount(v) == 1) {
    v->body.f = end;
    return;
  }
  item_set_float(seg, "end", end);
}

}  // namespace

const uint8_t* zdur_stats_lookup(const ZdurCart* cart, const char* name) {
  for (const uint8_t* r = cart->stats; r[0] != kZdurStatsEnd; r += kZdurStatSize)
    if (r[0] < cart->num_strings && strcmp(cart->strings[r[0]], name) == 0) return r;
  return cart->stats;
}

int16_t zdur_stats_mean(const uint8_t* record) { return read_s16(record + 2); }
int16_t zdur_stats_sd(const uint8_t* record) { return read_s16(record + 4); }

namespace {

// The feature Values one walk has read, by question string: a path that the
// tree asks about again further down is not evaluated twice.  Lives on the
// stack; Values made fresh for the walk are released at its end.
class WalkCache {
 public:
  explicit WalkCache(const Item* seg) : seg_(seg) {}
  WalkCache(const WalkCache&) = delete;
  WalkCache& operator=(const WalkCache&) = delete;
  ~WalkCache() {
    for (int i = 0; i < count_; ++i) release_if_fresh(values_[i]);
  }

  const Value* get(uint8_t question, const char* path) {
    for (int i = 0; i < count_; ++i)
      if (questions_[i] == question) return values_[i];
    Value* v = feature_path_value(seg_, path);
    if (count_ == kSlots) {
      // Full (a tree asking more distinct paths than this along one walk):
      // the oldest entry makes room.
      release_if_fresh(values_[0]);
      for (int i = 1; i < kSlots; ++i) questions_[i - 1] = questions_[i], values_[i - 1] = values_[i];
      --count_;
    }
    questions_[count_] = question;
    values_[count_++] = v;
    return v;
  }

 private:
  static constexpr int kSlots = 32;
  const Item* seg_;
  int count_ = 0;
  uint8_t questions_[kSlots];
  Value* values_[kSlots];
};

}  // namespace

int16_t zdur_predict(const ZdurCart* cart, const Item* seg) {
  WalkCache cache(seg);
  uint32_t n = 0;
  for (;;) {
    // A damaged table (an index out of range, a no-link that does not lead
    // forward) ends the walk at the mean instead of reading past the data.
    if (n >= cart->num_nodes) return 0;
    const uint8_t* node = cart->nodes + n * kZdurNodeSize;
    if (node[0] == kZdurLeaf) return read_s16(node + 2);
    uint16_t no = read_u16(node + 2);
    if (node[0] >= cart->num_strings || node[1] >= cart->num_strings || no <= n) return 0;
    const char* question = cart->strings[node[0]];
    if (!question[0]) return 0;
    bool yes = answer(question[0], cache.get(node[0], question + 1), cart->strings[node[1]]);
    n = yes ? n + 1 : no;
  }
}

int16_t zdur_duration(const ZdurCart* cart, const Item* seg) {
  const uint8_t* record = zdur_stats_lookup(cart, name_of(seg));
  int32_t z = zdur_predict(cart, seg);
  int32_t mean = zdur_stats_mean(record);
  int32_t sd = zdur_stats_sd(record);
  // Rounded half away from zero to whole milliseconds.
  int32_t scaled = (sd * z + (z > 0 ? 500 : -500)) / 1000;
  return static_cast<int16_t>(mean + scaled);
}

const DurStat* dur_stats_lookup(const DurStat* stats, const char* name) {
  for (const DurStat* r = stats; r->name; ++r)
    if (strcmp(r->name, name) == 0) return r;
  return stats;
}

Utterance* duration_func(Utterance* utt) {
  const ZdurCart* zdur = nullptr;
  const CartTree* tree = nullptr;
  const DurStat* stats = nullptr;
  if (Value* z = features_get(utt->features, "zdur_cart")) {
    zdur = static_cast<const ZdurCart*>(value_zdur_cart(z));
  } else {
    tree = static_cast<const CartTree*>(value_cart(features_get(utt->features, "dur_cart")));
    stats = static_cast<const DurStat*>(value_dur_stats(features_get(utt->features, "dur_stats")));
  }
  float base = features_get_float_or(utt->features, "pause_base_len", kPauseBaseLen);
  Relation* segments = utterance_relation(utt, "Segment");
  if (!segments) fatal_exit();

  float end = 0.0f;
  for (Item* s = segments->head; s; s = item_next(s)) {
    const char* name = name_of(s);
    if (strcmp(name, "pau") == 0) {
      float dur;
      const Item* prev = item_prev(s);
      if (!prev) {
        dur = 0.05f;
      } else if (after_sentence_end(prev)) {
        dur = base + 0.05f;
        if (item_next(s)) dur = dur + 0.1f;
      } else {
        dur = 0.2f;
      }
      end = end + dur;
    } else if (zdur) {
      end = static_cast<float>(end + zdur_duration(zdur, s) / 1000.0);
    } else {
      const DurStat* record = dur_stats_lookup(stats, name);
      float z = value_float(cart_evaluate(s, tree));
      end = end + (z * record->sd + record->mean);
    }
    set_end(s, end);
  }
  return utt;
}
