// The SSML subset: pieces, hints, breaks, prosody, entities and malformed markup.
#include <gtest/gtest.h>

#include "host/ssml.h"

namespace {

std::vector<SsmlPiece> parse(const std::string& doc) {
  std::vector<SsmlPiece> out;
  std::string error;
  EXPECT_TRUE(ssml_parse(doc, &out, &error, nullptr)) << error;
  return out;
}

std::string error_of(const std::string& doc) {
  std::vector<SsmlPiece> out;
  std::string error;
  EXPECT_FALSE(ssml_parse(doc, &out, &error, nullptr)) << doc;
  return error;
}

TEST(Ssml, TextSentencesAndBreaks) {
  auto p = parse("<?xml version=\"1.0\"?>\n<speak><p><s>Bom dia.</s><s>Tudo bem?</s></p>"
                 "<break time=\"250ms\"/>Fim<break strength=\"strong\"/><break time=\"1.5s\"/><break/></speak>");
  ASSERT_EQ(p.size(), 11u);
  EXPECT_EQ(p[0].kind, SsmlPiece::kSentenceEnd);
  EXPECT_EQ(p[1].text, "Bom dia.");
  EXPECT_EQ(p[2].kind, SsmlPiece::kSentenceEnd);
  EXPECT_EQ(p[3].text, "Tudo bem?");
  EXPECT_EQ(p[4].kind, SsmlPiece::kSentenceEnd);
  EXPECT_EQ(p[5].break_ms, 250);
  EXPECT_EQ(p[6].text, "Fim");
  EXPECT_EQ(p[7].break_ms, 700);
  EXPECT_EQ(p[8].break_ms, 1500);
  EXPECT_EQ(p[9].break_ms, 400);
  EXPECT_EQ(p[10].kind, SsmlPiece::kSentenceEnd);
}

TEST(Ssml, SayAsAndPhonemeHintsCoverOnlyTheirText) {
  auto p = parse("<speak>Dia <say-as interpret-as=\"date\" format=\"dmy\">12/10/2024</say-as> e "
                 "<say-as interpret-as=\"digits\">2013</say-as><phoneme alphabet=\"x-sampa\" ph=\"to&quot;ma.tS&amp;\">"
                 "tomate</phoneme> fim</speak>");
  ASSERT_EQ(p.size(), 7u);
  EXPECT_EQ(p[0].text, "Dia ");
  EXPECT_EQ(p[0].interpret_as, "");
  EXPECT_EQ(p[1].text, "12/10/2024");
  EXPECT_EQ(p[1].interpret_as, "date");
  EXPECT_EQ(p[1].interpret_as_format, "dmy");
  EXPECT_EQ(p[2].text, " e ");
  EXPECT_EQ(p[3].text, "2013");
  EXPECT_EQ(p[3].interpret_as, "digits");
  EXPECT_EQ(p[3].interpret_as_format, "");
  EXPECT_EQ(p[4].text, "tomate");
  EXPECT_EQ(p[4].phonemes, "to\"ma.tS&");
  EXPECT_EQ(p[5].text, " fim");
  EXPECT_EQ(p[5].phonemes, "");
  EXPECT_EQ(p[6].kind, SsmlPiece::kSentenceEnd);
}

TEST(Ssml, EntitiesCommentsAndUnknownElements) {
  std::vector<SsmlPiece> out;
  std::string error;
  std::vector<std::string> warnings;
  ASSERT_TRUE(ssml_parse("<speak><!-- nada -->A &lt;b&gt; &#233;&#x20AC;<emphasis>x</emphasis></speak>", &out, &error,
                         &warnings));
  ASSERT_GE(out.size(), 1u);
  EXPECT_EQ(out[0].text, "A <b> \xc3\xa9\xe2\x82\xac" "x");
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "element <emphasis> is not supported; its text is read as it is");
}

