// Items, relations and utterances.
//
// One linguistic object is one ItemContents that may appear as a node (Item)
// in several relations at once.  Everything of an utterance lives in its
// private heap, except relation names and the utterance record itself.
#pragma once

#include <cstdint>

#include "core/features.h"
#include "core/value.h"

struct PrivateHeap;
struct Relation;
struct Item;

struct Utterance {
  Features* features;
  Features* ffunctions;  // name -> ffunc Value
  Features* relations;   // name -> relation Value
  PrivateHeap* heap;
};

struct Relation {
  char* name;
  Features* features;
  Utterance* utterance;
  Item* head;
  Item* tail;
};

struct ItemContents {
  Features* features;
  Features* relations;  // relation name -> item Value of that relation's node
};

struct Item {
  ItemContents* contents;
  Relation* relation;
  Item* next;
  Item* prev;
  Item* up;  // only on a first daughter: its parent
  Item* down;
};

Item* item_next(const Item* i);
Item* item_prev(const Item* i);
Item* item_first_daughter(const Item* i);
Item* item_last_daughter(const Item* i);
Item* item_parent(const Item* i);
Item* item_in_relation(const Item* i, const char* relation);
Value* item_feature(const Item* i, const char* name);
bool item_feature_present(const Item* i, const char* name);
int32_t item_feature_int(const Item* i, const char* name);
float item_feature_float(const Item* i, const char* name);
const char* item_feature_string(const Item* i, const char* name);
void item_set(Item* i, const char* name, Value* v);
void item_set_int(Item* i, const char* name, int32_t x);
void item_set_float(Item* i, const char* name, float x);
void item_set_string(Item* i, const char* name, const char* text);
Utterance* item_utterance(const Item* i);
bool item_same(const Item* a, const Item* b);
void item_delete(Item* i);

void relation_delete(Relation* r);
void utterance_delete(Utterance* u);
Relation* utterance_relation(const Utterance* u, const char* name);

// --- Creation (used by the host engine and by tests) ---

// A new utterance with its own private heap and empty lists.
Utterance* utterance_new();
// A new, empty relation registered in the utterance under `name` (replacing
// any relation of that name, which is deleted).
Relation* utterance_new_relation(Utterance* u, const char* name);
// Appends a new item to the relation.  With `share` given, the new node
// shares that item's contents (the object joins this relation); otherwise it
// gets fresh contents.
Item* relation_append(Relation* r, Item* share);
// Appends a daughter under `parent`, in the parent's relation, sharing
// `share`'s contents when given.
Item* item_append_daughter(Item* parent, Item* share);
