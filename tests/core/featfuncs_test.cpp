#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/featfuncs.h"
#include "core/path.h"
#include "core/phoneset.h"
#include "core/platform.h"
#include "tests/support/build_utt.h"

namespace {

using testutt::nth;

// A small phoneset with the consonant types the coda and onset tests ask for
// ("s" stop, "f" fricative, "n" nasal, "r" and "l" glides).
constexpr Value kPlus = value_permanent_string("+");
constexpr Value kMinus = value_permanent_string("-");
constexpr Value kZero = value_permanent_string("0");
constexpr Value kS = value_permanent_string("s");
constexpr Value kF = value_permanent_string("f");
constexpr Value kN = value_permanent_string("n");
constexpr Value kR = value_permanent_string("r");
constexpr Value kL = value_permanent_string("l");
const Value* const kValues[] = {&kPlus, &kMinus, &kZero, &kS, &kF, &kN, &kR, &kL, nullptr};
const char* const kColumns[] = {"vc", "ctype", nullptr};
const char* const kNames[] = {"a", "b", "i", "k", "l", "m", "n", "o", "pau", "r", "s", "t"};
constexpr int32_t kVowel[] = {0, 2, -1};
constexpr int32_t kStop[] = {1, 3, -1};
constexpr int32_t kLateral[] = {1, 7, -1};
constexpr int32_t kNasal[] = {1, 5, -1};
constexpr int32_t kRhotic[] = {1, 6, -1};
constexpr int32_t kFric[] = {1, 4, -1};
constexpr int32_t kSilence[] = {2, 2, -1};
const int32_t* const kRows[] = {kVowel, kStop, kVowel, kStop,   kLateral, kNasal,
                                kNasal, kVowel, kSilence, kRhotic, kFric,   kStop};
const Phoneset kPhones = {"test", kColumns, kValues, kNames, "pau", 12, kRows, 1};

// Phrase 0 ("B"):  casta = S0 [k a s] (stressed), S1 [t a];  lo = S2 [l o]
// Phrase 1 ("BB"): bonita = S3 [b o], S4 [n i] (stressed), S5 [t a];
//                  mar = S6 [m a r] (stressed)
// Segments are numbered 0..15 in that order.
Utterance* sample() {
  Utterance* u = testutt::build({
      {"B", {{"casta", {{1, {"k", "a", "s"}}, {0, {"t", "a"}}}}, {"lo", {{0, {"l", "o"}}}}}},
      {"BB", {{"bonita", {{0, {"b", "o"}}, {1, {"n", "i"}}, {0, {"t", "a"}}}}, {"mar", {{1, {"m", "a", "r"}}}}}},
  });
  features_set(u->features, "phoneset", value_new_phoneset(const_cast<Phoneset*>(&kPhones)));
  register_feature_functions(u->ffunctions);
  Item* s3 = nth(u, "Syllable", 3);
  item_set_string(s3, "accent", "NONE");
  item_set_string(s3, "endtone", "L");
  item_set_string(nth(u, "Syllable", 4), "accent", "H*");
  item_set_string(nth(u, "Syllable", 5), "accent", "NONE");
  return u;
}

Value* S(int n) { return value_small_int_string(n); }
Item* seg(Utterance* u, int n) { return nth(u, "Segment", n); }
Item* syl(Utterance* u, int n) { return nth(u, "Syllable", n); }
Item* word(Utterance* u, int n) { return nth(u, "Word", n); }
Item* phrase(Utterance* u, int n) { return nth(u, "Phrase", n); }
// The same syllable reached through SylStructure.
Item* syl_s(Utterance* u, int n) { return item_in_relation(syl(u, n), "SylStructure"); }

TEST(FeatureFunctions, PhoneFeatures) {
  Utterance* u = sample();
  EXPECT_EQ(ph_vc(seg(u, 1)), &kPlus);
  EXPECT_EQ(ph_vc(seg(u, 0)), &kMinus);
  EXPECT_EQ(ph_ctype(seg(u, 0)), &kS);
  EXPECT_EQ(ph_ctype(seg(u, 2)), &kF);
  // Columns the phoneset lacks, and phones it lacks, answer the shared "0".
  for (FeatureFunction f : {ph_vlng, ph_vheight, ph_vfront, ph_vrnd, ph_cplace, ph_cvox})
    EXPECT_EQ(f(seg(u, 1)), value_default_string());
  item_set_string(seg(u, 1), "name", "a1");
  EXPECT_EQ(ph_vc(seg(u, 1)), value_default_string());
  // Reached through a path, the registered function answers.
  EXPECT_EQ(feature_path_value(syl_s(u, 0), "daughter.ph_ctype"), &kS);
  utterance_delete(u);
}

TEST(FeatureFunctions, OnsetOrCoda) {
  Utterance* u = sample();
  const char* want[16] = {"onset", "coda",  "coda", "onset", "coda",  "onset", "coda", "onset",
                          "coda",  "onset", "coda", "onset", "coda",  "onset", "coda", "coda"};
  for (int i = 0; i < 16; ++i) {
    Value* v = seg_onsetcoda(seg(u, i));
    EXPECT_STREQ(value_string(v), want[i]) << i;
    EXPECT_EQ(v, want[i][0] == 'o' ? featfunc_onset() : featfunc_coda());
  }
  // A segment outside SylStructure.
  Item* loose = relation_append(utterance_relation(u, "Segment"), nullptr);
  item_set_string(loose, "name", "a");
  EXPECT_EQ(seg_onsetcoda(loose), featfunc_coda());
  EXPECT_EQ(pos_in_syl(loose), S(19));
  EXPECT_EQ(seg_coda_fric(loose), S(0));
  EXPECT_EQ(seg_onset_stop(loose), S(0));
  utterance_delete(u);
}

TEST(FeatureFunctions, OnsetAndCodaConsonantTypes) {
  Utterance* u = sample();
  // Every segment of a syllable shares the syllable's answers.
  for (int i : {0, 1, 2}) {  // casta S0: k a s
    EXPECT_EQ(seg_coda_fric(seg(u, i)), S(1));
    EXPECT_EQ(seg_onset_fric(seg(u, i)), S(0));
    EXPECT_EQ(seg_onset_stop(seg(u, i)), S(1));
    EXPECT_EQ(seg_coda_stop(seg(u, i)), S(0));
    EXPECT_EQ(seg_onset_nasal(seg(u, i)), S(0));
  }
  EXPECT_EQ(seg_onset_glide(seg(u, 5)), S(1));  // l o
  EXPECT_EQ(seg_coda_glide(seg(u, 5)), S(0));
  EXPECT_EQ(seg_onset_nasal(seg(u, 9)), S(1));  // n i
  EXPECT_EQ(seg_coda_nasal(seg(u, 9)), S(0));
  EXPECT_EQ(seg_onset_nasal(seg(u, 13)), S(1));  // m a r
  EXPECT_EQ(seg_coda_nasal(seg(u, 13)), S(0));
  EXPECT_EQ(seg_coda_glide(seg(u, 13)), S(1));
  EXPECT_EQ(seg_onset_glide(seg(u, 13)), S(0));
  EXPECT_EQ(seg_coda_stop(seg(u, 3)), S(0));  // t a: a vowel ends the coda walk at once
  utterance_delete(u);
}

TEST(FeatureFunctions, SegmentPositionAndDuration) {
  Utterance* u = sample();
  EXPECT_EQ(pos_in_syl(seg(u, 0)), S(0));
  EXPECT_EQ(pos_in_syl(seg(u, 2)), S(2));
  EXPECT_EQ(pos_in_syl(seg(u, 15)), S(2));
  item_set_float(seg(u, 0), "end", 0.1f);
  item_set_float(seg(u, 1), "end", 0.2f);
  item_set_float(seg(u, 2), "end", 0.35f);
  // First segment: its own stored Value, not a copy.
  EXPECT_EQ(segment_duration(seg(u, 0)), item_feature(seg(u, 0), "end"));
  Value* d = segment_duration(seg(u, 2));
  EXPECT_EQ(value_type(d), kTypeFloat);
  EXPECT_EQ(d->head.atom.refcount, 0);  // fresh: the caller's
  EXPECT_FLOAT_EQ(value_float(d), 0.35f - 0.2f);
  value_release(d);
  EXPECT_EQ(segment_duration(seg(u, 3)), value_default_string());  // no end of its own
  item_set_float(seg(u, 4), "end", 0.5f);
  EXPECT_EQ(segment_duration(seg(u, 4)), value_default_string());  // previous has no end
  // Through the SylStructure node of the same segment.
  Value* e = segment_duration(item_in_relation(seg(u, 1), "SylStructure"));
  EXPECT_FLOAT_EQ(value_float(e), 0.2f - 0.1f);
  value_release(e);
  EXPECT_EQ(segment_duration(syl(u, 0)), value_default_string());  // not in Segment
  // A first segment without end.
  Utterance* v = sample();
  EXPECT_EQ(segment_duration(seg(v, 0)), value_default_string());
  utterance_delete(v);
  utterance_delete(u);
}

TEST(FeatureFunctions, SyllableShape) {
  Utterance* u = sample();
  EXPECT_EQ(syl_onsetsize(syl(u, 0)), S(1));
  EXPECT_EQ(syl_codasize(syl(u, 0)), S(1));
  EXPECT_EQ(syl_codasize(syl(u, 1)), S(0));
  EXPECT_EQ(syl_onsetsize(syl(u, 6)), S(1));
  EXPECT_EQ(syl_num_phones(syl(u, 0)), value_small_int(3));
  EXPECT_EQ(syl_num_phones(syl(u, 2)), value_small_int(2));
  EXPECT_EQ(syl_num_phones(word(u, 0)), value_small_int(2));  // a word's daughters are syllables
  EXPECT_EQ(syl_num_phones(phrase(u, 0)), value_small_int(0));  // not in SylStructure
  EXPECT_EQ(syl_vowel(syl(u, 0)), item_feature(seg(u, 1), "name"));
  EXPECT_EQ(syl_vowel(syl_s(u, 6)), item_feature(seg(u, 14), "name"));
  EXPECT_EQ(syl_vowel(phrase(u, 0)), value_default_string());
  EXPECT_EQ(syl_onsetsize(phrase(u, 0)), S(0));
  EXPECT_EQ(syl_codasize(phrase(u, 0)), S(0));
  utterance_delete(u);
}

TEST(FeatureFunctions, SyllableWithoutVowel) {
  Utterance* u = testutt::build({{"BB", {{"pst", {{1, {"s", "t", "pau"}}}}}}});
  features_set(u->features, "phoneset", value_new_phoneset(const_cast<Phoneset*>(&kPhones)));
  EXPECT_EQ(syl_vowel(syl(u, 0)), value_default_string());  // silence is no vowel
  EXPECT_EQ(syl_onsetsize(syl(u, 0)), S(3));
  EXPECT_EQ(syl_codasize(syl(u, 0)), S(3));
  EXPECT_EQ(seg_onsetcoda(seg(u, 0)), featfunc_coda());
  // The consonant walks run off the syllable without meeting a vowel.
  EXPECT_EQ(seg_onset_stop(seg(u, 0)), S(1));
  EXPECT_EQ(seg_coda_nasal(seg(u, 0)), S(0));
  EXPECT_EQ(seg_onset_glide(seg(u, 0)), S(0));
  utterance_delete(u);
}

TEST(FeatureFunctions, SyllablePlaceInWord) {
  Utterance* u = sample();
  EXPECT_EQ(syl_final(syl(u, 0)), S(0));
  EXPECT_EQ(syl_final(syl(u, 1)), S(1));
  EXPECT_EQ(syl_final(syl(u, 2)), S(1));
  EXPECT_EQ(syl_final(phrase(u, 0)), S(1));
  EXPECT_EQ(syl_break(syl(u, 0)), S(0));
  EXPECT_EQ(syl_break(syl(u, 1)), S(1));  // casta is not the last word of its phrase
  EXPECT_EQ(syl_break(syl(u, 2)), S(3));  // lo ends the "B" phrase
  EXPECT_EQ(syl_break(syl(u, 6)), S(4));  // mar ends the "BB" phrase
  EXPECT_EQ(syl_break(phrase(u, 0)), S(1));
  EXPECT_EQ(feature_path_value(seg(u, 15), "R:SylStructure.parent.syl_break"), S(4));
  EXPECT_EQ(position_type(syl(u, 0)), featfunc_initial());
  EXPECT_EQ(position_type(syl(u, 1)), featfunc_final());
  EXPECT_EQ(position_type(syl(u, 2)), featfunc_single());
  EXPECT_EQ(position_type(syl(u, 4)), featfunc_mid());
  EXPECT_EQ(position_type(phrase(u, 0)), featfunc_single());
  EXPECT_EQ(pos_in_word(syl(u, 0)), S(0));
  EXPECT_EQ(pos_in_word(syl(u, 5)), S(2));
  EXPECT_EQ(pos_in_word(phrase(u, 1)), S(0));
  utterance_delete(u);
}

TEST(FeatureFunctions, SyllableWithoutWord) {
  Utterance* u = sample();
  // A syllable placed at the top of SylStructure has no word above it.
  Item* lone = relation_append(utterance_relation(u, "SylStructure"), nullptr);
  item_set_int(lone, "stress", 0);
  EXPECT_EQ(syl_break(lone), S(1));
  EXPECT_EQ(ssyl_in(lone), S(0));
  EXPECT_EQ(syl_in(lone), S(0));
  utterance_delete(u);
}

TEST(FeatureFunctions, Accents) {
  Utterance* u = sample();
  const int want[7] = {0, 0, 0, 1, 1, 0, 0};  // S3: accent NONE but endtone L
  for (int i = 0; i < 7; ++i) EXPECT_EQ(accented(syl(u, i)), S(want[i])) << i;
  item_set_string(syl(u, 6), "endtone", "NONE");
  EXPECT_EQ(accented(syl(u, 6)), S(0));
  item_set_int(syl(u, 6), "accent", 2);  // present and not the text NONE
  EXPECT_EQ(accented(syl(u, 6)), S(1));
  utterance_delete(u);
}

TEST(FeatureFunctions, CountsWithinThePhrase) {
  Utterance* u = sample();
  struct Want {
    int in, out, ssin, ssout, asin, asout;
  };
  const Want want[7] = {
      {0, 2, 0, 0, 0, 0},  // S0: first of phrase 0, stressed, yet ssyl_in is 0
      {1, 1, 1, 0, 0, 0},  // S1
      {2, 0, 1, 0, 0, 0},  // S2: counts back to and including S0
      {0, 3, 0, 2, 0, 1},  // S3: first of phrase 1; forward counts include S6
      {1, 2, 0, 1, 1, 0},  // S4
      {2, 1, 1, 1, 2, 0},  // S5
      {3, 0, 1, 0, 2, 0},  // S6: last of phrase 1
  };
  for (int i = 0; i < 7; ++i) {
    // The Syllable node and the SylStructure node give the same answers:
    // the walks recognise the phrase ends by shared contents.
    for (Item* s : {syl(u, i), syl_s(u, i)}) {
      EXPECT_EQ(syl_in(s), S(want[i].in)) << i;
      EXPECT_EQ(syl_out(s), S(want[i].out)) << i;
      EXPECT_EQ(ssyl_in(s), S(want[i].ssin)) << i;
      EXPECT_EQ(ssyl_out(s), S(want[i].ssout)) << i;
      EXPECT_EQ(asyl_in(s), S(want[i].asin)) << i;
      EXPECT_EQ(asyl_out(s), S(want[i].asout)) << i;
    }
  }
  utterance_delete(u);
}

TEST(FeatureFunctions, DistancesAcrossTheUtterance) {
  Utterance* u = sample();
  // Stressed: S0, S4, S6.  Accented: S3, S4.
  const int from[7] = {0, 1, 2, 3, 4, 1, 2};
  const int to[7] = {4, 3, 2, 1, 2, 1, 0};
  const int last[7] = {0, 1, 2, 3, 0, 0, 1};
  const int next[7] = {2, 1, 0, 0, 2, 1, 0};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(ssyl_from(syl(u, i)), S(from[i])) << i;
    EXPECT_EQ(ssyl_to(syl(u, i)), S(to[i])) << i;
    EXPECT_EQ(last_accent(syl(u, i)), S(last[i])) << i;
    EXPECT_EQ(next_accent(syl(u, i)), S(next[i])) << i;
    EXPECT_EQ(sub_phrases(syl_s(u, i)), S(i < 3 ? 0 : 1)) << i;
  }
  EXPECT_EQ(sub_phrases(phrase(u, 1)), S(0));  // not a syllable: no phrase above it
  utterance_delete(u);
}

