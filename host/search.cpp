#include "host/search.h"

#include <cstdio>
#include <cstring>

namespace {

// Phones that can stand in for a phone whose diphone the voice lacks, best
// first: the oral vowel for a nasal one and back, open and closed mid vowels,
// the glide for its vowel, the other member of a voicing pair, the plain
// consonant for a palatal one.
struct Related {
  const char* phone;
  const char* substitutes[3];
};
constexpr Related kRelated[] = {
    {"a", {"an", nullptr, nullptr}},   {"an", {"a", nullptr, nullptr}},  {"e", {"eh", "en", nullptr}},
    {"eh", {"e", nullptr, nullptr}},   {"en", {"e", nullptr, nullptr}},  {"i", {"in", "j", nullptr}},
    {"in", {"i", nullptr, nullptr}},   {"o", {"oh", "on", nullptr}},     {"oh", {"o", nullptr, nullptr}},
    {"on", {"o", nullptr, nullptr}},   {"u", {"un", "w", nullptr}},      {"un", {"u", nullptr, nullptr}},
    {"j", {"i", nullptr, nullptr}},    {"w", {"u", nullptr, nullptr}},   {"b", {"p", nullptr, nullptr}},
    {"p", {"b", nullptr, nullptr}},    {"d", {"t", nullptr, nullptr}},   {"t", {"d", nullptr, nullptr}},
    {"g", {"k", nullptr, nullptr}},    {"k", {"g", nullptr, nullptr}},   {"v", {"f", nullptr, nullptr}},
    {"f", {"v", nullptr, nullptr}},    {"z", {"s", nullptr, nullptr}},   {"s", {"z", nullptr, nullptr}},
    {"zh", {"sh", "jh", nullptr}},     {"sh", {"zh", "ch", nullptr}},    {"jh", {"zh", "d", nullptr}},
    {"ch", {"sh", "t", nullptr}},      {"m", {"n", nullptr, nullptr}},   {"n", {"m", "ni", nullptr}},
    {"ni", {"n", nullptr, nullptr}},   {"l", {"lj", nullptr, nullptr}},  {"lj", {"l", nullptr, nullptr}},
    {"r", {"h", nullptr, nullptr}},    {"h", {"r", nullptr, nullptr}},
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

// Looks for a substitute for the diphone (left, right): first a related
// phone on the left, then on the right, then on both.
bool find_substitute(const HostVoiceDb& db, const char* left, const char* right, const char** sub_left,
                     const char** sub_right) {
  char name[10];
  const Related* rl = related(left);
  const Related* rr = related(right);
  auto usable = [&](const char* a, const char* b) {
    if (!diphone_name(a, b, name)) return false;
    const UnitIndexRecord* rec = voicedb_find(db, name);
    if (!rec) return false;
    uint32_t first, count;
    voicedb_unit_instances(rec, &first, &count);
    return count > 0;
  };
  if (rl)
    for (const char* a : rl->substitutes)
      if (a && usable(a, right)) return *sub_left = a, *sub_right = right, true;
  if (rr)
    for (const char* b : rr->substitutes)
      if (b && usable(left, b)) return *sub_left = left, *sub_right = b, true;
  if (rl && rr)
    for (const char* a : rl->substitutes)
      for (const char* b : rr->substitutes)
        if (a && b && usable(a, b)) return *sub_left = a, *sub_right = b, true;
  return false;
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
