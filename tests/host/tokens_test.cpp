// The host's tokenizer and its call of the voice's tokentowords_func.
#include "host/tokens.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/features.h"
#include "core/item.h"
#include "core/value.h"
#include "lang_pt_br/token_to_words.h"
#include "lang_pt_br/tokenstream.h"

namespace {

struct Tok {
  std::string whitespace, pre, name, punc;
  bool operator==(const Tok&) const = default;
};

void PrintTo(const Tok& t, std::ostream* os) {
  *os << "{ws='" << t.whitespace << "' pre='" << t.pre << "' name='" << t.name << "' punc='" << t.punc << "'}";
}

std::vector<Tok> tokens_of(Relation* r) {
  std::vector<Tok> out;
  for (Item* i = r->head; i; i = i->next)
    out.push_back({item_feature_string(i, "whitespace"), item_feature_string(i, "prepunctuation"),
                   item_feature_string(i, "name"), item_feature_string(i, "punc")});
  return out;
}

// An utterance showing the voice's tokenizer sets and its tokentowords_func.
Utterance* voice_utterance() {
  Utterance* u = utterance_new();
  features_set_string(u->features, "text_postpunctuation", pt_br_text_postpunctuation);
  features_set_string(u->features, "text_singlecharsymbols", pt_br_text_singlecharsymbols);
  features_set_string(u->features, "text_whitespace", pt_br_text_whitespace);
  features_set(u->features, "tokentowords_func", value_new_itemfunc(reinterpret_cast<void*>(&token_to_words)));
  return u;
}

TEST(HostTokens, DefaultSetsWithoutAVoice) {
  Utterance* u = utterance_new();
  TokenizerSets sets = tokenizer_sets(u);
  EXPECT_EQ(sets.whitespace, " \t\n\r");
  EXPECT_EQ(sets.singlechar, "(){}[]");
  EXPECT_EQ(sets.prepunctuation, "\"'`({[");
  EXPECT_EQ(sets.postpunctuation, "\"'`.,:;!?(){}[]");
  EXPECT_EQ(tokens_of(tokenize_text(u, "(ola)")),
            (std::vector<Tok>{{"", "", "(", ""}, {"", "", "ola", ""}, {"", "", ")", ""}}));
  EXPECT_EQ(tokens_of(tokenize_text(u, "\"ola\", ...")),
            (std::vector<Tok>{{"", "\"", "ola", "\","}, {" ", "", ".", ".."}}));
  utterance_delete(u);
}

TEST(HostTokens, TheVoiceSetsAndTheDefaultPrepunctuation) {
  Utterance* u = voice_utterance();
  TokenizerSets sets = tokenizer_sets(u);
  EXPECT_EQ(sets.whitespace, " \t\n\r\xa0");
  EXPECT_EQ(sets.singlechar, "");
  EXPECT_EQ(sets.prepunctuation, "\"'`({[");
  EXPECT_EQ(sets.postpunctuation, ".,:;!?");

  EXPECT_EQ(tokens_of(tokenize_text(u, "  Sr. Silva\tchegou\xa0\xe0s 10:30.\n")),
            (std::vector<Tok>{{"  ", "", "Sr", "."},
                              {" ", "", "Silva", ""},
                              {"\t", "", "chegou", ""},
                              {"\xa0", "", "\xe0s", ""},
                              {" ", "", "10:30", "."}}));
  // Closing marks that are not postpunctuation stay in the token.
  EXPECT_EQ(tokens_of(tokenize_text(u, "(\"ola\"), sim?!")),
            (std::vector<Tok>{{"", "(\"", "ola\")", ","}, {" ", "", "sim", "?!"}}));
  // Opening punctuation alone is a token; so is a lone mark.
  EXPECT_EQ(tokens_of(tokenize_text(u, "(( ? ...")),
            (std::vector<Tok>{{"", "", "((", ""}, {" ", "", "?", ""}, {" ", "", ".", ".."}}));
  EXPECT_TRUE(tokens_of(tokenize_text(u, "")).empty());
  EXPECT_TRUE(tokens_of(tokenize_text(u, " \t\xa0 ")).empty());
  std::string long_token(1000, 'a');
  EXPECT_EQ(tokens_of(tokenize_text(u, (long_token + "!").c_str())),
            (std::vector<Tok>{{"", "", long_token, "!"}}));
  utterance_delete(u);
}

TEST(HostTokens, TokensAreReadIntoWordsThatHangUnderThem) {
  Utterance* u = voice_utterance();
  ASSERT_NE(utterance_token_function(u), nullptr);
  tokenize_text(u, "O Sr. pagou R$1 mil.");
  Relation* words = tokens_to_words(u);
  std::vector<std::string> names;
  for (Item* w = words->head; w; w = w->next) names.push_back(item_feature_string(w, "name"));
  EXPECT_EQ(names, (std::vector<std::string>{"o", "senhor", "pagou", "mil", "reais"}));

  Relation* tokens = utterance_relation(u, "Token");
  Item* sr = tokens->head->next;
  EXPECT_STREQ(item_feature_string(sr, "punc"), "");  // the title took its period
  EXPECT_STREQ(item_feature_string(item_first_daughter(sr), "name"), "senhor");
  Item* amount = sr->next->next;
  EXPECT_EQ(item_first_daughter(amount), nullptr);  // R$1 before "mil" reads nothing
  Item* mil = amount->next;
  EXPECT_EQ(item_parent(item_last_daughter(mil)), mil);
  EXPECT_STREQ(item_feature_string(item_last_daughter(mil), "name"), "reais");
  utterance_delete(u);
}

TEST(HostTokens, AVoiceWithoutTheFunctionGivesNoWords) {
  Utterance* u = utterance_new();
  features_set_string(u->features, "tokentowords_func", "not a function");
  EXPECT_EQ(utterance_token_function(u), nullptr);
  Relation* tokens = tokenize_text(u, "um dois");
  EXPECT_EQ(token_words(u, tokens->head), nullptr);
  EXPECT_EQ(tokens_to_words(u)->head, nullptr);
  utterance_delete(u);
  u = voice_utterance();
  EXPECT_EQ(tokens_to_words(u)->head, nullptr);  // no Token relation yet
  utterance_delete(u);
}

}  // namespace