TEST(FeatureFunctions, Words) {
  Utterance* u = sample();
  EXPECT_EQ(word_num_syls(word(u, 0)), value_small_int(2));
  EXPECT_EQ(word_num_syls(word(u, 2)), value_small_int(3));
  EXPECT_EQ(word_num_syls(phrase(u, 0)), value_small_int(0));
  EXPECT_EQ(word_break(word(u, 0)), S(1));
  EXPECT_EQ(word_break(word(u, 1)), S(3));
  EXPECT_EQ(word_break(word(u, 2)), S(1));
  EXPECT_EQ(word_break(word(u, 3)), S(4));
  EXPECT_EQ(word_break(seg(u, 0)), S(1));  // not in Phrase
  item_set_string(phrase(u, 1), "name", "X");
  EXPECT_EQ(word_break(word(u, 3)), S(1));
  EXPECT_EQ(pos_in_phrase(word(u, 0)), S(0));
  EXPECT_EQ(pos_in_phrase(word(u, 1)), S(1));
  EXPECT_EQ(pos_in_phrase(word(u, 3)), S(1));
  EXPECT_EQ(pos_in_phrase(seg(u, 0)), S(19));
  EXPECT_EQ(pos_in_utt(word(u, 3)), S(1));
  EXPECT_EQ(pos_in_utt(seg(u, 0)), S(19));
  utterance_delete(u);
}

