// selvana say: speaks a text into a WAV file.
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "host/commands.h"
#include "host/ssml.h"
#include "host/synth.h"
#include "host/text_io.h"
#include "host/voice_host.h"
#include "host/wav.h"
#include "lang_pt_br/abbreviations_pt_br.h"

namespace {

constexpr char kWho[] = "selvana say";

void usage(FILE* out) {
  fprintf(out,
          "usage: selvana say [-o FILE.wav | --stdout] [--voice DIR] [--module PATH] [--ssml]\n"
          "                   [--verbose] [TEXT...]\n"
          "\n"
          "Speaks the text (the arguments joined by spaces, or standard input when there\n"
          "are none; UTF-8) and writes a RIFF/WAV file, 16-bit mono at the voice's rate.\n"
          "Long texts are spoken sentence by sentence, with a progress bar on standard\n"
          "error when it is a terminal.  Characters the voice cannot read are reported\n"
          "and left out.\n"
          "\n"
          "Options:\n"
          "  -o FILE.wav    write the speech to FILE.wav\n"
          "  --stdout       write the WAV data to standard output\n"
          "  --ssml         the text is SSML: speak, p, s, break (time, strength),\n"
          "                 say-as (interpret-as, format), phoneme (alphabet=\"x-sampa\")\n"
          "  --verbose      report substituted diphones, sentences and stage timings\n"
          "  --voice DIR    voice directory (default: the one next to the tool)\n"
          "  --module PATH  voice module (default: the one next to the tool)\n"
          "  --help         show this text\n"
          "\n"
          "Exit status: 0 when every sentence was spoken; 1 when the voice cannot be\n"
          "loaded, a sentence had to be left out or the file cannot be written; 2 for\n"
          "bad options or malformed SSML.\n");
}

struct Sentence {
  std::vector<TextRun> runs;
  int32_t pause_ms = 0;  // silence after the sentence
};

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
  void text(const std::string& latin9, const TokenHints& hints) {
    if (!hints.interpret_as.empty() || !hints.phonemes.empty()) {
      // A pronunciation without text still needs a word to carry it.
      current_.runs.push_back({blank(latin9) && !hints.phonemes.empty() ? std::string("x") : latin9, hints});
      return;
    }
    std::string run;
    for (size_t i = 0; i < latin9.size(); ++i) {
      // A sentence starts at its first character that is not white space.
      if (run.empty() && current_.runs.empty() && strchr(" \t\r\n", latin9[i])) continue;
      run += latin9[i];
      if (latin9[i] != '.' && latin9[i] != '!' && latin9[i] != '?') continue;
      size_t j = i + 1;
      // Closing quotes and brackets stay with their sentence ("\xbb" is the
      // closing guillemet of ISO-8859-15).
      while (j < latin9.size() && latin9[j] && strchr("\"')]}\xbb", latin9[j])) run += latin9[j++];
      if (j < latin9.size() && latin9[j] && strchr(" \t\r\n", latin9[j]) && sentence_ends(latin9, i, j)) {
        current_.runs.push_back({run, hints});
        run.clear();
        end();
      }
      i = j - 1;
    }
    if (!run.empty()) current_.runs.push_back({run, hints});
  }
  void end() {
    bool empty = true;
    for (const TextRun& r : current_.runs) empty = empty && blank(r.text);
    if (!empty) sentences_.push_back(current_);
    current_ = Sentence{};
  }
  void pause(int32_t ms) {
    end();
    if (sentences_.empty()) sentences_.push_back(Sentence{});
    sentences_.back().pause_ms += ms;
  }
  std::vector<Sentence> finish() {
    end();
    return sentences_;
  }

 private:
  Sentence current_;
  std::vector<Sentence> sentences_;
};

void progress(size_t done, size_t total) {
  constexpr int kWidth = 30;
  int filled = static_cast<int>(kWidth * done / (total ? total : 1));
  fprintf(stderr, "\r%s: [%.*s%*s] %zu/%zu", kWho, filled, "##############################", kWidth - filled, "",
          done, total);
  if (done == total) fputc('\n', stderr);
  fflush(stderr);
}

}  // namespace

