#include "host/search.h"

#include <cstdio>
#include <cstring>

namespace {

// Phones that can stand in for a phone whose diphone the voice lacks, best
// first: the oral vowel for a nasal one and back, open and closed mid vowels,
// the closed vowel for a mid one, the glide for its vowel, the other member
// of a voicing pair, the alveolar fricative for a postalveolar one, the plain
// consonant for a palatal one.  Chains of two steps (sh, s, z) are tried
// after single steps.
struct Related {
  const char* phone;
  const char* substitutes[4];
};
constexpr Related kRelated[] = {
    {"a", {"an", nullptr}},       {"an", {"a", nullptr}},        {"e", {"eh", "en", "i", nullptr}},
    {"eh", {"e", nullptr}},       {"en", {"e", nullptr}},        {"i", {"in", "j", nullptr}},
    {"in", {"i", nullptr}},       {"o", {"oh", "on", "u", nullptr}}, {"oh", {"o", nullptr}},
    {"on", {"o", nullptr}},       {"u", {"un", "w", nullptr}},   {"un", {"u", nullptr}},
    {"j", {"i", nullptr}},        {"w", {"u", nullptr}},         {"b", {"p", nullptr}},
    {"p", {"b", nullptr}},        {"d", {"t", nullptr}},         {"t", {"d", nullptr}},
    {"g", {"k", nullptr}},        {"k", {"g", nullptr}},         {"v", {"f", nullptr}},
    {"f", {"v", nullptr}},        {"z", {"s", nullptr}},         {"s", {"z", nullptr}},
    {"zh", {"sh", "jh", "z", nullptr}}, {"sh", {"zh", "ch", "s", nullptr}}, {"jh", {"zh", "d", nullptr}},
    {"ch", {"sh", "t", nullptr}}, {"m", {"n", nullptr}},         {"n", {"m", "ni", nullptr}},
    {"ni", {"n", nullptr}},       {"l", {"lj", nullptr}},        {"lj", {"l", nullptr}},
    {"r", {"h", nullptr}},        {"h", {"r", nullptr}},
};

const Related* related(const char* phone) {
  for (const Related& r : kRelated)
    if (strcmp(r.phone, phone) == 0) return &r;
  return nullptr;
}

// The longest silence that stands in for a missing diphone.
constexpr float kMaxSilenceMs = 100.0f;

bool diphone_name(const char* left, const char* right, char* out) {
  int n = snprintf(out, 10, "%s-%s", left, right);
  return n > 0 && n <= 9;
}

// The phones that stand in for `phone` in at most two steps, with the
// number of steps: the phone itself first (0), then its related phones (1),
// then theirs (2).
struct Stand {
  const char* phone;
  int steps;
};
int stand_ins(const char* phone, Stand* out, int cap) {
  int n = 0;
  out[n++] = {phone, 0};
  for (int level = 1; level <= 2; ++level)
    for (int k = 0, end = n; k < end; ++k) {
      if (out[k].steps != level - 1) continue;
      const Related* r = related(out[k].phone);
      for (int s = 0; r && s < 4 && r->substitutes[s] && n < cap; ++s) {
        bool seen = false;
        for (int q = 0; q < n; ++q) seen = seen || strcmp(out[q].phone, r->substitutes[s]) == 0;
        if (!seen) out[n++] = {r->substitutes[s], level};
      }
    }
  return n;
}

bool has_instances(const HostVoiceDb& db, const char* a, const char* b) {
  char name[10];
  if (!diphone_name(a, b, name)) return false;
  const UnitIndexRecord* rec = voicedb_find(db, name);
  if (!rec) return false;
  uint32_t first, count;
  voicedb_unit_instances(rec, &first, &count);
  return count > 0;
}

// Looks for a substitute for the diphone (left, right): fewest steps of
// change in all first, then the fewest on either side (a step on each side
// before two on one), then a change on the left before one on the right.
bool find_substitute(const HostVoiceDb& db, const char* left, const char* right, const char** sub_left,
                     const char** sub_right) {
  Stand ls[16], rs[16];
  const int nl = stand_ins(left, ls, 16), nr = stand_ins(right, rs, 16);
  static constexpr int kOrder[][2] = {{1, 0}, {0, 1}, {1, 1}, {2, 0}, {0, 2}, {2, 1}, {1, 2}, {2, 2}};
  for (const auto& [sl, sr] : kOrder)
    for (int i = 0; i < nl; ++i)
      for (int k = 0; k < nr; ++k)
        if (ls[i].steps == sl && rs[k].steps == sr && has_instances(db, ls[i].phone, rs[k].phone))
          return *sub_left = ls[i].phone, *sub_right = rs[k].phone, true;
  return false;
}

// For a diphone that nothing stands in for: a unit that starts with
// `left` and one that ends with `right`, whose halves are spliced at the
// phone boundary.  Units with a pause on the other side are taken last,
// units whose other phone stands in for the missing one first.
bool find_splice(const HostVoiceDb& db, const char* left, const char* right, uint32_t* first_unit,
                 uint32_t* second_unit, const char** first_name, const char** second_name) {
  Stand ls[16], rs[16];
  const int nl = stand_ins(left, ls, 16), nr = stand_ins(right, rs, 16);
  int best_a = 99, best_b = 99;
  for (uint32_t u = 0; u < db.database->unit_count; ++u) {
    const char* name = db.database->unit_index[u].name;
    const char* dash = strchr(name, '-');
    if (!dash) continue;
    uint32_t first, count;
    voicedb_unit_instances(&db.database->unit_index[u], &first, &count);
    if (count == 0) continue;
    const std::string l(name, static_cast<size_t>(dash - name)), r(dash + 1);
    auto rank = [](const std::string& other, const Stand* st, int n) {
      if (other == "pau") return 50;
      for (int k = 0; k < n; ++k)
        if (other == st[k].phone) return st[k].steps;
      return 10;
    };
    if (l == left) {
      const int score = rank(r, rs, nr);
      if (score < best_a) best_a = score, *first_unit = first, *first_name = name;
    }
    if (r == right) {
      const int score = rank(l, ls, nl);
      if (score < best_b) best_b = score, *second_unit = first, *second_name = name;
    }
  }
  return best_a < 99 && best_b < 99;
}

int32_t position_of(const Candidate& c) { return static_cast<int32_t>(reinterpret_cast<uintptr_t>(c.left.host0)) - 1; }

}  // namespace

