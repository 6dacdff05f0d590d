// Building the diphone candidate graph.
#include "unitsel/graph.h"

#include <cstddef>
#include <cstring>

#include "core/features.h"
#include "unitdb/unitdb.h"
#include "unitsel/join_cost.h"
#include "unitsel/target_cost.h"
#include "unitsel/text_match.h"

using unitsel::str_is;

// Candidates carry whole copies of the host's target records; on 64-bit
// builds the record is this fixed 168-byte block.
static_assert(sizeof(void*) != 8 ||
              (sizeof(SegmentTarget) == 168 && offsetof(SegmentTarget, pos1) == 48 &&
               offsetof(SegmentTarget, label) == 64 && offsetof(SegmentTarget, gpos_p) == 80 &&
               offsetof(SegmentTarget, flag3) == 104 && offsetof(SegmentTarget, flag4) == 120 &&
               offsetof(SegmentTarget, tone) == 128 && offsetof(SegmentTarget, ph_vc) == 144));

bool diphone_name(const char* left, const char* right, char* out) {
  size_t l = strlen(left);
  size_t r = strlen(right);
  if (l + 1 + r > static_cast<size_t>(kDiphoneNameMax)) {
    out[0] = '\0';
    return false;
  }
  memcpy(out, left, l);
  out[l] = '-';
  memcpy(out + l + 1, right, r + 1);
  return true;
}

JoinCostFn join_cost_for_target(const SegmentTarget* right) {
  if (str_is(right->ph_vc, "+")) return join_cost_vowel;
  if (str_is(right->ph_ctype, "p"))
    return str_is(right->ph_cvox, "+") ? join_cost_voiced_plosive : join_cost_voiceless_plosive;
  if (str_is(right->ph_ctype, "g") || str_is(right->ph_ctype, "r")) return join_cost_glide_rhotic;
  if (str_is(right->ph_cvox, "-")) return join_cost_voiceless_other;
  return join_cost_other;
}

namespace {

// Whether the candidate at position i, `d` positions after the last flagged
// one, marks a place where the host may cut its search.  Only consonants are
// cut; plosives, liquids, glides and rhotics need a long run before them.
bool boundary_at(const SegmentTarget* right, int64_t d, int64_t remaining, int64_t m) {
  if (d < m || remaining < m || !str_is(right->ph_vc, "-")) return false;
  if (d > 2 * m) return true;
  if (str_is(right->ph_cvox, "-") || static_cast<double>(d) > 1.5 * static_cast<double>(m)) {
    char c = right->ph_ctype[0];
    return !(c == 'r' || c == 'p' || c == 'l' || c == 'g');
  }
  return false;
}

Candidate* append_candidate(CandidateGraph* graph) {
  int64_t bytes = (static_cast<int64_t>(graph->count) + 1) * static_cast<int64_t>(sizeof(Candidate));
  if (bytes > INT32_MAX) fatal_exit();  // no heap block can hold it
  graph->candidates = static_cast<Candidate*>(heap_realloc(graph->candidates, static_cast<int32_t>(bytes)));
  Candidate* c = &graph->candidates[graph->count++];
  memset(static_cast<void*>(c), 0, sizeof(Candidate));
  return c;
}

}  // namespace

CandidateGraph* diphone_graph_func(Voice* voice, const SegmentTarget* targets, int32_t count) {
  auto* db = static_cast<UnitDatabase*>(value_diphonedb(features_get(voice->features, "diphonedb")));
  const int64_t m = features_get_int_or(voice->features, "tb_min_distance", kTbMinDistanceOff);

  auto* graph = static_cast<CandidateGraph*>(heap_alloc(sizeof(CandidateGraph)));
  graph->database = db;
  graph->target_cost = target_cost;
  if (count < 2) return graph;

  int64_t last = 0;  // position of the last flagged candidate
  char name[kDiphoneNameMax + 1];
  for (int32_t i = 0; i + 1 < count; ++i) {
    const SegmentTarget* left = &targets[i];
    const SegmentTarget* right = &targets[i + 1];
    if (!diphone_name(left->name, right->name, name)) continue;
    int32_t unit = unit_index_find(db, name);
    if (unit < 0) continue;

    Candidate* c = append_candidate(graph);
    c->unit = &db->unit_index[unit];
    // Whole copies: the host's own members and spare bytes travel along.
    memcpy(static_cast<void*>(&c->left), left, sizeof(SegmentTarget));
    memcpy(static_cast<void*>(&c->right), right, sizeof(SegmentTarget));
    c->join_cost = join_cost_for_target(right);

    if (m > 0 && boundary_at(right, i - last, static_cast<int64_t>(count) - i, m)) {
      c->boundary_flag = 1;
      last = i;
    }
  }
  return graph;
}