TEST(FeatureFunctions, WordPunctuation) {
  Utterance* u = sample();
  Item* token0 = nth(u, "Token", 0);
  Item* token1 = nth(u, "Token", 1);
  EXPECT_EQ(word_punc(word(u, 0)), value_default_string());  // token without punc
  item_set_string(token1, "punc", ",");
  EXPECT_EQ(word_punc(word(u, 1)), item_feature(token1, "punc"));
  // Two words from one token: the first has "", the last the token's punc.
  item_set_string(token0, "punc", ".");
  Item* second = item_append_daughter(token0, nullptr);
  EXPECT_EQ(word_punc(word(u, 0)), featfunc_empty());
  EXPECT_STREQ(value_string(word_punc(word(u, 0))), "");
  EXPECT_EQ(word_punc(second), item_feature(token0, "punc"));
  EXPECT_EQ(word_punc(phrase(u, 0)), value_default_string());  // no token
  // A token word with no token above it.
  Item* top = relation_append(utterance_relation(u, "Token"), nullptr);
  EXPECT_EQ(word_punc(top), value_default_string());
  utterance_delete(u);
}

TEST(FeatureFunctions, PhrasesAndUtterance) {
  Utterance* u = sample();
  EXPECT_EQ(phrase_num_words(phrase(u, 0)), S(2));
  EXPECT_EQ(phrase_num_syls(phrase(u, 0)), S(3));
  EXPECT_EQ(phrase_num_syls(phrase(u, 1)), S(4));
  EXPECT_EQ(num_phrases(phrase(u, 0)), S(2));
  EXPECT_EQ(num_phrases(phrase(u, 1)), S(2));
  EXPECT_EQ(num_phrases(seg(u, 0)), S(0));
  EXPECT_EQ(phrase_num_words(seg(u, 0)), S(0));
  EXPECT_EQ(phrase_num_syls(seg(u, 0)), S(0));
  // Without the function registered, the words' stored counts are summed.
  features_remove(u->ffunctions, "word_num_syls");
  item_set_int(word(u, 0), "word_num_syls", 5);
  EXPECT_EQ(phrase_num_syls(phrase(u, 0)), S(5));
  EXPECT_EQ(language_code(seg(u, 0)), value_default_string());
  features_set_string(u->features, "language_code", "pt-br");
  EXPECT_EQ(language_code(seg(u, 0)), features_get(u->features, "language_code"));
  EXPECT_EQ(language_code(nullptr), value_default_string());
  utterance_delete(u);
}

