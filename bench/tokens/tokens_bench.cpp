// Tokens per second through token_to_words on news-like Portuguese text with
// numbers, dates, times, money, percentages and abbreviations, against
// baselines measured in the same run: the least a reader can do with a token
// (one lower-case word), and cutting the text into tokens.
//
// The texts are written in UTF-8 here and converted to ISO-8859-15 once.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/features.h"
#include "core/item.h"
#include "core/platform.h"
#include "core/value.h"
#include "host/text_io.h"
#include "host/tokens.h"
#include "lang_pt_br/token_to_words.h"
#include "lang_pt_br/token_to_words_util.h"
#include "lang_pt_br/tokenstream.h"
#include "lang_pt_br/token_patterns.h"

namespace {

const char* const kNews =
    "O Banco Central anunciou nesta quarta-feira, 25/03/2015, que a taxa básica de juros sobe 0,5 "
    "ponto percentual, para 12,75% ao ano. Segundo o Sr. Tombini, a inflação de 7,7% em 12 meses "
    "exige cautela. O dólar fechou a R$3,17, alta de 1,2%, e a Bolsa caiu 2.345 pontos às 17:30. "
    "A Petrobras informou lucro de R$5,3 bilhões no 4º trimestre de 2014, contra US$2 bilhões "
    "previstos pelos analistas dos E.U.A. A reunião de 28 e 29/04 definirá os próximos passos; "
    "o IPCA de março sai em 08/04/2015 às 9:00. Em Brasília, 1.500 servidores protestaram contra "
    "o corte de €1.000.000 no programa. A Sra. Rousseff viaja dia 12/05 para a 2ª cúpula, com "
    "3/4 dos ministros. Ligue 0800-722-7272 ou acesse o portal; o jogo terminou 3-1, aos 45'30\" "
    "do segundo tempo, diante de 42.318 torcedores. Etc.";

const char* const kWords =
    "O governo federal anunciou nesta semana um novo pacote de medidas para estimular a economia "
    "e reduzir o desemprego nas regiões metropolitanas do país segundo o ministro da Fazenda";

const char* const kNumbers =
    "12 345 2.013 1.000.000 7,5 0,05 -3 21º 2ª 1.234.567 999.999.999.999 42 100 1.100 3,14159 "
    "13% 0800 12345678";

const char* const kDates =
    "25/12/2013 01/05/2013 12/25/2013 2013-12-25 25/dez/2013 25/XII/2013 10:30 21:15 9:05pm "
    "31/01/1999 15/11/1889 7:00 23:59";

const char* const kMoney =
    "R$1 R$1,50 R$0,01 R$1.000,00 £2,50 $1,999 €1.000.000 USD5 JPY100 ¥0,01 R$3 R$2,5";

std::string latin(const char* utf8) { return utf8_to_latin9(utf8, nullptr); }

// An utterance showing the voice's tokenizer sets.
Utterance* voice_utterance() {
  Utterance* u = utterance_new();
  features_set_string(u->features, "text_postpunctuation", pt_br_text_postpunctuation);
  features_set_string(u->features, "text_singlecharsymbols", pt_br_text_singlecharsymbols);
  features_set_string(u->features, "text_whitespace", pt_br_text_whitespace);
  return u;
}

int token_count(const std::string& text) {
  Utterance* u = voice_utterance();
  int n = 0;
  for (Item* t = tokenize_text(u, text.c_str())->head; t; t = t->next) ++n;
  utterance_delete(u);
  return n;
}

// Reads every token of a text; the tokens are cut afresh (untimed) each
// round, since the readers write features such as `punc` back on them.
void read_text(benchmark::State& state, const char* utf8) {
  std::string text = latin(utf8);
  int tokens = token_count(text);
  uint64_t allocations = 0, words = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Utterance* u = voice_utterance();
    Relation* r = tokenize_text(u, text.c_str());
    uint64_t before = heap_alloc_count();
    state.ResumeTiming();
    for (Item* t = r->head; t; t = t->next) {
      Value* list = token_to_words(t);
      words += static_cast<uint64_t>(value_list_length(list));
      value_release(list);
    }
    state.PauseTiming();
    allocations += heap_alloc_count() - before;
    utterance_delete(u);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * tokens);
  state.counters["allocs/token"] = static_cast<double>(allocations) / static_cast<double>(state.iterations() * tokens);
  state.counters["words/token"] = static_cast<double>(words) / static_cast<double>(state.iterations() * tokens);
}

