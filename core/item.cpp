#include "core/item.h"

#include "core/platform.h"

namespace {

void* utt_alloc(PrivateHeap* heap, size_t size) {
  void* b = local_alloc(heap, size);
  if (!b) fatal_exit();
  return b;
}

PrivateHeap* heap_of(const Relation* r) { return r->utterance->heap; }

}  // namespace

Item* item_next(const Item* i) { return i ? i->next : nullptr; }
Item* item_prev(const Item* i) { return i ? i->prev : nullptr; }
Item* item_first_daughter(const Item* i) { return i ? i->down : nullptr; }

Item* item_last_daughter(const Item* i) {
  Item* d = item_first_daughter(i);
  if (d)
    while (d->next) d = d->next;
  return d;
}

Item* item_parent(const Item* i) {
  if (!i) return nullptr;
  while (i->prev) i = i->prev;
  return i->up;
}

Item* item_in_relation(const Item* i, const char* relation) {
  if (!i || !i->contents) return nullptr;
  Value* v = features_get(i->contents->relations, relation);
  if (!v) return nullptr;
  return static_cast<Item*>(value_object(v, kTypeItem));
}

Value* item_feature(const Item* i, const char* name) {
  if (!i || !i->contents) return nullptr;
  return features_get(i->contents->features, name);
}

bool item_feature_present(const Item* i, const char* name) { return item_feature(i, name) != nullptr; }
int32_t item_feature_int(const Item* i, const char* name) { return value_int(item_feature(i, name)); }
float item_feature_float(const Item* i, const char* name) { return value_float(item_feature(i, name)); }
const char* item_feature_string(const Item* i, const char* name) { return value_string(item_feature(i, name)); }

void item_set(Item* i, const char* name, Value* v) { features_set(i->contents->features, name, v); }
void item_set_int(Item* i, const char* name, int32_t x) { features_set_int(i->contents->features, name, x); }
void item_set_float(Item* i, const char* name, float x) { features_set_float(i->contents->features, name, x); }
void item_set_string(Item* i, const char* name, const char* text) {
  features_set_string(i->contents->features, name, text);
}

Utterance* item_utterance(const Item* i) {
  if (!i || !i->relation) return nullptr;
  return i->relation->utterance;
}

bool item_same(const Item* a, const Item* b) {
  if (a == b) return true;
  return a && b && a->contents && a->contents == b->contents;
}

void item_delete(Item* i) {
  if (!i) return;
  Relation* r = i->relation;
  if (i->next) {
    i->next->prev = i->prev;
    i->next->up = i->up;
  }
  if (i->prev) i->prev->next = i->next;
  if (i->up) i->up->down = i->next;
  if (r->head == i) r->head = i->next;
  if (r->tail == i) r->tail = i->prev;
  for (Item* d = i->down; d;) {
    Item* next = d->next;
    item_delete(d);
    d = next;
  }
  PrivateHeap* heap = heap_of(r);
  if (ItemContents* c = i->contents) {
    features_remove(c->relations, r->name);
    if (features_count(c->relations) == 0) {
      features_free(c->relations);
      features_free(c->features);
      local_free(heap, c);
    }
    i->contents = nullptr;
  }
  local_free(heap, i);
}

void relation_delete(Relation* r) {
  if (!r) return;
  for (Item* i = r->head; i;) {
    Item* next = i->next;
    item_delete(i);
    i = next;
  }
  PrivateHeap* heap = heap_of(r);
  features_free(r->features);
  heap_free(r->name);
  local_free(heap, r);
}

void utterance_delete(Utterance* u) {
  if (!u) return;
  features_free(u->features);
  features_free(u->ffunctions);
  u->features = u->ffunctions = nullptr;
  if (u->relations) {
    for (FeaturePair* p = u->relations->head; p; p = p->next)
      relation_delete(static_cast<Relation*>(value_object(p->val, kTypeRelation)));
    features_free(u->relations);
  }
  private_heap_destroy(u->heap);
  heap_free(u);
}

Relation* utterance_relation(const Utterance* u, const char* name) {
  Value* v = features_get(u->relations, name);
  if (!v) fatal_exit();
  return static_cast<Relation*>(value_object(v, kTypeRelation));
}

Utterance* utterance_new() {
  auto* u = static_cast<Utterance*>(heap_alloc(sizeof(Utterance)));
  u->heap = private_heap_create();
  u->features = features_new_in_heap(u->heap);
  u->ffunctions = features_new_in_heap(u->heap);
  u->relations = features_new_in_heap(u->heap);
  return u;
}

Relation* utterance_new_relation(Utterance* u, const char* name) {
  if (Value* old = features_get(u->relations, name)) {
    auto* previous = static_cast<Relation*>(value_object(old, kTypeRelation));
    features_remove(u->relations, name);  // compares against the old name: remove first
    relation_delete(previous);
  }
  auto* r = static_cast<Relation*>(utt_alloc(u->heap, sizeof(Relation)));
  r->name = string_copy(name);
  r->features = features_new_in_heap(u->heap);
  r->utterance = u;
  features_set(u->relations, r->name, value_new_object(kTypeRelation, r));
  return r;
}

namespace {

Item* new_node(Relation* r, Item* share) {
  PrivateHeap* heap = heap_of(r);
  auto* i = static_cast<Item*>(utt_alloc(heap, sizeof(Item)));
  i->relation = r;
  ItemContents* c;
  if (share && share->contents) {
    c = share->contents;
  } else {
    c = static_cast<ItemContents*>(utt_alloc(heap, sizeof(ItemContents)));
    c->features = features_new_in_heap(heap);
    c->relations = features_new_in_heap(heap);
  }
  i->contents = c;
  // An object appears at most once per relation: a second node replaces the
  // first in the contents' index.
  features_set(c->relations, r->name, value_new_object(kTypeItem, i));
  return i;
}

}  // namespace

Item* relation_append(Relation* r, Item* share) {
  Item* i = new_node(r, share);
  if (r->tail) {
    r->tail->next = i;
    i->prev = r->tail;
  } else {
    r->head = i;
  }
  r->tail = i;
  return i;
}

Item* item_append_daughter(Item* parent, Item* share) {
  Item* i = new_node(parent->relation, share);
  if (Item* last = item_last_daughter(parent)) {
    last->next = i;
    i->prev = last;
  } else {
    parent->down = i;
    i->up = parent;
  }
  return i;
}
