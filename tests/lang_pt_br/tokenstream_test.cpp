#include "lang_pt_br/tokenstream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/platform.h"
#include "tests/support/text.h"

namespace {

using testtext::elements;

struct Got {
  std::string pre, token, post, white;
};

std::vector<Got> all_tokens(TokenStream* ts) {
  std::vector<Got> out;
  while (!token_stream_at_end(ts)) {
    const char* t = token_stream_get(ts);
    out.push_back({ts->prepunctuation.text, t, ts->postpunctuation.text, ts->whitespace.text});
  }
  return out;
}

TEST(TokenStream, DefaultsAndFirstCharacter) {
  TokenStream* ts = token_stream_open_string("ab");
  EXPECT_STREQ(ts->whitespace_set, " \t\n\r");
  EXPECT_STREQ(ts->singlechar_set, "(){}[]");
  EXPECT_STREQ(ts->prepunctuation_set, "\"'`({[");
  EXPECT_STREQ(ts->postpunctuation_set, "\"'`.,:;!?(){}[]");
  EXPECT_EQ(ts->current, 'a');
  EXPECT_EQ(ts->position, 1);
  EXPECT_EQ(ts->token.capacity, kTokenBufferInitial);
  EXPECT_FALSE(token_stream_at_end(ts));
  EXPECT_STREQ(token_stream_get(ts), "ab");
  EXPECT_TRUE(token_stream_at_end(ts));
  EXPECT_STREQ(token_stream_get(ts), "");  // further gets give empty tokens
  token_stream_close(ts);

  ts = token_stream_open_string("");
  EXPECT_TRUE(token_stream_at_end(ts));
  token_stream_close(ts);

  // A byte above 127 is a character like any other, not the end.
  ts = token_stream_open_string("\xff");
  EXPECT_EQ(ts->current, 0xFF);
  token_stream_close(ts);
}

TEST(TokenStream, SingleCharacterSymbolsAndPunctuation) {
  TokenStream* ts = token_stream_open_string("(ola)");
  std::vector<Got> got = all_tokens(ts);
  token_stream_close(ts);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].token, "(");
  EXPECT_EQ(got[1].token, "ola");
  EXPECT_EQ(got[2].token, ")");
  for (const Got& g : got) {
    EXPECT_EQ(g.pre, "");
    EXPECT_EQ(g.post, "");
  }

  ts = token_stream_open_string("  \"ola\",  x");
  got = all_tokens(ts);
  token_stream_close(ts);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].white, "  ");
  EXPECT_EQ(got[0].pre, "\"");
  EXPECT_EQ(got[0].token, "ola");
  EXPECT_EQ(got[0].post, "\",");
  EXPECT_EQ(got[1].white, "  ");
  EXPECT_EQ(got[1].token, "x");

  ts = token_stream_open_string("...");
  got = all_tokens(ts);
  token_stream_close(ts);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].token, ".");
  EXPECT_EQ(got[0].post, "..");

  // Opening punctuation standing alone becomes the token.
  ts = token_stream_open_string("a \"' b");
  got = all_tokens(ts);
  token_stream_close(ts);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[1].token, "\"");  // the first character stays, the rest is postpunctuation
  EXPECT_EQ(got[1].post, "'");
  EXPECT_EQ(got[1].pre, "");

  // Prepunctuation after the first character stays in the token.
  ts = token_stream_open_string("o'clock");
  got = all_tokens(ts);
  token_stream_close(ts);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].token, "o'clock");
}

TEST(TokenStream, LexiconStyleSets) {
  TokenStream* ts = token_stream_open_string("a-b c|d");
  ts->whitespace_set = " |";
  ts->singlechar_set = "-";
  ts->prepunctuation_set = "";
  ts->postpunctuation_set = "";
  std::vector<std::string> tokens;
  while (!token_stream_at_end(ts)) {
    const char* t = token_stream_get(ts);
    if (t[0] != '\0') tokens.push_back(t);
  }
  token_stream_close(ts);
  EXPECT_EQ(tokens, (std::vector<std::string>{"a", "-", "b", "c", "d"}));
}

TEST(TokenStream, LongTokensGrowTheBufferByAFifth) {
  std::string longword(1000, 'x');
  std::string text = "  " + longword + "!!";
  TokenStream* ts = token_stream_open_string(text.c_str());
  EXPECT_EQ(token_stream_get(ts), longword);
  EXPECT_STREQ(ts->postpunctuation.text, "!!");
  // 256 -> 307 -> 368 -> 441 -> 529 -> 634 -> 760 -> 912 -> 1094
  EXPECT_EQ(ts->token.capacity, 1094);
  token_stream_close(ts);
}

TEST(TokenStream, GettingTokensAllocatesNothingUntilABufferGrows) {
  TokenStream* ts = token_stream_open_string("\"Um\", dois; (tr\xeas) quatro...");
  uint64_t before = heap_alloc_count();
  int tokens = 0;
  while (!token_stream_at_end(ts)) {
    token_stream_get(ts);
    ++tokens;
  }
  EXPECT_EQ(tokens, 6);
  EXPECT_EQ(heap_alloc_count(), before);
  token_stream_close(ts);
}

TEST(SplitWords, WhitespaceOnly) {
  EXPECT_EQ(elements(split_words("  a  b ")), "a|b");
  EXPECT_EQ(elements(split_words("ponto de\texclama\xe7\xe3o")), "ponto|de|exclamação");
  EXPECT_EQ(elements(split_words("(a) \"b\".")), "(a)|\"b\".");
  EXPECT_EQ(split_words(""), nullptr);
  EXPECT_EQ(split_words("   "), nullptr);
  EXPECT_EQ(split_words("\n\r\t "), nullptr);
}

// With the voice's sets (their bytes are checked with its registration) a
// no-break space separates tokens.
TEST(VoiceTokenizerSets, NoBreakSpaceSeparatesTokens) {
  TokenStream* ts = token_stream_open_string("um\xa0" "dois.");
  ts->whitespace_set = pt_br_text_whitespace;
  ts->postpunctuation_set = pt_br_text_postpunctuation;
  ts->singlechar_set = pt_br_text_singlecharsymbols;
  EXPECT_STREQ(token_stream_get(ts), "um");
  EXPECT_STREQ(token_stream_get(ts), "dois");
  EXPECT_STREQ(ts->postpunctuation.text, ".");
  token_stream_close(ts);
}

}  // namespace