TEST(Ssml, MalformedMarkupGivesOneLineWithItsPlace) {
  EXPECT_EQ(error_of("<speak>Oi</p></speak>"), "line 1, column 10: </p> does not close <speak>");
  EXPECT_EQ(error_of("<speak>\n  <s>Oi</speak>"), "line 2, column 8: </speak> does not close <s>");
  EXPECT_EQ(error_of("<speak>Oi"), "line 1, column 10: element <speak> is not closed");
  EXPECT_EQ(error_of("Oi"), "line 1, column 1: text before <speak>");
  EXPECT_EQ(error_of(""), "line 1, column 1: the document has no <speak> element");
  EXPECT_EQ(error_of("<s>Oi</s>"), "line 1, column 1: the document must begin with <speak>, not <s>");
  EXPECT_EQ(error_of("<speak>a &b c</speak>"), "line 1, column 10: '&' does not start an entity (write &amp;)");
  EXPECT_EQ(error_of("<speak>&nbsp;</speak>"), "line 1, column 8: unknown entity &nbsp;");
  EXPECT_EQ(error_of("<speak>&#0;</speak>"), "line 1, column 8: bad character reference &#0;");
  EXPECT_EQ(error_of("<speak>a < b</speak>"), "line 1, column 10: '<' does not start a tag (write &lt;)");
  EXPECT_EQ(error_of("<speak><break time=250ms/></speak>"), "line 1, column 20: the value of time is not quoted");
  EXPECT_EQ(error_of("<speak><break time=\"soon\"/></speak>"),
            "line 1, column 8: break time \"soon\" is not a time such as 300ms or 1.5s");
  EXPECT_EQ(error_of("<speak><break strength=\"loud\"/></speak>"),
            "line 1, column 8: break strength \"loud\" is not none, x-weak, weak, medium, strong or x-strong");
  EXPECT_EQ(error_of("<speak><say-as>1</say-as></speak>"), "line 1, column 8: <say-as> needs interpret-as");
  EXPECT_EQ(error_of("<speak><phoneme alphabet=\"ipa\" ph=\"a\">a</phoneme></speak>"),
            "line 1, column 8: <phoneme> alphabet \"ipa\" is not supported (only x-sampa)");
  EXPECT_EQ(error_of("<speak><phoneme alphabet=\"x-sampa\">a</phoneme></speak>"), "line 1, column 8: <phoneme> needs ph");
  EXPECT_EQ(error_of("<speak><s a=\"1\" a=\"2\">x</s></speak>"), "line 1, column 17: attribute a is given twice");
  EXPECT_EQ(error_of("<speak></speak>tail"), "line 1, column 16: text after </speak>");
  EXPECT_EQ(error_of("<speak><speak/></speak>"), "line 1, column 8: <speak> inside <speak>");
  EXPECT_EQ(error_of("<speak><!-- x </speak>"), "line 1, column 8: comment is not closed");
  EXPECT_EQ(error_of("<speak><s"), "line 1, column 8: tag <s> is not closed");
  // Columns count characters, not bytes.
  EXPECT_EQ(error_of("<speak>\xc3\xa1</s></speak>"), "line 1, column 9: </s> does not close <speak>");
}

// Untrusted markup cannot ask for unbounded silence, depth or size.
TEST(Ssml, LimitsAreRefusedWithTheirName) {
  std::string breaks = "<speak>";
  for (int i = 0; i < 60; ++i) breaks += "<break time=\"10s\"/>";
  parse(breaks + "</speak>");  // exactly the limit
  EXPECT_EQ(error_of(breaks + "<break time=\"1ms\"/></speak>"),
            "line 1, column 1148: the breaks ask for more than 600 s of silence in all");
  // Far more breaks than an int32 sum of milliseconds could hold.
  std::string many = "<speak>";
  for (int i = 0; i < 300000; ++i) many += "<break time=\"9s\"/>";
  EXPECT_NE(error_of(many + "</speak>").find("600 s of silence"), std::string::npos);
  std::string deep = "<speak>";
  for (size_t i = 0; i < kSsmlMaxDepth; ++i) deep += "<s>";
  EXPECT_NE(error_of(deep).find("nested more than 256 deep"), std::string::npos);
  EXPECT_EQ(error_of(std::string(kSsmlMaxDocumentBytes + 1, ' ')), "the document is longer than 64 MiB");
}