void BM_TokenToWords_News(benchmark::State& state) { read_text(state, kNews); }
void BM_TokenToWords_PlainWords(benchmark::State& state) { read_text(state, kWords); }
void BM_TokenToWords_Numbers(benchmark::State& state) { read_text(state, kNumbers); }
void BM_TokenToWords_DatesTimes(benchmark::State& state) { read_text(state, kDates); }
void BM_TokenToWords_Money(benchmark::State& state) { read_text(state, kMoney); }

// Baseline: the least any reader does with a token, one lower-case word.
void BM_Baseline_OneLowercaseWord(benchmark::State& state) {
  std::string text = latin(kNews);
  Utterance* u = voice_utterance();
  Relation* r = tokenize_text(u, text.c_str());
  int tokens = 0;
  for (Item* t = r->head; t; t = t->next) ++tokens;
  for (auto _ : state) {
    for (Item* t = r->head; t; t = t->next) {
      char* lower = lowercase_pt(item_feature_string(t, "name"));
      Value* list = value_cons(value_new_string(lower), nullptr);
      heap_free(lower);
      benchmark::DoNotOptimize(list);
      value_release(list);
    }
  }
  utterance_delete(u);
  state.SetItemsProcessed(state.iterations() * tokens);
}

// Baseline: cutting the news text into its Token relation.
void BM_Baseline_Tokenize(benchmark::State& state) {
  std::string text = latin(kNews);
  int tokens = token_count(text);
  for (auto _ : state) {
    Utterance* u = voice_utterance();
    benchmark::DoNotOptimize(tokenize_text(u, text.c_str()));
    utterance_delete(u);
  }
  state.SetItemsProcessed(state.iterations() * tokens);
}

// The shape questions the dispatcher asks of every token, in its order,
// with and without the prefilters in front of the matcher.
const Regex* const kShapeQuestions[] = {&time_pattern,    &date_dmy_pattern, &date_mdy_pattern,
                                        &date_ymd_pattern, &scale_word_pattern, &money_pattern,
                                        &digits_pattern,   &ordinal_pattern,  &number_pattern,
                                        &abbreviation_pattern, &word_pattern};

template <bool kPrefilter>
void shape_questions(benchmark::State& state) {
  std::string text = latin(kNews);
  Utterance* u = voice_utterance();
  std::vector<std::string> names;
  for (Item* t = tokenize_text(u, text.c_str())->head; t; t = t->next) names.push_back(item_feature_string(t, "name"));
  utterance_delete(u);
  for (auto _ : state) {
    int yes = 0;
    for (const std::string& name : names)
      for (const Regex* q : kShapeQuestions)
        yes += kPrefilter ? tokwords::matches(q, name.c_str()) : regex_matches(q, name.c_str());
    benchmark::DoNotOptimize(yes);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(names.size()));
}

void BM_ShapeQuestions_MatcherOnly(benchmark::State& state) { shape_questions<false>(state); }
void BM_ShapeQuestions_WithPrefilter(benchmark::State& state) { shape_questions<true>(state); }

BENCHMARK(BM_Baseline_OneLowercaseWord);
BENCHMARK(BM_Baseline_Tokenize);
BENCHMARK(BM_ShapeQuestions_MatcherOnly);
BENCHMARK(BM_ShapeQuestions_WithPrefilter);
BENCHMARK(BM_TokenToWords_News);
BENCHMARK(BM_TokenToWords_PlainWords);
BENCHMARK(BM_TokenToWords_Numbers);
BENCHMARK(BM_TokenToWords_DatesTimes);
BENCHMARK(BM_TokenToWords_Money);

}  // namespace

BENCHMARK_MAIN();
