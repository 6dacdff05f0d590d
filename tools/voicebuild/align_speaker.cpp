#include "tools/voicebuild/align_speaker.h"

#include <algorithm>

#if defined(_WIN32)

// The Windows build has no espeak-ng: the aligner reports it and the voice
// builder takes labels from files.
EspeakSpeaker::~EspeakSpeaker() = default;

bool EspeakSpeaker::open(const std::string&, std::string* error) {
  *error = "espeak-ng is not available on this system";
  return false;
}

bool EspeakSpeaker::set_rate(int words_per_minute) {
  words_per_minute_ = std::clamp(words_per_minute, 80, 450);
  return false;
}

bool EspeakSpeaker::speak(const FrontEnd&, const std::string&, double, const std::vector<double>&, double,
                          SpokenSentence*, std::string* reason) {
  *reason = "espeak-ng is not available on this system";
  return false;
}

#else

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "core/item.h"
#include "core/path.h"

namespace {

// espeak-ng's phoneme mnemonics for the voice's phones.
const std::map<std::string, std::string> kEspeakPhones = {
    {"a", "a"},   {"an", "&~"}, {"b", "b"},  {"ch", "tS"}, {"d", "d"},   {"e", "e"},   {"eh", "E"},  {"en", "e~"},
    {"f", "f"},   {"g", "g"},   {"h", "x"},  {"i", "i"},   {"in", "i~"}, {"j", "j"},   {"jh", "dZ"}, {"k", "k"},
    {"l", "l"},   {"lj", "L"},  {"m", "m"},  {"n", "n"},   {"ni", "J"},  {"o", "o"},   {"oh", "O"},  {"on", "o~"},
    {"p", "p"},   {"r", "*"},   {"s", "s"},  {"sh", "S"},  {"t", "t"},   {"u", "u"},   {"un", "u~"}, {"v", "v"},
    {"w", "w"},   {"z", "z"},   {"zh", "Z"},
};

struct Capture {
  std::vector<int16_t> samples;
  std::vector<std::pair<std::string, size_t>> events;  // phoneme mnemonic, sample
  uint32_t rate = 22050;
};

int on_audio(short* wav, int count, espeak_EVENT* events) {
  Capture* c = events ? static_cast<Capture*>(events->user_data) : nullptr;
  if (!c) return 1;
  if (wav && count > 0) c->samples.insert(c->samples.end(), wav, wav + count);
  for (espeak_EVENT* e = events; e && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
    if (e->type != espeakEVENT_PHONEME) continue;
    char name[9] = {};
    memcpy(name, e->id.string, 8);
    c->events.emplace_back(name, static_cast<size_t>(e->audio_position) * c->rate / 1000);
  }
  return 0;
}

struct PhrasePhone {
  std::string phone;
  std::string mnemonic;
  bool stressed = false;
  bool word_start = false;
  size_t start = 0;
};

bool is_stressed_vowel(const Item* seg) {
  const Item* ss = item_in_relation(seg, "SylStructure");
  const Item* syl = ss ? item_parent(ss) : nullptr;
  if (!syl || !item_feature_present(syl, "stress") || item_feature_int(syl, "stress") <= 0) return false;
  Value* vc = feature_path_value(seg, "ph_vc");
  const bool vowel = value_type(vc) == kTypeString && strcmp(vc->body.s, "+") == 0;
  if (value_is_atom(vc) && vc->head.atom.refcount == 0) value_release(vc);
  return vowel;
}

const Item* word_of(const Item* seg) {
  const Item* ss = item_in_relation(seg, "SylStructure");
  const Item* syl = ss ? item_parent(ss) : nullptr;
  return syl ? item_parent(syl) : nullptr;
}

// Speaks one phrase into `capture`; sets each phone's start and `end`.
bool speak_phrase(std::vector<PhrasePhone>& phones, Capture* capture, size_t* end, std::string* reason) {
  std::string input = "[[";
  for (const PhrasePhone& p : phones) {
    if (p.word_start && input.size() > 2) input += ' ';
    if (p.stressed) input += '\'';
    input += p.mnemonic;
  }
  input += "]]";
  capture->samples.clear();
  capture->events.clear();
  espeak_ERROR status = espeak_Synth(input.c_str(), input.size() + 1, 0, POS_CHARACTER, 0,
                                     espeakCHARS_UTF8 | espeakPHONEMES, nullptr, capture);
  espeak_Synchronize();
  if (status != EE_OK) {
    *reason = "espeak-ng refused " + input;
    return false;
  }
  size_t k = 0;
  *end = capture->samples.size();
  for (const auto& [name, sample] : capture->events) {
    if (name.empty() || name[0] == '_' || name == ";" || name == "|" || name == "||") {
      if (k == phones.size() && !name.empty() && name[0] == '_') {
        *end = std::min(*end, sample);
        break;
      }
      continue;
    }
    if (k == phones.size()) {
      *reason = "espeak-ng spoke more phones than " + input;
      return false;
    }
    phones[k++].start = sample;
  }
  if (k != phones.size()) {
    *reason = "espeak-ng reported " + std::to_string(k) + " of the " + std::to_string(phones.size()) +
              " phones of " + input;
    return false;
  }
  for (size_t i = 0; i < phones.size(); ++i) {
    const size_t next = i + 1 < phones.size() ? phones[i + 1].start : *end;
    if (next <= phones[i].start) {
      *reason = "espeak-ng gave phone '" + phones[i].phone + "' no duration in " + input;
      return false;
    }
  }
  return true;
}

// espeak-ng is started once for the process and left running: started
// again after espeak_Terminate, its synthesis no longer completes.
int library_rate() {
  static const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_PHONEME_EVENTS);
  return rate;
}

}  // namespace