// One phrase of 25 one-syllable words, the last word with a 25-segment
// syllable: every count saturates at 19.
TEST(FeatureFunctions, CountsSaturateAtNineteen) {
  std::vector<testutt::Word> words;
  for (int i = 0; i < 24; ++i) words.push_back({"a", {{1, {"a"}}}});
  std::vector<std::string> long_syl(25, "t");
  words.push_back({"long", {{1, long_syl}}});
  std::vector<testutt::Phrase> phrases(25, {"B", {{"o", {{1, {"o"}}}}}});
  phrases.push_back({"BB", words});
  Utterance* u = testutt::build(phrases);
  features_set(u->features, "phoneset", value_new_phoneset(const_cast<Phoneset*>(&kPhones)));
  register_feature_functions(u->ffunctions);
  Relation* segs = utterance_relation(u, "Segment");
  Item* last_seg = segs->tail;
  EXPECT_EQ(syl_num_phones(item_parent(item_in_relation(last_seg, "SylStructure"))), value_small_int(19));
  EXPECT_EQ(pos_in_syl(last_seg), S(19));
  Item* twentieth = last_seg;
  for (int i = 0; i < 5; ++i) twentieth = item_prev(twentieth);
  EXPECT_EQ(pos_in_syl(twentieth), S(19));
  EXPECT_EQ(pos_in_syl(item_prev(twentieth)), S(18));
  EXPECT_EQ(syl_onsetsize(item_parent(item_in_relation(last_seg, "SylStructure"))), S(19));
  Item* last_syl = utterance_relation(u, "Syllable")->tail;
  Item* last_word = utterance_relation(u, "Word")->tail;
  Item* last_phrase = utterance_relation(u, "Phrase")->tail;
  EXPECT_EQ(syl_in(last_syl), S(19));
  EXPECT_EQ(ssyl_in(last_syl), S(19));
  EXPECT_EQ(ssyl_out(utterance_relation(u, "Syllable")->head), S(0));  // one-syllable phrase
  EXPECT_EQ(ssyl_from(last_syl), S(1));
  EXPECT_EQ(last_accent(last_syl), S(19));  // nothing accented: all earlier syllables
  EXPECT_EQ(sub_phrases(last_syl), S(19));
  EXPECT_EQ(pos_in_phrase(last_word), S(19));
  EXPECT_EQ(phrase_num_words(last_phrase), S(19));
  EXPECT_EQ(phrase_num_syls(last_phrase), S(19));
  EXPECT_EQ(num_phrases(last_phrase), S(19));
  EXPECT_EQ(pos_in_word(last_syl), S(0));
  utterance_delete(u);
}

