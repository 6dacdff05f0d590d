#include "lang_pt_br/letters.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/platform.h"
#include "tests/support/text.h"

namespace {

using testtext::elements;
using testtext::latin9;
using testtext::words;

std::string name_of(int byte) { return testtext::utf8(character_names[byte]); }

TEST(CharacterNames, EveryByte) {
  for (int b = 0; b < 256; ++b) {
    ASSERT_NE(character_names[b], nullptr) << b;
    bool nameless = b < 0x20 || (b >= 0x7F && b <= 0x9F);
    EXPECT_EQ(character_names[b][0] == '\0', nameless) << "byte " << b;
    // Names are ISO-8859-15 words separated by single spaces.
    const char* n = character_names[b];
    if (!nameless) {
      EXPECT_NE(n[0], ' ');
      EXPECT_NE(n[std::strlen(n) - 1], ' ');
      EXPECT_EQ(std::strstr(n, "  "), nullptr);
    }
  }
  for (int c = 'A'; c <= 'Z'; ++c) {
    EXPECT_STREQ(character_names[c], character_names[c + 32]) << char(c);
  }
  for (int b = 0xC0; b <= 0xDE; ++b) {
    if (b == 0xD7 || b == 0xC9) continue;
    EXPECT_STREQ(character_names[b], character_names[b + 32]) << b;
  }
  EXPECT_EQ(name_of('W'), "dábliu");
  EXPECT_EQ(name_of('7'), "sete");
  EXPECT_EQ(name_of(' '), "espaço");
  EXPECT_EQ(name_of('*'), "asteriso");
  EXPECT_EQ(name_of('~'), "til");
  EXPECT_EQ(name_of(0xA0), "espaço rígido");
  EXPECT_EQ(name_of(0xA4), "euro");
  EXPECT_EQ(name_of(0xA6), "ésse com caron");
  EXPECT_EQ(name_of(0xA8), "ésse com caron");
  EXPECT_EQ(name_of(0xBC), "ó é ligadura");
  EXPECT_EQ(name_of(0xBE), "ípsilon com trema");
  EXPECT_EQ(name_of(0xC9), "é com acento agudo");
  EXPECT_EQ(name_of(0xE9), "é");
  EXPECT_EQ(name_of(0xD7), "vezes");
  EXPECT_EQ(name_of(0xF7), "dividido");
  EXPECT_EQ(name_of(0xDF), "eszett");
  EXPECT_EQ(name_of(0xFF), "ípsilon com trema");
}

TEST(SpellCharacters, WordsOfTheNames) {
  EXPECT_EQ(words(spell_characters("0800")), "zero oito zero zero");
  EXPECT_EQ(elements(spell_characters(":")), "dois|pontos");
  EXPECT_EQ(words(spell_characters("am")), "á éme");
  EXPECT_EQ(words(spell_characters("Ab")), words(spell_characters("aB")));
  EXPECT_EQ(words(spell_characters(latin9("É").c_str())), "é com acento agudo");
  EXPECT_EQ(elements(spell_characters(latin9("é").c_str())), "é");
  EXPECT_EQ(words(spell_characters(latin9("€5").c_str())), "euro cinco");
  EXPECT_EQ(spell_characters(""), nullptr);
  EXPECT_EQ(spell_characters("\x01\x1f\x7f\x80\x9f"), nullptr);
  EXPECT_EQ(words(spell_characters("a\x85" "b")), "á bê");
}

TEST(SpellWordLetters, JoinedOrSeparate) {
  EXPECT_EQ(elements(spell_word_letters("abc")), "á-bê-cê");
  EXPECT_EQ(elements(spell_word_letters("bcd")), "bê-cê-dê");
  EXPECT_EQ(elements(spell_word_letters("cd.")), "cê-dê");
  EXPECT_EQ(elements(spell_word_letters("BcD")), "bê-cê-dê");
  EXPECT_EQ(elements(spell_word_letters("bc's")), "bê-cê's");
  EXPECT_EQ(elements(spell_word_letters(latin9("bcõ").c_str())), "bê|cê|ó|com|til");
  // Letter classes: accented vowels and ç read as their plain letters, ã as "ã".
  EXPECT_EQ(elements(spell_word_letters(latin9("ÁàçÉêíóÔúüã").c_str())), "á-á-cê-é-é-i-ó-ó-u-u-ã");
  EXPECT_EQ(elements(spell_word_letters(latin9("Ã").c_str())), "ã");
  // A name with a space splits the whole result, and "'s" goes on the last word.
  EXPECT_EQ(elements(spell_word_letters("b:'s")), "bê|dois|pontos's");
  EXPECT_EQ(elements(spell_word_letters("x.y.z.")), "xis-ípsilon-zê");
  EXPECT_EQ(elements(spell_word_letters("'s")), "apóstrofo-ésse");
  EXPECT_EQ(spell_word_letters(""), nullptr);
  EXPECT_EQ(spell_word_letters("..."), nullptr);
  EXPECT_EQ(spell_word_letters(".'s"), nullptr);
  EXPECT_EQ(elements(spell_word_letters("\x01" "b")), "bê");
}

}  // namespace
