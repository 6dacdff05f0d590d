#include "host/speak.h"

#include <chrono>
#include <cstring>

#include "core/platform.h"
#include "host/ssml.h"
#include "host/text_io.h"
#include "include/selvana/selvana.h"
#include "lang_pt_br/abbreviations_pt_br.h"

namespace {

bool blank(const std::string& s) {
  for (char c : s)
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\xa0') return false;
  return true;
}

// Whether the mark at `mark` (followed by white space at `space`) ends a
// sentence: not after a title, not before a word in lower case.
bool sentence_ends(const std::string& text, size_t mark, size_t space) {
  if (text[mark] == '.') {
    size_t start = mark;
    while (start > 0 && isalpha(static_cast<unsigned char>(text[start - 1]))) --start;
    const std::string word = text.substr(start, mark - start);
    for (const PtBrAbbreviation& a : kPtBrAbbreviations)
      if (a.keeps_sentence && word == a.written) return false;
  }
  size_t next = space;
  while (next < text.size() && strchr(" \t\r\n", text[next]) && text[next]) ++next;
  if (next == text.size()) return true;
  // Lower-case letters of ISO-8859-15: a-z and 0xdf-0xff except the division sign.
  const unsigned char c = static_cast<unsigned char>(text[next]);
  const bool lower = (c >= 'a' && c <= 'z') || (c >= 0xdf && c != 0xf7);
  return !lower;
}

// Cuts text pieces into sentences: after ".", "!" or "?" (and any closing
// quotes or brackets) followed by white space, unless a title or a word in
// lower case shows that the sentence goes on; and at the ends and breaks the
// markup gives.
class SentenceSplitter {
 public:
  void text(const std::string& latin9, const std::vector<uint32_t>& origin, const TokenHints& hints) {
    if (!hints.interpret_as.empty() || !hints.phonemes.empty()) {
      // A pronunciation without text still needs a word to carry it.
      if (blank(latin9) && !hints.phonemes.empty())
        add({"x", hints}, {origin.empty() ? 0u : origin.front()});
      else
        add({latin9, hints}, origin);
      return;
    }
    std::string run;
    std::vector<uint32_t> from;
    for (size_t i = 0; i < latin9.size(); ++i) {
      // A sentence starts at its first character that is not white space.
      if (run.empty() && current_.runs.empty() && strchr(" \t\r\n", latin9[i])) continue;
      run += latin9[i];
      from.push_back(origin[i]);
      if (latin9[i] != '.' && latin9[i] != '!' && latin9[i] != '?') continue;
      size_t j = i + 1;
      // Closing quotes and brackets stay with their sentence ("\xbb" is the
      // closing guillemet of ISO-8859-15).
      while (j < latin9.size() && latin9[j] && strchr("\"')]}\xbb", latin9[j])) {
        from.push_back(origin[j]);
        run += latin9[j++];
      }
      if (j < latin9.size() && latin9[j] && strchr(" \t\r\n", latin9[j]) && sentence_ends(latin9, i, j)) {
        add({run, hints}, from);
        run.clear();
        from.clear();
        end();
      }
      i = j - 1;
    }
    if (!run.empty()) add({run, hints}, from);
  }
  void mark(const std::string& name) {
    size_t at = 0;
    for (const TextRun& r : current_.runs) at += r.text.size() + 1;
    current_.marks.emplace_back(at, name);
  }
  void end() {
    bool empty = true;
    for (const TextRun& r : current_.runs) empty = empty && blank(r.text);
    if (empty) current_.runs.clear(), current_.origins.clear();
    if (!empty || !current_.marks.empty()) sentences_->push_back(std::move(current_));
    current_ = SpeechSentence{};
  }
  void pause(int32_t ms) {
    end();
    if (sentences_->empty()) sentences_->push_back(SpeechSentence{});
    sentences_->back().pause_ms += ms;
  }
  explicit SentenceSplitter(std::vector<SpeechSentence>* out) : sentences_(out) {}
  // The prosody of the text pieces that follow.
  void prosody(const ProsodyControl& p) { prosody_ = p; }