TEST(Ssml, BreakTimesAndStrengths) {
  EXPECT_EQ(ssml_time_ms("0ms"), 0);
  EXPECT_EQ(ssml_time_ms("2.5s"), 2500);
  EXPECT_EQ(ssml_time_ms("999999s"), 10000);  // capped
  EXPECT_EQ(ssml_time_ms("-1s"), -1);
  EXPECT_EQ(ssml_time_ms("1"), -1);
  EXPECT_EQ(ssml_time_ms("ms"), -1);
  EXPECT_EQ(ssml_time_ms("nans"), -1);
  EXPECT_EQ(ssml_strength_ms("none"), 0);
  EXPECT_EQ(ssml_strength_ms("x-weak"), 100);
  EXPECT_EQ(ssml_strength_ms("x-strong"), 1000);
  EXPECT_EQ(ssml_strength_ms("Medium"), -1);
}

TEST(Ssml, ProsodyValues) {
  struct Case {
    const char* attribute;
    const char* value;
    double current, want;  // want < 0: refused
  };
  const Case cases[] = {
      {"rate", "x-slow", 2, 0.5},     {"rate", "x-fast", 1, 2},        {"rate", "150%", 2, 1.5},
      {"rate", "+50%", 2, 3},         {"rate", "-25%", 2, 1.5},        {"rate", "0.8", 2, 0.8},
      {"pitch", "x-high", 1, 1.4},    {"pitch", "+12st", 0.9, 1.8},    {"pitch", "-20%", 1, 0.8},
      {"range", "low", 1, 0.85},      {"volume", "silent", 1, 0},      {"volume", "+6dB", 0.5, 0.9976},
      {"volume", "-150%", 1, 0},      {"volume", "x-loud", 1, 2},      {"pitch", "120Hz", 1, -1},
      {"rate", "+2st", 1, -1},        {"volume", "loudest", 1, -1},    {"pitch", "%", 1, -1},
      {"rate", "12st", 1, -1},
  };
  for (const Case& c : cases) {
    double got = -1;
    const bool ok = ssml_prosody_factor(c.attribute, c.value, c.current, &got);
    EXPECT_EQ(ok, c.want >= 0) << c.attribute << "=" << c.value;
    if (ok && c.want >= 0) {
      EXPECT_NEAR(got, c.want, 1e-3) << c.attribute << "=" << c.value;
    }
  }
}

TEST(Ssml, ProsodyElementsNestAndEndWithTheirText) {
  std::vector<SsmlPiece> p;
  std::string error;
  std::vector<std::string> warnings;
  ASSERT_TRUE(ssml_parse("<speak>um <prosody rate=\"fast\" volume=\"soft\">dois <prosody rate=\"+20%\" pitch=\"100Hz\">"
                         "tres</prosody> quatro</prosody> cinco</speak>",
                         &p, &error, &warnings))
      << error;
  ASSERT_EQ(p.size(), 6u);
  const double rates[] = {1, 1.5, 1.8, 1.5, 1};
  const double volumes[] = {1, 0.5, 0.5, 0.5, 1};
  for (size_t k = 0; k < 5; ++k) {
    EXPECT_NEAR(p[k].prosody.rate, rates[k], 1e-9) << p[k].text;
    EXPECT_NEAR(p[k].prosody.volume, volumes[k], 1e-9) << p[k].text;
    EXPECT_EQ(p[k].prosody.pitch, 1.0) << p[k].text;
  }
  EXPECT_EQ(p[2].text, "tres");
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "prosody pitch \"100Hz\" is not understood; it is left as it was");
  const ProsodyControl on = ssml_prosody_on(ProsodyControl{2.0, 1.1, 1, 0.5}, p[2].prosody);
  EXPECT_NEAR(on.rate, 3.6, 1e-9);
  EXPECT_NEAR(on.pitch, 1.1, 1e-9);
  EXPECT_NEAR(on.volume, 0.25, 1e-9);
}

}  // namespace
