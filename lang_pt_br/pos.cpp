#include "lang_pt_br/pos.h"

#include <cstring>

namespace {

constexpr Value S(const char* text) { return value_permanent_string(text); }
constexpr Value kEnd{};

// Non-ASCII words are written with ISO-8859-15 escapes; the readable word is
// in the comment beside each one.

// Prepositions and their contractions.
constexpr Value kIn[] = {
    S("in"),   S("ao"),   S("aos"),  S("da"),   S("das"),   S("de"),    S("do"),
    S("dos"),  S("dum"),  S("duma"), S("dumas"), S("duns"), S("em"),    S("na"),
    S("nas"),  S("no"),   S("num"),  S("numa"), S("numas"), S("nuns"),  S("para"),
    S("pela"), S("pelas"), S("pelo"), S("pelos"), S("por"),
    S("\xe0"),   // à
    S("\xe0s"),  // às
    kEnd};

// Interrogative and relative words.
constexpr Value kWp[] = {
    S("wp"),     S("aonde"),  S("como"),   S("onde"),   S("porque"), S("quais"),
    S("qual"),   S("quanta"), S("quantas"), S("quanto"), S("quantos"), S("que"),
    S("quem"),   S("quens"),
    S("qu\xea"),  // quê
    kEnd};

// Demonstratives and related determiners.
constexpr Value kDet[] = {
    S("det"),      S("aquela"),   S("aquelas"), S("aquele"),  S("aqueles"), S("aquilo"),
    S("daquela"),  S("daquelas"), S("daquele"), S("daqueles"), S("daquilo"), S("dessa"),
    S("dessas"),   S("desse"),    S("desses"),  S("desta"),   S("destas"),  S("deste"),
    S("destes"),   S("disso"),    S("disto"),   S("essa"),    S("essas"),   S("esse"),
    S("esses"),    S("esta"),     S("estas"),   S("este"),    S("estes"),   S("isso"),
    S("isto"),     S("mesma"),    S("mesmas"),  S("mesmo"),   S("mesmos"),  S("naquela"),
    S("naquelas"), S("naquele"),  S("naqueles"), S("naquilo"), S("nessa"),  S("nessas"),
    S("nesse"),    S("nesses"),   S("nesta"),   S("nestas"),  S("neste"),   S("nestes"),
    S("nisso"),    S("nisto"),    S("outra"),   S("outras"),  S("outro"),   S("outros"),
    S("tais"),     S("tal"),
    S("\xe0quela"),    // àquela
    S("\xe0quelas"),   // àquelas
    S("\xe0quele"),    // àquele
    S("\xe0queles"),   // àqueles
    kEnd};

// Personal pronouns and clitics.
constexpr Value kPps[] = {
    S("pps"),  S("ela"),  S("elas"), S("ele"),   S("eles"),  S("eu"),   S("la"),
    S("las"),  S("lha"),  S("lhas"), S("lhe"),   S("lhes"),  S("lho"),  S("lhos"),
    S("lo"),   S("los"),  S("ma"),   S("me"),    S("migo"),  S("mim"),  S("mo"),
    S("mos"),  S("nos"),  S("nosco"),
    S("n\xf3s"),  // nós
    S("se"),   S("si"),   S("sigo"), S("ta"),    S("tas"),   S("te"),   S("ti"),
    S("tigo"), S("to"),   S("tos"),  S("tu"),    S("vo"),
    S("voc\xea"),   // você
    S("voc\xeas"),  // vocês
    S("vos"),  S("vosco"),
    S("v\xf3s"),  // vós
    kEnd};

// Possessives.
constexpr Value kPpss[] = {
    S("pps$"),  S("meu"),    S("meus"),   S("minha"), S("minhas"), S("nossa"),  S("nossas"),
    S("nosso"), S("nossos"), S("seu"),    S("seus"),  S("sua"),    S("suas"),   S("teu"),
    S("teus"),  S("tua"),    S("tuas"),   S("vossa"), S("vossas"), S("vosso"),  S("vossos"),
    kEnd};

// Conjunctions ("portando" is the word as the class has always listed it).
constexpr Value kCc[] = {
    S("cc"),       S("conquanto"), S("contudo"), S("e"),   S("mas"), S("nem"), S("ou"),
    S("pois"),     S("portando"),
    S("por\xe9m"),   // porém
    S("sen\xe3o"),   // senão
    S("tamb\xe9m"),  // também
    S("todavia"),
    kEnd};

// Articles.
constexpr Value kArt[] = {
    S("art"), S("a"), S("as"), S("o"), S("os"), S("um"), S("uma"), S("umas"), S("uns"), kEnd};

constexpr Value kContent = S("content");

}  // namespace

const Value* const kPosClasses[] = {kIn, kWp, kDet, kPps, kPpss, kCc, kArt, nullptr};

Value* pos_tag_of(const char* word) {
  if (word) {
    for (const Value* const* cls = kPosClasses; *cls; ++cls) {
      const Value* c = *cls;
      for (const Value* w = c + 1; w->body.s; ++w)
        if (strcmp(w->body.s, word) == 0) return const_cast<Value*>(c);
    }
  }
  return const_cast<Value*>(&kContent);
}

Value* gpos(Item* word) {
  const Value* name = item_feature(word, "name");
  // A name that is not a string (a number stored as such) is no function word.
  if (!name || value_type(name) != kTypeString) return pos_tag_of(nullptr);
  return pos_tag_of(name->body.s);
}