void* synth_block(WaveSynth* ws, int32_t size) {
  void* block = heap_alloc(size);
  ws->userdata = value_cons(value_new_userdata(block), ws->userdata);
  return block;
}

SearchPlan* search_prepare(WaveSynth* ws, Voice* voice, DiphoneGraphFn graph_fn, const HostVoiceDb& db,
                           SegmentTarget* targets, int32_t count, int32_t beam, std::vector<std::string>* notes) {
  const int32_t positions = count - 1;
  for (int32_t i = 0; i < count; ++i) targets[i].host0 = reinterpret_cast<void*>(static_cast<uintptr_t>(i + 1));
  CandidateGraph* graph = graph_fn(voice, targets, count);
  ws->graph = graph;

  auto* plan = static_cast<SearchPlan*>(synth_block(ws, sizeof(SearchPlan)));
  plan->positions = positions;
  plan->beam = beam < 1 ? 1 : beam;
  plan->targets = targets;
  plan->target_cost = graph->target_cost;
  plan->db = &db;
  plan->prosody = ProsodyControl{};
  plan->stretch = 1.0;

  // The candidate of each position: the graph's own, or a substitute's.
  auto* chosen = static_cast<const Candidate**>(synth_block(ws, static_cast<int32_t>(sizeof(Candidate*)) * positions));
  for (int32_t k = 0; k < graph->count; ++k) {
    const Candidate& c = graph->candidates[k];
    int32_t p = position_of(c);
    if (p < 0 || p >= positions || !c.unit) continue;
    uint32_t first, n;
    voicedb_unit_instances(c.unit, &first, &n);
    if (n > 0) chosen[p] = &c;
  }
  auto* extra = static_cast<Candidate*>(synth_block(ws, static_cast<int32_t>(sizeof(Candidate)) * positions));
  auto* silence = static_cast<uint32_t*>(synth_block(ws, static_cast<int32_t>(sizeof(uint32_t)) * positions));
  auto* splice_a = static_cast<uint32_t*>(synth_block(ws, static_cast<int32_t>(sizeof(uint32_t)) * positions));
  auto* splice_b = static_cast<uint32_t*>(synth_block(ws, static_cast<int32_t>(sizeof(uint32_t)) * positions));
  auto* spliced = static_cast<uint8_t*>(synth_block(ws, positions));
  for (int32_t p = 0; p < positions; ++p) {
    if (chosen[p]) continue;
    const char* left = targets[p].name;
    const char* right = targets[p + 1].name;
    const char *a = nullptr, *b = nullptr;
    if (find_substitute(db, left, right, &a, &b)) {
      SegmentTarget pair[2] = {targets[p], targets[p + 1]};
      pair[0].name = a;
      pair[1].name = b;
      CandidateGraph* sub = graph_fn(voice, pair, 2);
      if (sub && sub->count == 1 && sub->candidates[0].unit) {
        extra[p] = sub->candidates[0];
        extra[p].owned = nullptr;
        chosen[p] = &extra[p];
        if (notes) notes->push_back(std::string("diphone ") + left + "-" + right + " missing: using " + a + "-" + b);
      }
      candidate_graph_release(sub);
    }
    const char *name_a = nullptr, *name_b = nullptr;
    if (!chosen[p] && find_splice(db, left, right, &splice_a[p], &splice_b[p], &name_a, &name_b)) {
      spliced[p] = 1;
      if (notes)
        notes->push_back(std::string("diphone ") + left + "-" + right + " missing: splicing the first half of " +
                         name_a + " and the second half of " + name_b);
      continue;
    }
    if (!chosen[p]) {
      float ms = targets[p].measure / 2 + targets[p + 1].measure / 2;
      if (!(ms > 0)) ms = 0;
      if (ms > kMaxSilenceMs) ms = kMaxSilenceMs;
      silence[p] = static_cast<uint32_t>(ms * static_cast<float>(db.sample_rate) / 1000.0f);
      if (notes) {
        char line[96];
        snprintf(line, sizeof line, "diphone %.20s-%.20s missing: using %u ms of silence", left, right,
                 static_cast<unsigned>(ms));
        notes->push_back(line);
      }
    }
  }

  // Options: every instance of each position's unit.
  plan->first = static_cast<int32_t*>(synth_block(ws, static_cast<int32_t>(sizeof(int32_t)) * (positions + 1)));
  int64_t total = 0;
  for (int32_t p = 0; p < positions; ++p) {
    plan->first[p] = static_cast<int32_t>(total);
    uint32_t first = 0, n = 1;
    if (chosen[p]) voicedb_unit_instances(chosen[p]->unit, &first, &n);
    total += n;
    if (total > (1 << 24)) fatal_exit();  // beyond any real voice: a broken database
  }
  plan->first[positions] = static_cast<int32_t>(total);
  plan->options = static_cast<SearchOption*>(synth_block(ws, static_cast<int32_t>(sizeof(SearchOption) * total)));
  for (int32_t p = 0; p < positions; ++p) {
    SearchOption* o = plan->options + plan->first[p];
    if (spliced[p]) {
      VoiceDbInstance a = voicedb_instance(db, splice_a[p]);
      o->instance = splice_a[p];
      o->splice = 1;
      o->splice_instance = splice_b[p];
      o->recording = a.recording;
      o->position = a.position;
      o->start = voicedb_edge(db, splice_a[p], 0);
      o->end = voicedb_edge(db, splice_b[p], 1);
      continue;
    }
    if (!chosen[p]) {
      o->instance = kNoInstance;
      o->silence_samples = silence[p];
      continue;
    }
    uint32_t first, n;
    voicedb_unit_instances(chosen[p]->unit, &first, &n);
    for (uint32_t k = 0; k < n; ++k, ++o) {
      VoiceDbInstance inst = voicedb_instance(db, first + k);
      o->candidate = chosen[p];
      o->instance = first + k;
      o->recording = inst.recording;
      o->position = inst.position;
      o->start = voicedb_edge(db, first + k, 0);
      o->end = voicedb_edge(db, first + k, 1);
    }
  }
  plan->cut = static_cast<uint8_t*>(synth_block(ws, positions));
  for (int32_t p = 0; p < positions; ++p) plan->cut[p] = chosen[p] && chosen[p]->boundary_flag == 1;
  plan->states =
      static_cast<BeamState*>(synth_block(ws, static_cast<int32_t>(sizeof(BeamState)) * positions * plan->beam));
  plan->state_count = static_cast<int32_t*>(synth_block(ws, static_cast<int32_t>(sizeof(int32_t)) * positions));
  plan->path = static_cast<int32_t*>(synth_block(ws, static_cast<int32_t>(sizeof(int32_t)) * positions));
  return plan;
}