 private:
  void add(TextRun run, std::vector<uint32_t> origin) {
    if (current_.runs.empty()) current_.prosody = prosody_;
    current_.runs.push_back(std::move(run));
    current_.origins.push_back(std::move(origin));
  }
  SpeechSentence current_;
  ProsodyControl prosody_;
  std::vector<SpeechSentence>* sentences_;
};

// The length of the UTF-8 character whose first byte is `c` (1 for a stray byte).
size_t utf8_length(unsigned char c) { return c < 0xc0 ? 1 : c < 0xe0 ? 2 : c < 0xf0 ? 3 : 4; }

// Converts valid UTF-8 to ISO-8859-15, with the origin of each output byte
// (the origin of the character's first byte); characters without an
// ISO-8859-15 form are left out.
void to_latin9(const std::string& utf8, const std::vector<uint32_t>& origin, std::string* out,
               std::vector<uint32_t>* out_origin) {
  out->clear();
  out_origin->clear();
  for (size_t i = 0; i < utf8.size();) {
    const size_t len = std::min(utf8_length(static_cast<unsigned char>(utf8[i])), utf8.size() - i);
    std::string one = utf8_to_latin9(std::string_view(utf8).substr(i, len), nullptr);
    if (!one.empty()) {
      *out += one;
      out_origin->push_back(origin[i]);
    }
    i += len;
  }
}

bool valid_utf8(const std::string& text, std::string* error) {
  std::vector<TextIssue> issues;
  utf8_to_latin9(text, &issues);
  for (const TextIssue& issue : issues) {
    if (!issue.invalid_utf8) continue;
    *error = "the text is not valid UTF-8 (byte " + std::to_string(issue.byte - 1) + ")";
    return false;
  }
  return true;
}

// The ISO-8859-15 byte of a segment's end time, in seconds.
float end_of(const Item* seg) { return item_feature_present(seg, "end") ? item_feature_float(seg, "end") : 0.0f; }

Item* token_of(Item* word) {
  Item* in_token = item_in_relation(word, "Token");
  return in_token ? item_parent(in_token) : nullptr;
}

// Hands out audio in chunks, each with the pending events that fall before
// its end.  Events must be queued before the audio that holds them.
class Emitter {
 public:
  Emitter(const SpeechStream& stream, const SpeechSink& sink) : stream_(stream), sink_(sink) {}
  void queue(SpeechEvent e) { pending_.push_back(std::move(e)); }
  uint64_t produced() const { return produced_; }
  // False when stopped.
  bool audio(const int16_t* samples, size_t count) {
    static const int16_t kZeros[4096] = {};
    const size_t chunk = std::min<size_t>(stream_.chunk, 4096);
    for (size_t at = 0; at < count; at += chunk) {
      if (stopped()) return false;
      const size_t n = std::min(chunk, count - at);
      take(produced_ + n);
      if (!sink_(samples ? samples + at : kZeros, n, batch_)) return !(stopped_ = true);
      produced_ += n;
    }
    return true;
  }
  bool finish() {
    if (stopped()) return false;
    SpeechEvent end;
    end.type = SELVANA_EVENT_END;
    end.sample = produced_;
    queue(end);
    take(UINT64_MAX);
    if (!sink_(nullptr, 0, batch_)) return !(stopped_ = true);
    return true;
  }
  bool stopped() {
    if (!stopped_ && stream_.cancel && stream_.cancel->load(std::memory_order_relaxed)) stopped_ = true;
    return stopped_;
  }

 private:
  void take(uint64_t before) {
    batch_.clear();
    size_t k = 0;
    while (k < pending_.size() && pending_[k].sample < before) batch_.push_back(std::move(pending_[k++]));
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<ptrdiff_t>(k));
  }
  const SpeechStream& stream_;
  const SpeechSink& sink_;
  std::vector<SpeechEvent> pending_, batch_;
  uint64_t produced_ = 0;
  bool stopped_ = false;
};

// Collects what the module reports while synthesising, for the log.
struct ModuleReports {
  std::string text;
  static void take(void* self, const char* message) { static_cast<ModuleReports*>(self)->text += message; }
};

}  // namespace

