// Pronunciation speed: words per second through wordtosegments_func, with
// the rule engine alone and plain list building as baselines of the same run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "core/features.h"
#include "core/item.h"
#include "core/value.h"
#include "lang_pt_br/lts.h"
#include "lang_pt_br/phoneset_pt_br.h"
#include "lang_pt_br/word_to_segments.h"

namespace {

// Everyday words of varied length and spelling (ISO-8859-15).
const char* const kWords[] = {
    "de", "para", "casa", "arquivo", "n\xe3o", "com", "que", "uma", "padr\xe3o", "nome", "como", "foi",
    "erro", "valor", "pode", "tradu\xe7\xe3o", "op\xe7\xe3o", "sa\xed" "da", "linha", "n\xfamero", "poss\xedvel",
    "dados", "comando", "sistema", "programa", "usu\xe1rio", "diret\xf3rio", "configura\xe7\xe3o", "escola",
    "verde", "feltro", "papel", "irm\xe3os", "guarda-chuva", "cpf", "email", "download", "software",
    "exemplo", "quando", "frequente", "lingui\xe7" "a", "t\xe1xi", "caixa", "filho", "ninho", "carro",
    "desde", "nascer", "quente", "gente", "cora\xe7\xe3o", "p\xe3" "es", "feliz", "campo", "bem",
    "cineangiocoronariografia", "inconstitucionalmente", "tamb\xe9m", "voc\xea", "depois", "antes",
};
constexpr int kWordCount = sizeof kWords / sizeof kWords[0];

struct WordUtterance {
  Utterance* utt;
  std::vector<Item*> items;
  WordUtterance() {
    utt = utterance_new();
    features_set(utt->features, "phoneset", phoneset_pt_br_value());
    Relation* words = utterance_new_relation(utt, "Word");
    for (const char* w : kWords) {
      Item* i = relation_append(words, nullptr);
      item_set_string(i, "name", w);
      items.push_back(i);
    }
  }
  ~WordUtterance() { utterance_delete(utt); }
};

void BM_WordToSegments(benchmark::State& state) {
  WordUtterance u;
  for (auto _ : state) {
    for (Item* i : u.items) {
      Value* phones = wordtosegments_func(i);
      benchmark::DoNotOptimize(phones);
      value_release(phones);
    }
  }
  state.SetItemsProcessed(state.iterations() * kWordCount);
}
BENCHMARK(BM_WordToSegments);

// Letter-to-sound alone: the rule engine and the split into a list.
void BM_LtsWord(benchmark::State& state) {
  for (auto _ : state) {
    for (const char* w : kWords) {
      Value* phones = lts_word(w);
      benchmark::DoNotOptimize(phones);
      value_release(phones);
    }
  }
  state.SetItemsProcessed(state.iterations() * kWordCount);
}
BENCHMARK(BM_LtsWord);

std::vector<std::vector<char>> framed_words() {
  std::vector<std::vector<char>> framed;
  for (const char* w : kWords) {
    std::vector<char> f(strlen(w) + 3);
    f[0] = '#';
    memcpy(f.data() + 1, w, strlen(w));
    f[strlen(w) + 1] = '#';
    framed.push_back(f);
  }
  return framed;
}

// The rule engine on framed words into a reused buffer (no allocation),
// walking the whole table at every position.
void BM_LtsApply(benchmark::State& state) {
  std::vector<std::vector<char>> framed = framed_words();
  LtsBuffer out{};
  for (auto _ : state) {
    for (const auto& f : framed) {
      lts_apply(f.data(), pt_br_lts_rules, &out);
      benchmark::DoNotOptimize(out.text);
    }
  }
  lts_buffer_free(&out);
  state.SetItemsProcessed(state.iterations() * kWordCount);
}
BENCHMARK(BM_LtsApply);

// The same with the first-letter index that lts_word uses.
void BM_LtsApplyIndexed(benchmark::State& state) {
  std::vector<std::vector<char>> framed = framed_words();
  LtsBuffer out{};
  for (auto _ : state) {
    for (const auto& f : framed) {
      lts_apply_indexed(f.data(), 0, static_cast<int32_t>(strlen(f.data())), pt_br_lts_rules, pt_br_lts_index, &out);
      benchmark::DoNotOptimize(out.text);
    }
  }
  lts_buffer_free(&out);
  state.SetItemsProcessed(state.iterations() * kWordCount);
}
BENCHMARK(BM_LtsApplyIndexed);

// Baseline: building and freeing a six-element list of string Values per
// word, the least any word-to-phones function must do.
void BM_ListBaseline(benchmark::State& state) {
  for (auto _ : state) {
    for (int w = 0; w < kWordCount; ++w) {
      Value* list = nullptr;
      for (int k = 0; k < 6; ++k) list = value_cons(value_new_string("a"), list);
      benchmark::DoNotOptimize(list);
      value_release(list);
    }
  }
  state.SetItemsProcessed(state.iterations() * kWordCount);
}
BENCHMARK(BM_ListBaseline);

}  // namespace

BENCHMARK_MAIN();
