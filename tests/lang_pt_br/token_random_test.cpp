// Random tokens through token_to_words: any ISO-8859-15 text, with or
// without hints, must give a well-formed word list and never crash, leak or
// misread memory (run this under the sanitizer build too).
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/item.h"
#include "core/value.h"
#include "lang_pt_br/token_to_words.h"
#include "lang_pt_br/token_to_words_util.h"
#include "lang_pt_br/token_patterns.h"

namespace {

class RandomTokens {
 public:
  explicit RandomTokens(uint32_t seed) : rng_(seed) {}

  int below(int n) { return static_cast<int>(rng_() % static_cast<uint32_t>(n)); }

  std::string any_bytes(int length) {
    std::string s;
    for (int i = 0; i < length; ++i) s += static_cast<char>(1 + below(255));
    return s;
  }

  std::string from(const char* alphabet, int length) {
    std::string a = alphabet, s;
    for (int i = 0; i < length; ++i) s += a[static_cast<size_t>(below(static_cast<int>(a.size())))];
    return s;
  }

  std::string digits(int length) { return from("0123456789", length); }

  // Texts near the shapes the readers know: numbers, dates, times, money,
  // fractions, ordinals, abbreviations, possessives.
  std::string shaped() {
    static const char* const kPrefixes[] = {"R$", "$", "\xa4", "\xa3", "\xa5", "USD", "EUR", "GBP", "JPY", "BRL", "R$-", ""};
    static const char* const kSeparators[] = {".", "/", "-", ":", ",", "'", "\"", "+", "%"};
    static const char* const kWords[] = {"dez", "XII", "mar\xe7o", "abc", "am", "p.m", "\xba", "\xaa", "os", "'s", "a.b."};
    std::string s;
    int parts = 1 + below(5);
    for (int i = 0; i < parts; ++i) {
      switch (below(4)) {
        case 0: s += digits(1 + below(i == 0 && below(8) == 0 ? 40 : 5)); break;
        case 1: s += kSeparators[below(9)]; break;
        case 2: s += kWords[below(11)]; break;
        default: s = kPrefixes[below(12)] + s; break;
      }
    }
    return s;
  }

  std::string token() {
    switch (below(6)) {
      case 0: return any_bytes(1 + below(12));
      case 1: return any_bytes(1 + below(300));
      case 2: return digits(1 + below(120));
      case 3: return from("a1'.-%s,/:", 1 + below(below(8) == 0 ? 2000 : 200));
      case 4: return from("0123456789.,-+e", 1 + below(60));
      default: return shaped();
    }
  }

  std::string hint() {
    static const char* const kHints[] = {"characters", "number", "cardinal", "ordinal", "digits",
                                         "fraction",   "time",   "date",     "other"};
    return kHints[below(9)];
  }

 private:
  std::mt19937 rng_;
};

// Every element is a non-empty string Value without white space.
void expect_word_list(const Value* list, const std::string& token) {
  for (const Value* cell = list; cell; cell = value_cdr(cell)) {
    ASSERT_TRUE(value_is_cell(cell));
    const Value* word = value_car(cell);
    ASSERT_EQ(value_type(word), kTypeString) << "token of " << token.size() << " bytes";
    std::string w = value_string(word);
    EXPECT_FALSE(w.empty()) << "token of " << token.size() << " bytes";
    EXPECT_EQ(w.find_first_of(" \t\n\r"), std::string::npos) << w;
  }
}

uint32_t seed() {
  const char* env = getenv("SELVANA_TOKEN_SEED");
  return env ? static_cast<uint32_t>(strtoul(env, nullptr, 10)) : 20131225u;
}

TEST(RandomTokens, AnyTextGivesAWellFormedWordList) {
  RandomTokens random(seed());
  for (int round = 0; round < 2000; ++round) {
    Utterance* u = utterance_new();
    Relation* r = utterance_new_relation(u, "Token");
    // Three neighbours, so that p.name and n.name have something to see.
    std::vector<Item*> tokens;
    std::vector<std::string> names;
    for (int k = 0; k < 3; ++k) {
      Item* t = relation_append(r, nullptr);
      names.push_back(random.token());
      item_set_string(t, "name", names.back().c_str());
      static const char* const kPunc[] = {"", ".", "?", ".,", "!"};
      item_set_string(t, "punc", kPunc[random.below(5)]);
      if (random.below(4) == 0) item_set_string(t, "interpret-as", random.hint().c_str());
      if (random.below(3) == 0) item_set_string(t, "interpret-as-format", random.from("dmyx", 1 + random.below(3)).c_str());
      tokens.push_back(t);
    }
    for (Item* t : tokens) {
      Value* words = token_to_words(t);
      expect_word_list(words, item_feature_string(t, "name"));
      value_release(words);
    }
    utterance_delete(u);
    if (HasFatalFailure()) return;
  }
}

TEST(RandomTokens, PrefiltersNeverRejectAMatch) {
  std::vector<std::string> texts = {"10:30", "0:00", "10:30a.m", "25/12/2013", "12/25/2013", "2013-12-25",
                                    "25/XII/2013", "dez/25/2013", "mil", "Bilh\xf5" "es", "R$1,50", "USD1.000",
                                    "\xa4" "1", "\xa3" "2,50", "R$-5", "123", "0800", "1\xba", "2\xaa", "1.000as",
                                    "-1,5e3", "+3", "1.000.000", "a.b.", "E.U.A", "a.b", "guarda-chuva", "d'\xe1gua"};
  RandomTokens random(seed() + 2);
  for (int i = 0; i < 20000; ++i) texts.push_back(i % 2 ? random.shaped() : random.any_bytes(1 + random.below(12)));
  for (const StoredPattern& p : token_patterns) {
    int matched = 0;
    for (const std::string& t : texts) {
      if (!regex_matches(p.regex, t.c_str())) continue;
      ++matched;
      EXPECT_TRUE(tokwords::may_match(p.regex, t.c_str())) << p.name << " rejects " << t;
    }
    if (p.regex == &date_format_pattern || p.regex == &duration_pattern)
      continue;  // shapes the corpus does not aim at
    EXPECT_GT(matched, 0) << p.name;
  }
}

TEST(RandomTokens, VeryLongTokensAreReadWithoutDeepRecursion) {
  // Each of these is read piece by piece (split after every character, or
  // peeled from the end), which must not grow the stack with the length.
  std::string hyphens, groups = "1";
  for (int i = 0; i < 2000; ++i) hyphens += "a-", groups += ".000";
  const std::string shapes[] = {std::string(50000, '!'), std::string(50000, '%'),
                                "a" + std::string(5000, '\'') + "b", hyphens + "1", groups + "%"};
  for (const std::string& name : shapes) {
    Utterance* u = utterance_new();
    Item* t = relation_append(utterance_new_relation(u, "Token"), nullptr);
    item_set_string(t, "name", name.c_str());
    item_set_string(t, "punc", "");
    Value* words = token_to_words(t);
    EXPECT_GT(value_list_length(words), 0);
    expect_word_list(words, name);
    value_release(words);
    utterance_delete(u);
  }
  std::string possessives;
  for (int i = 0; i < 3000; ++i) possessives += "'s";
  Utterance* u = utterance_new();
  Item* t = relation_append(utterance_new_relation(u, "Token"), nullptr);
  item_set_string(t, "name", ("x" + possessives).c_str());
  item_set_string(t, "punc", "");
  Value* words = token_to_words(t);
  ASSERT_EQ(value_list_length(words), 1);
  EXPECT_EQ(std::string(value_string(value_car(words))), "xis" + possessives);
  value_release(words);
  utterance_delete(u);
}

}  // namespace