SpeechInput speech_sentences(const std::string& text, bool ssml, std::vector<SpeechSentence>* out,
                             std::string* error, std::vector<std::string>* warnings) {
  if (!valid_utf8(text, error)) return SpeechInput::kBadUtf8;
  std::vector<SsmlPiece> pieces;
  if (ssml) {
    if (!ssml_parse(text, &pieces, error, warnings)) return SpeechInput::kBadSsml;
  } else {
    SsmlPiece p;
    p.text = text;
    p.origin.resize(text.size());
    for (size_t i = 0; i < text.size(); ++i) p.origin[i] = static_cast<uint32_t>(i);
    pieces.push_back(std::move(p));
  }
  SentenceSplitter splitter(out);
  std::string latin9;
  std::vector<uint32_t> origin;
  for (const SsmlPiece& p : pieces) {
    if (p.kind == SsmlPiece::kBreak) {
      splitter.pause(p.break_ms);
    } else if (p.kind == SsmlPiece::kSentenceEnd) {
      splitter.end();
    } else if (p.kind == SsmlPiece::kMark) {
      splitter.mark(p.mark);
    } else {
      TokenHints hints;
      hints.interpret_as = utf8_to_latin9(p.interpret_as, nullptr);
      hints.interpret_as_format = utf8_to_latin9(p.interpret_as_format, nullptr);
      hints.phonemes = utf8_to_latin9(p.phonemes, nullptr);
      to_latin9(p.text, p.origin, &latin9, &origin);
      splitter.prosody(p.prosody);
      splitter.text(latin9, origin, hints);
    }
  }
  splitter.end();
  return SpeechInput::kOk;
}