EspeakSpeaker::~EspeakSpeaker() = default;

bool EspeakSpeaker::open(const std::string& voice, std::string* error) {
  if (!open_) {
    const int rate = library_rate();
    if (rate <= 0) {
      *error = "cannot start espeak-ng";
      return false;
    }
    open_ = true;
    sample_rate_ = static_cast<uint32_t>(rate);
    espeak_SetSynthCallback(on_audio);
  }
  if (espeak_SetVoiceByName(voice.c_str()) != EE_OK) {
    *error = "espeak-ng has no voice " + voice;
    return false;
  }
  set_rate(words_per_minute_);
  return true;
}

bool EspeakSpeaker::set_rate(int words_per_minute) {
  words_per_minute_ = std::clamp(words_per_minute, static_cast<int>(espeakRATE_MINIMUM),
                                 static_cast<int>(espeakRATE_MAXIMUM));
  return open_ && espeak_SetParameter(espeakRATE, words_per_minute_, 0) == EE_OK;
}

bool EspeakSpeaker::speak(const FrontEnd& front_end, const std::string& latin9, double lead,
                          const std::vector<double>& pauses, double pause, SpokenSentence* out, std::string* reason) {
  if (!open_) {
    *reason = "espeak-ng is not started";
    return false;
  }
  std::string error;
  Utterance* u = front_end.utterance(latin9, &error);
  if (!u) {
    *reason = error;
    return false;
  }
  // Phrases: the runs of phones between the pauses.
  std::vector<std::vector<PhrasePhone>> phrases;
  const Relation* segs = utterance_relation(u, "Segment");
  bool in_phrase = false, ok = true;
  const Item* last_word = nullptr;
  std::string unknown;
  for (const Item* s = segs ? segs->head : nullptr; s; s = item_next(s)) {
    const char* name = value_string(item_feature(s, "name"));
    if (strcmp(name, "pau") == 0) {
      if (s != segs->head && !in_phrase) ok = false;  // two pauses in a row
      in_phrase = false;
      continue;
    }
    auto m = kEspeakPhones.find(name);
    if (m == kEspeakPhones.end()) {
      unknown = name;
      ok = false;
      break;
    }
    if (!in_phrase) phrases.emplace_back();
    in_phrase = true;
    const Item* word = word_of(s);
    PhrasePhone p;
    p.phone = name;
    p.mnemonic = m->second;
    p.stressed = is_stressed_vowel(s);
    p.word_start = word != last_word || phrases.back().empty();
    phrases.back().push_back(p);
    last_word = word;
  }
  const bool starts_in_pause = segs && segs->head && strcmp(value_string(item_feature(segs->head, "name")), "pau") == 0;
  const bool ends_in_pause = segs && segs->tail && strcmp(value_string(item_feature(segs->tail, "name")), "pau") == 0;
  utterance_delete(u);
  if (!unknown.empty()) {
    *reason = "espeak-ng has no phone for '" + unknown + "'";
    return false;
  }
  if (!ok || phrases.empty() || !starts_in_pause || !ends_in_pause) {
    *reason = "the front end's segments are not phrases between pauses";
    return false;
  }

  Capture capture;
  capture.rate = sample_rate_;
  const double r = sample_rate_;
  out->audio.sample_rate = sample_rate_;
  out->audio.samples.assign(static_cast<size_t>(lead * r), 0);
  out->labels.clear();
  out->word_start.clear();
  double pause_start = 0;
  for (size_t k = 0; k < phrases.size(); ++k) {
    std::vector<PhrasePhone>& phrase = phrases[k];
    size_t end = 0;
    if (!speak_phrase(phrase, &capture, &end, reason)) return false;
    const size_t base = out->audio.samples.size();
    out->labels.push_back({pause_start, static_cast<double>(base + phrase[0].start) / r, "pau"});
    out->word_start.push_back(false);
    for (size_t i = 0; i < phrase.size(); ++i) {
      const size_t next = i + 1 < phrase.size() ? phrase[i + 1].start : end;
      out->labels.push_back(
          {static_cast<double>(base + phrase[i].start) / r, static_cast<double>(base + next) / r, phrase[i].phone});
      out->word_start.push_back(i > 0 && phrase[i].word_start);
    }
    pause_start = static_cast<double>(base + end) / r;
    // The phrase's audio, up to its last phone's end when trimming; the
    // pause follows.
    const size_t kept = trim_phrases_ ? std::min(end, capture.samples.size()) : capture.samples.size();
    out->audio.samples.insert(out->audio.samples.end(), capture.samples.begin(),
                              capture.samples.begin() + static_cast<long>(kept));
    const double gap = k < pauses.size() ? pauses[k] : pause;
    out->audio.samples.resize(out->audio.samples.size() + static_cast<size_t>(gap * r), 0);
  }
  out->labels.push_back({pause_start, static_cast<double>(out->audio.samples.size()) / r, "pau"});
  out->word_start.push_back(false);
  return true;
}

#endif  // _WIN32