uint32_t search_target_cost(const SearchPlan* plan, const SearchOption& option) {
  if (!option.candidate) return 0;
  SegmentTarget left, right;
  voicedb_unit_block(*plan->db, option.instance, 0, &left);
  voicedb_unit_block(*plan->db, option.instance, 1, &right);
  return plan->target_cost(&option.candidate->left, &option.candidate->right, &left, &right);
}

uint32_t search_join_cost(const SearchOption& left, const SearchOption& right, uint32_t bound) {
  if (!left.candidate || !right.candidate) return 0;
  if (left.recording == right.recording && right.position == left.position + 1) return 0;
  if (bound > kForcedJoinCost) bound = kForcedJoinCost;
  uint32_t cost = left.candidate->join_cost(&left.end, &right.start, bound);
  return cost > kForcedJoinCost ? kForcedJoinCost : cost;
}

void search_run(SearchPlan* plan) {
  const int32_t beam = plan->beam;
  constexpr uint64_t kOpen = UINT64_MAX;
  plan->cost = 0;
  if (plan->positions <= 0) return;
  for (int32_t p = 0; p < plan->positions; ++p) {
    BeamState* cur = plan->states + static_cast<int64_t>(p) * beam;
    const BeamState* prev = p > 0 ? plan->states + static_cast<int64_t>(p - 1) * beam : nullptr;
    const int32_t prev_count = p > 0 ? plan->state_count[p - 1] : 0;
    int32_t n = 0;
    for (int32_t oi = plan->first[p]; oi < plan->first[p + 1]; ++oi) {
      const SearchOption& o = plan->options[oi];
      const uint64_t tc = search_target_cost(plan, o);
      // A state enters the beam only below the worst score it holds when full.
      uint64_t limit = n == beam ? cur[n - 1].score : kOpen;
      uint64_t best = kOpen;
      int32_t back = -1;
      if (!prev) {
        if (tc < limit) best = tc;
      } else {
        // Previous states are sorted by score, so the first one that cannot
        // beat the limit ends the scan.
        for (int32_t s = 0; s < prev_count; ++s) {
          const uint64_t base = prev[s].score + tc;
          if (base >= limit) break;
          uint64_t room = limit - base;
          uint32_t bound = room > kForcedJoinCost ? kForcedJoinCost : static_cast<uint32_t>(room);
          const uint64_t total = base + search_join_cost(plan->options[prev[s].option], o, bound);
          if (total < limit) {
            best = limit = total;
            back = s;
          }
        }
      }
      if (best == kOpen) continue;
      // Sorted insertion; the worst state falls out of a full beam.
      int32_t at = n < beam ? n++ : beam - 1;
      while (at > 0 && cur[at - 1].score > best) {
        cur[at] = cur[at - 1];
        --at;
      }
      cur[at] = {oi, back, best};
    }
    // A boundary flag lets the search settle here: only the best state goes on.
    if (plan->cut[p] && n > 1) n = 1;
    plan->state_count[p] = n;
  }
  const int32_t last = plan->positions - 1;
  const BeamState* states = plan->states + static_cast<int64_t>(last) * beam;
  plan->cost = states[0].score;
  int32_t s = 0;
  for (int32_t p = last; p >= 0; --p) {
    const BeamState& st = plan->states[static_cast<int64_t>(p) * beam + s];
    plan->path[p] = st.option;
    s = st.back;
  }
}