SpeechResult speech_speak(const SpeechStream& stream, const std::vector<SpeechSentence>& sentences,
                          const SpeechSink& sink, std::string* error) {
  const SynthEngine& engine = *stream.engine;
  const std::string& caller = *stream.text;
  const uint32_t rate = engine.db.sample_rate;
  Emitter out(stream, sink);
  auto log = [&](int level, const std::string& line) {
    if (stream.log) stream.log(level, line);
  };
  // The caller's bytes [origin of `first`, end of the character at `last`].
  auto span = [&](const std::vector<uint32_t>& origin, size_t first, size_t last, SpeechEvent* e) {
    e->text_offset = origin[first];
    const size_t end = origin[last] + utf8_length(static_cast<unsigned char>(caller[origin[last]]));
    e->text_length = std::min(end, caller.size()) - e->text_offset;
  };
  SynthTimes times;
  size_t failed = 0;
  SynthEngine with_prosody;  // the engine with a sentence's SSML prosody, when it has one
  for (size_t k = 0; k < sentences.size(); ++k) {
    const SpeechSentence& s = sentences[k];
    if (out.stopped()) return SpeechResult::kStopped;
    const SynthEngine* speaker = &engine;
    if (!s.prosody.neutral()) {
      with_prosody = engine;
      with_prosody.prosody = ssml_prosody_on(engine.prosody, s.prosody);
      speaker = &with_prosody;
    }
    // The sentence's text as the front end joins it, with origins.
    std::string joined;
    std::vector<uint32_t> origin;
    for (size_t r = 0; r < s.runs.size(); ++r) {
      if (r) {
        joined += ' ';
        origin.push_back(s.origins[r].empty() ? origin.back() : s.origins[r].front());
      }
      joined += s.runs[r].text;
      origin.insert(origin.end(), s.origins[r].begin(), s.origins[r].end());
    }
    const uint64_t start = out.produced();
    std::vector<SpeechEvent> events;
    if (!joined.empty()) {
      SpeechEvent e;
      e.type = SELVANA_EVENT_SENTENCE;
      e.sample = start;
      span(origin, 0, joined.size() - 1, &e);
      events.push_back(e);
    }
    Utterance* u = nullptr;
    Value* state = nullptr;
    const Wave* wave = nullptr;
    if (!s.runs.empty()) {
      std::vector<std::string> notes;
      std::string why;
      ModuleReports reports;
      ErrorSink previous = nullptr;
      void* previous_context = nullptr;
      error_sink_set(&ModuleReports::take, &reports, &previous, &previous_context);
      const auto t0 = std::chrono::steady_clock::now();
      u = synth_front_end(*speaker, s.runs, &notes, &why);
      times.front_end += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      bool ok = u != nullptr;
      if (ok) {
        state = synth_state_new();
        ok = synth_utterance(*speaker, state, u, &notes, &why, &times);
        wave = ok ? synth_state(state)->wave : nullptr;
      }
      error_sink_set(previous, previous_context);
      if (!reports.text.empty()) log(0, reports.text);
      for (const std::string& n : notes) log(1, n);
      log(1, "sentence " + std::to_string(k + 1) + ": \"" + latin9_to_utf8(joined) + "\"");
      if (!ok) {
        ++failed;
        const std::string line = "sentence " + std::to_string(k + 1) + " left out: " + why;
        log(0, line);
        if (error->empty()) *error = line;
      }
    }
    const uint64_t length = wave ? static_cast<uint64_t>(wave->num_samples) : 0;
    if (wave) {
      // Where the tokens of the text lie in the joined text.
      std::vector<std::pair<const Item*, std::pair<size_t, size_t>>> tokens;
      const Relation* tr = utterance_relation(u, "Token");
      size_t cursor = 0;
      for (const Item* t = tr ? tr->head : nullptr; t; t = t->next) {
        const char* name = item_feature_string(t, "name");
        if (!name || !*name) continue;
        const size_t at = joined.find(name, cursor);
        if (at == std::string::npos) continue;
        cursor = at + strlen(name);
        tokens.push_back({t, {at, cursor}});
      }
      // Segment times scaled onto the wave actually made.
      const Relation* segs = utterance_relation(u, "Segment");
      const Item* last = segs ? segs->tail : nullptr;
      const double total = last ? end_of(last) : 0.0;
      const double scale = total > 0 ? static_cast<double>(length) / total : 0.0;
      const Item* previous_token = nullptr;
      std::vector<std::pair<size_t, uint64_t>> word_starts;  // joined offset, sample
      double begin = 0;
      for (const Item* seg = segs ? segs->head : nullptr; seg; seg = seg->next) {
        const double end = end_of(seg);
        const uint64_t at = start + static_cast<uint64_t>(begin * scale + 0.5);
        const uint64_t to = start + static_cast<uint64_t>(end * scale + 0.5);
        begin = end;
        Item* in_syl = item_in_relation(seg, "SylStructure");
        Item* syl = in_syl ? item_parent(in_syl) : nullptr;
        Item* word = syl ? item_parent(syl) : nullptr;
        const Item* token = word ? token_of(word) : nullptr;
        if (token && token != previous_token) {
          previous_token = token;
          for (const auto& [t, range] : tokens) {
            if (t != token) continue;
            SpeechEvent e;
            e.type = SELVANA_EVENT_WORD;
            e.sample = at;
            span(origin, range.first, range.second - 1, &e);
            events.push_back(e);
            word_starts.push_back({range.first, at});
            break;
          }
        }
        SpeechEvent e;
        e.type = SELVANA_EVENT_PHONE;
        e.sample = at;
        e.name = item_feature_string(seg, "name");
        e.duration = static_cast<uint32_t>(to - at);
        events.push_back(e);
      }
      for (const auto& [at, name] : s.marks) {
        SpeechEvent e;
        e.type = SELVANA_EVENT_MARK;
        e.name = name;
        e.sample = start + length;
        for (const auto& [offset, sample] : word_starts)
          if (offset >= at) {
            e.sample = sample;
            break;
          }
        events.push_back(e);
      }
    } else {
      for (const auto& [at, name] : s.marks) {
        SpeechEvent e;
        e.type = SELVANA_EVENT_MARK;
        e.name = name;
        e.sample = start;
        events.push_back(e);
      }
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const SpeechEvent& a, const SpeechEvent& b) { return a.sample < b.sample; });
    for (SpeechEvent& e : events) out.queue(std::move(e));
    bool going = out.audio(wave ? wave->samples : nullptr, length);
    if (state) value_release(state);
    if (u) utterance_delete(u);
    if (!going) return SpeechResult::kStopped;
    if (!out.audio(nullptr, static_cast<uint64_t>(s.pause_ms) * rate / 1000)) return SpeechResult::kStopped;
  }
  if (!out.finish()) return SpeechResult::kStopped;
  char line[200];
  snprintf(line, sizeof line, "%zu sentences, %.2f s of speech; front end %.3f s, search %.3f s, audio %.3f s",
           sentences.size(), static_cast<double>(out.produced()) / rate, times.front_end, times.search, times.audio);
  log(1, line);
  if (failed > 1) *error += " (and " + std::to_string(failed - 1) + " more)";
  return failed ? SpeechResult::kFailed : SpeechResult::kDone;
}