int cmd_say(int argc, char** argv) {
  HostOptions options;
  std::string error, out_path;
  std::vector<std::string> texts;
  bool to_stdout = false, ssml = false, verbose = false, options_done = false;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (options_done || a[0] != '-' || a[1] == '\0') {
      texts.push_back(a);
      continue;
    }
    if (strcmp(a, "--") == 0) {
      options_done = true;
    } else if (strcmp(a, "--help") == 0 || strcmp(a, "-h") == 0) {
      usage(stdout);
      return 0;
    } else if (strcmp(a, "-o") == 0 || strcmp(a, "--output") == 0) {
      if (i + 1 >= argc) {
        fprintf(stderr, "%s: %s needs a file name\n", kWho, a);
        return 2;
      }
      out_path = argv[++i];
    } else if (strcmp(a, "--stdout") == 0) {
      to_stdout = true;
    } else if (strcmp(a, "--ssml") == 0) {
      ssml = true;
    } else if (strcmp(a, "--verbose") == 0) {
      verbose = true;
    } else {
      int taken = host_take_common_option(i, argc, argv, &options, &error);
      if (taken < 0) {
        fprintf(stderr, "%s: %s\n", kWho, error.c_str());
        return 2;
      }
      if (taken == 0) {
        fprintf(stderr, "%s: unknown option '%s' (try --help)\n", kWho, a);
        return 2;
      }
    }
  }
  if (out_path.empty() == !to_stdout) {
    fprintf(stderr, "%s: give either -o FILE.wav or --stdout (try --help)\n", kWho);
    return 2;
  }
  std::string utf8 = host_input_text(texts);

  // Text pieces, then sentences.
  std::vector<SsmlPiece> pieces;
  if (ssml) {
    std::vector<std::string> warnings;
    if (!ssml_parse(utf8, &pieces, &error, &warnings)) {
      fprintf(stderr, "%s: malformed SSML: %s\n", kWho, error.c_str());
      return 2;
    }
    for (const std::string& w : warnings) fprintf(stderr, "%s: %s\n", kWho, w.c_str());
  } else {
    SsmlPiece p;
    p.text = utf8;
    pieces.push_back(p);
  }
  SentenceSplitter splitter;
  for (const SsmlPiece& p : pieces) {
    if (p.kind == SsmlPiece::kBreak) {
      splitter.pause(p.break_ms);
    } else if (p.kind == SsmlPiece::kSentenceEnd) {
      splitter.end();
    } else {
      std::vector<TextIssue> issues;
      TokenHints hints;
      hints.interpret_as = utf8_to_latin9(p.interpret_as, nullptr);
      hints.interpret_as_format = utf8_to_latin9(p.interpret_as_format, nullptr);
      hints.phonemes = utf8_to_latin9(p.phonemes, nullptr);
      std::string text = utf8_to_latin9(p.text, &issues);
      report_text_issues(stderr, kWho, issues);
      splitter.text(text, hints);
    }
  }
  std::vector<Sentence> sentences = splitter.finish();

  HostVoice host;
  if (!host_voice_open(&host, options, &error)) {
    fprintf(stderr, "%s: %s\n", kWho, error.c_str());
    return 1;
  }
  SynthEngine engine;
  if (!synth_engine_open(&engine, host.voice, &error)) {
    fprintf(stderr, "%s: %s\n", kWho, error.c_str());
    host_voice_close(&host);
    return 1;
  }
  const uint32_t rate = engine.db.sample_rate;
  const bool bar = isatty(STDERR_FILENO) && sentences.size() > 1;
  std::vector<int16_t> samples;
  SynthTimes times;
  size_t failed = 0;
  for (size_t k = 0; k < sentences.size(); ++k) {
    const Sentence& s = sentences[k];
    std::vector<std::string> notes;
    if (!s.runs.empty()) {
      auto t0 = std::chrono::steady_clock::now();
      Utterance* u = synth_front_end(engine, s.runs, &notes, &error);
      times.front_end += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      bool ok = u != nullptr;
      if (ok) {
        Value* state = synth_state_new();
        ok = synth_utterance(engine, state, u, &notes, &error, &times);
        const Wave* w = synth_state(state)->wave;
        if (ok && w) samples.insert(samples.end(), w->samples, w->samples + w->num_samples);
        value_release(state);
        utterance_delete(u);
      }
      // A sentence that cannot be spoken is reported and left out; the
      // others are still written.
      if (!ok) {
        ++failed;
        if (bar) fputc('\n', stderr);
        fprintf(stderr, "%s: sentence %zu left out: %s\n", kWho, k + 1, error.c_str());
        error.clear();
      }
    }
    samples.resize(samples.size() + static_cast<size_t>(s.pause_ms) * rate / 1000, 0);
    if (verbose) {
      if (bar) fputc('\n', stderr);
      for (const std::string& n : notes) fprintf(stderr, "%s: %s\n", kWho, n.c_str());
      std::string text;
      for (const TextRun& r : s.runs) text += (text.empty() ? "" : " ") + r.text;
      fprintf(stderr, "%s: sentence %zu: \"%s\"\n", kWho, k + 1, latin9_to_utf8(text).c_str());
    }
    if (bar) progress(k + 1, sentences.size());
  }
  FILE* out = to_stdout ? stdout : fopen(out_path.c_str(), "wb");
  bool written = out && wav_write(out, rate, samples.data(), samples.size());
  if (out && !to_stdout && fclose(out) != 0) written = false;
  if (!written) fprintf(stderr, "%s: cannot write %s\n", kWho, to_stdout ? "standard output" : out_path.c_str());
  if (verbose && written)
    fprintf(stderr, "%s: %zu sentences, %.2f s of speech; front end %.3f s, search %.3f s, audio %.3f s\n", kWho,
            sentences.size(), static_cast<double>(samples.size()) / rate, times.front_end, times.search, times.audio);
  host_voice_close(&host);
  return written && failed == 0 ? 0 : 1;
}