TEST(FeatureFunctions, OnlySegmentDurationAllocates) {
  Utterance* u = sample();
  features_set_string(u->features, "language_code", "pt-br");
  item_set_string(nth(u, "Token", 1), "punc", ",");
  std::vector<Item*> items;
  for (const char* rel : {"Segment", "Syllable", "SylStructure", "Word", "Phrase", "Token"})
    for (Item* i = utterance_relation(u, rel)->head; i; i = item_next(i)) items.push_back(i);
  uint64_t before = heap_alloc_count();
  int calls = 0;
  for (const FeaturePair* p = u->ffunctions->head; p; p = p->next) {
    if (std::string(p->name) == "segment_duration") continue;
    auto f = reinterpret_cast<FeatureFunction>(value_ffunc(p->val));
    for (Item* i : items) {
      // Segment-only phone functions need a segment; everything else takes any item.
      if (std::string(p->name).rfind("ph_", 0) == 0 && i->relation != utterance_relation(u, "Segment")) continue;
      Value* v = f(i);
      ASSERT_NE(v, nullptr) << p->name;
      ASSERT_NE(v->head.atom.refcount, 0) << p->name;  // never a fresh Value
      ++calls;
    }
  }
  EXPECT_EQ(heap_alloc_count(), before);
  EXPECT_GT(calls, 47 * 10);
  utterance_delete(u);
}

