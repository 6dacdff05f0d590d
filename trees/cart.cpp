#include "trees/cart.h"

#include "core/features.h"
#include "core/path.h"
#include "core/platform.h"
#include "trees/regex.h"

namespace {

bool pattern_matches(const Value* feature, const Value* operand) {
  if (value_type(operand) != kTypeInt) fatal_exit();
  int32_t index = value_int(operand);
  // Only indices inside the pattern table mean anything.
  if (index < 0 || index >= kCartPatternCount) fatal_exit();
  return regex_matches(cart_patterns[index], value_string(feature));
}

bool answer(const CartNode& node, const Value* feature) {
  switch (node.op) {
    case kCartIs:
      return value_equal(feature, node.value);
    case kCartIn:
      return value_member(feature, node.value);
    case kCartLess:
      return value_less(feature, node.value);
    case kCartGreater:
      return value_greater(feature, node.value);
    case kCartMatches:
      return pattern_matches(feature, node.value);
    default:
      fatal_exit();
  }
}

}  // namespace

const Value* cart_evaluate(const Item* item, const CartTree* tree) {
  const CartNode* nodes = tree->nodes;
  // The cache holds each path's answer for this call; it is made on the first
  // question, so a tree that is a single leaf costs nothing.
  Features* cache = nullptr;
  uint32_t n = 0;
  while (nodes[n].op != kCartLeaf) {
    const CartNode& node = nodes[n];
    const char* path = tree->feature_paths[node.feature];
    Value* feature = features_get_or(cache, path, nullptr);
    if (!feature) {
      if (!cache) {
        const Utterance* u = item_utterance(item);
        cache = features_new_in_heap(u ? u->heap : nullptr);
      }
      feature = feature_path_value(item, path);
      features_set(cache, path, feature);
    }
    n = answer(node, feature) ? n + 1 : node.no_node;
  }
  // Values that feature functions made for this call go with the cache;
  // Values held by items only lose the cache's count.
  features_free(cache);
  return nodes[n].value;
}
