// selvana-espeak-record: records the sentences of a script with espeak-ng's
// Brazilian Portuguese voice, as material for the default voice.
//
//   selvana-espeak-record [--module PATH] [--voice NAME] SCRIPT OUT_DIR
//
// Each sentence goes through the project's own front end; its phones, with
// the stressed vowels marked and the words apart, become espeak-ng phoneme
// input ([[...]]), one call per phrase, so the recording says exactly the
// phones the front end gives.  Each phone's start comes from the library's
// phoneme events.  OUT_DIR receives sNNNN.wav, sNNNN.txt and sNNNN.lab for
// every sentence, in the layout that selvana-voicebuild reads.
#include <espeak-ng/speak_lib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/item.h"
#include "core/path.h"
#include "host/text_io.h"
#include "tools/voicebuild/builder.h"

namespace {

constexpr double kLeadSeconds = 0.2;    // silence before the first phrase
constexpr double kPauseSeconds = 0.15;  // silence added after each phrase

// espeak-ng's phoneme mnemonics for the voice's phones.
const std::map<std::string, std::string> kEspeakPhones = {
    {"a", "a"},   {"an", "&~"}, {"b", "b"},  {"ch", "tS"}, {"d", "d"},   {"e", "e"},   {"eh", "E"},  {"en", "e~"},
    {"f", "f"},   {"g", "g"},   {"h", "x"},  {"i", "i"},   {"in", "i~"}, {"j", "j"},   {"jh", "dZ"}, {"k", "k"},
    {"l", "l"},   {"lj", "L"},  {"m", "m"},  {"n", "n"},   {"ni", "J"},  {"o", "o"},   {"oh", "O"},  {"on", "o~"},
    {"p", "p"},   {"r", "*"},   {"s", "s"},  {"sh", "S"},  {"t", "t"},   {"u", "u"},   {"un", "u~"}, {"v", "v"},
    {"w", "w"},   {"z", "z"},   {"zh", "Z"},
};

struct Event {
  std::string name;
  size_t sample;
};

struct Capture {
  std::vector<int16_t> samples;
  std::vector<Event> events;
  int rate = 22050;
};

Capture* g_capture = nullptr;  // the synthesis callback's target, set only while a call runs

int on_audio(short* wav, int count, espeak_EVENT* events) {
  Capture* c = g_capture;
  if (!c) return 1;
  if (wav && count > 0) c->samples.insert(c->samples.end(), wav, wav + count);
  for (espeak_EVENT* e = events; e && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
    if (e->type != espeakEVENT_PHONEME) continue;
    char name[9] = {};
    memcpy(name, e->id.string, 8);
    c->events.push_back({name, static_cast<size_t>(e->audio_position) * static_cast<size_t>(c->rate) / 1000});
  }
  return 0;
}

// One phone of a phrase: its name and where it starts in the phrase audio.
struct PhrasePhone {
  std::string phone;
  std::string mnemonic;
  bool stressed;
  bool word_start;
  size_t start = 0;
};

// Speaks one phrase; sets each phone's start and `end` (where its last
// phone ends).  False with a reason when the events do not line up.
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
  g_capture = capture;
  espeak_ERROR status = espeak_Synth(input.c_str(), input.size() + 1, 0, POS_CHARACTER, 0,
                                     espeakCHARS_UTF8 | espeakPHONEMES, nullptr, nullptr);
  espeak_Synchronize();
  g_capture = nullptr;
  if (status != EE_OK) {
    *reason = "espeak-ng refused " + input;
    return false;
  }
  // Events in order: pauses and modifiers are passed over; any other event
  // is the next phone, even when espeak-ng spoke a variant of it.
  size_t k = 0;
  *end = capture->samples.size();
  for (const Event& e : capture->events) {
    if (e.name.empty() || e.name[0] == '_' || e.name == ";" || e.name == "|" || e.name == "||") {
      if (k == phones.size() && e.name[0] == '_') {
        *end = std::min(*end, e.sample);
        break;
      }
      continue;
    }
    if (k == phones.size()) {
      *reason = "espeak-ng spoke more phones than " + input;
      return false;
    }
    phones[k++].start = e.sample;
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

bool is_stressed_vowel(const Item* seg) {
  const Item* ss = item_in_relation(seg, "SylStructure");
  const Item* syl = ss ? item_parent(ss) : nullptr;
  if (!syl || !item_feature_present(syl, "stress") || item_feature_int(syl, "stress") <= 0) return false;
  Value* vc = feature_path_value(seg, "ph_vc");
  const bool vowel = value_type(vc) == kTypeString && strcmp(vc->body.s, "+") == 0;
  if (value_is_atom(vc) && value_refcount(vc) == 0) value_release(vc);
  return vowel;
}

const Item* word_of(const Item* seg) {
  const Item* ss = item_in_relation(seg, "SylStructure");
  const Item* syl = ss ? item_parent(ss) : nullptr;
  return syl ? item_parent(syl) : nullptr;
}

// Records one sentence; false with a reason.
bool record(const FrontEnd& front_end, const std::string& utf8, Capture* capture, Recording* out,
            std::vector<PhoneLabel>* labels, std::string* reason) {
  std::string error;
  Utterance* u = front_end.utterance(utf8_to_latin9(utf8, nullptr), &error);
  if (!u) {
    *reason = error;
    return false;
  }
  // Phrases: the runs of phones between the pauses.
  std::vector<std::vector<PhrasePhone>> phrases;
  const Relation* segs = utterance_relation(u, "Segment");
  bool in_phrase = false;
  const Item* last_word = nullptr;
  bool ok = true;
  for (const Item* s = segs ? segs->head : nullptr; s; s = item_next(s)) {
    const char* name = value_string(item_feature(s, "name"));
    if (strcmp(name, "pau") == 0) {
      if (s != segs->head && !in_phrase) ok = false;  // two pauses in a row
      in_phrase = false;
      continue;
    }
    auto m = kEspeakPhones.find(name);
    if (m == kEspeakPhones.end()) {
      ok = false;
      break;
    }
    if (!in_phrase) phrases.emplace_back();
    in_phrase = true;
    const Item* word = word_of(s);
    phrases.back().push_back({name, m->second, is_stressed_vowel(s), word != last_word || phrases.back().empty()});
    last_word = word;
  }
  const bool ends_in_pause = segs && segs->tail && strcmp(value_string(item_feature(segs->tail, "name")), "pau") == 0;
  utterance_delete(u);
  if (!ok || phrases.empty() || !ends_in_pause) {
    *reason = "the front end's segments are not phrases between pauses";
    return false;
  }

  const size_t rate = static_cast<size_t>(capture->rate);
  out->sample_rate = static_cast<uint32_t>(rate);
  out->samples.assign(static_cast<size_t>(kLeadSeconds * static_cast<double>(rate)), 0);
  labels->clear();
  double pause_start = 0;
  for (std::vector<PhrasePhone>& phrase : phrases) {
    size_t end = 0;
    if (!speak_phrase(phrase, capture, &end, reason)) return false;
    const size_t base = out->samples.size();
    const double r = static_cast<double>(rate);
    labels->push_back({pause_start, static_cast<double>(base + phrase[0].start) / r, "pau"});
    for (size_t i = 0; i < phrase.size(); ++i) {
      const size_t next = i + 1 < phrase.size() ? phrase[i + 1].start : end;
      labels->push_back(
          {static_cast<double>(base + phrase[i].start) / r, static_cast<double>(base + next) / r, phrase[i].phone});
    }
    pause_start = static_cast<double>(base + end) / r;
    out->samples.insert(out->samples.end(), capture->samples.begin(), capture->samples.end());
    out->samples.resize(out->samples.size() + static_cast<size_t>(kPauseSeconds * r), 0);
  }
  labels->push_back({pause_start, static_cast<double>(out->samples.size()) / static_cast<double>(rate), "pau"});
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string module, voice = "pt-br+f3";
  std::vector<std::string> paths;
  bool bad = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--module" && i + 1 < argc) module = argv[++i];
    else if (a == "--voice" && i + 1 < argc) voice = argv[++i];
    else if (!a.empty() && a[0] != '-') paths.push_back(a);
    else bad = true;
  }
  if (bad || paths.size() != 2) {
    fprintf(stderr, "usage: selvana-espeak-record [--module PATH] [--voice NAME] SCRIPT OUT_DIR\n");
    return 2;
  }
  std::ifstream in(paths[0]);
  if (!in) {
    fprintf(stderr, "selvana-espeak-record: cannot read %s\n", paths[0].c_str());
    return 1;
  }
  std::vector<std::string> sentences;
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') sentences.push_back(line);

  std::error_code ec;
  std::filesystem::create_directories(paths[1], ec);
  const std::string scratch = paths[1] + "/.record." + std::to_string(getpid());
  FrontEnd front_end;
  std::string error;
  if (!front_end.open(module, scratch, &error)) {
    fprintf(stderr, "selvana-espeak-record: %s\n", error.c_str());
    return 1;
  }
  Capture capture;
  capture.rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_PHONEME_EVENTS);
  if (capture.rate <= 0 || espeak_SetVoiceByName(voice.c_str()) != EE_OK) {
    fprintf(stderr, "selvana-espeak-record: cannot start espeak-ng with the voice %s\n", voice.c_str());
    return 1;
  }
  espeak_SetSynthCallback(on_audio);

  size_t recorded = 0, skipped = 0;
  for (size_t i = 0; i < sentences.size(); ++i) {
    char name[32];
    snprintf(name, sizeof name, "s%04zu", i + 1);
    Recording recording;
    std::vector<PhoneLabel> labels;
    std::string reason;
    if (!record(front_end, sentences[i], &capture, &recording, &labels, &reason)) {
      fprintf(stderr, "selvana-espeak-record: sentence %zu skipped: %s\n", i + 1, reason.c_str());
      ++skipped;
      continue;
    }
    const std::string stem = paths[1] + "/" + name;
    std::ofstream(stem + ".txt") << sentences[i] << "\n";
    std::ofstream(stem + ".lab") << format_labels(labels);
    if (!write_wav(stem + ".wav", recording, &error)) {
      fprintf(stderr, "selvana-espeak-record: %s\n", error.c_str());
      espeak_Terminate();
      return 1;
    }
    ++recorded;
  }
  espeak_Terminate();
  printf("recorded %zu sentences, skipped %zu\n", recorded, skipped);
  return recorded > 0 ? 0 : 1;
}
