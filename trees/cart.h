// Classification and regression trees: a predicted Value for an item, found
// by asking questions about the item's features.
//
// Trees are constant data and are never changed or freed here.  Nodes lie in
// one array with the root at 0; a question's yes-branch is the next node, its
// no-branch the node `no_node`.
#pragma once

#include <cstdint>

#include "core/item.h"
#include "core/value.h"

enum CartOp : uint8_t {
  kCartIs = 0,       // value_equal(F, V)
  kCartIn = 1,       // F is value_equal to an element of the list V
  kCartLess = 2,     // F < V as floats
  kCartGreater = 3,  // F > V as floats
  kCartMatches = 4,  // V is an int index into cart_patterns; the pattern matches the text F
  kCartLeaf = 255,
};

struct CartNode {
  uint8_t feature;   // index into the tree's feature_paths
  uint8_t op;        // CartOp
  uint16_t no_node;  // where a "no" answer goes
  const Value* value;  // the operand of a question, the prediction of a leaf
};

struct CartTree {
  const CartNode* nodes;
  const char* const* feature_paths;
};

// The value of the leaf that the item reaches from the root.  It belongs to
// the tree: read it, never release it.  Each distinct feature path is
// evaluated at most once per call; the item must belong to an utterance, in
// whose heap the per-call cache lives.
const Value* cart_evaluate(const Item* item, const CartTree* tree);