TEST(FeatureFunctionsDeathTest, ContractViolations) {
  Utterance* u = sample();
  // No phoneset on the utterance.
  features_remove(u->features, "phoneset");
  EXPECT_EXIT(ph_vc(seg(u, 0)), testing::ExitedWithCode(255), "^VAL: tried to access phoneset in -1 type val\n$");
  EXPECT_EXIT(seg_onsetcoda(seg(u, 0)), testing::ExitedWithCode(255), "^VAL: tried to access phoneset in -1 type val\n$");
  features_set_string(u->features, "phoneset", "x-kelto-pt_br");
  EXPECT_EXIT(syl_vowel(syl(u, 0)), testing::ExitedWithCode(255), "^VAL: tried to access phoneset in 5 type val\n$");
  features_set(u->features, "phoneset", value_new_phoneset(const_cast<Phoneset*>(&kPhones)));
  // A segment without a name.
  features_remove(seg(u, 1)->contents->features, "name");
  EXPECT_EXIT(ph_cvox(seg(u, 1)), testing::ExitedWithCode(255), "^$");
  EXPECT_EXIT(seg_onsetcoda(seg(u, 0)), testing::ExitedWithCode(255), "^$");
  // A walked syllable without stress.
  features_remove(syl(u, 4)->contents->features, "stress");
  EXPECT_EXIT(ssyl_in(syl(u, 6)), testing::ExitedWithCode(255), "^$");
  EXPECT_EXIT(ssyl_to(syl(u, 3)), testing::ExitedWithCode(255), "^$");
  // A phrase without a name.
  features_remove(phrase(u, 1)->contents->features, "name");
  EXPECT_EXIT(word_break(word(u, 3)), testing::ExitedWithCode(255), "^$");
  utterance_delete(u);
}

}  // namespace
