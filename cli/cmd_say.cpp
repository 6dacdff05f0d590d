// selvana say: speaks a text through libselvana, onto the sound device, into
// a WAV file or onto standard output.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/input.h"
#include "cli/playback.h"
#include "host/text_io.h"
#include "host/wav.h"
#include "include/selvana/selvana.h"

namespace {

constexpr char kWho[] = "selvana say";

void usage(FILE* out) {
  fprintf(out,
          "usage: selvana say [-o FILE.wav | --stdout [--raw]] [-s WPM] [-p PITCH] [-a VOLUME]\n"
          "                   [--voice DIR] [--module PATH] [--ssml] [--verbose] [--] [TEXT...]\n"
          "\n"
          "Speaks the text (the arguments joined by spaces, or standard input when there\n"
          "are none; UTF-8) on the default sound device, or writes it as a RIFF/WAV file,\n"
          "16-bit mono at the voice's rate.  Audio leaves sentence by sentence while the\n"
          "rest is made.  Characters the voice cannot read are reported and left out.\n"
          "\n"
          "Options:\n"
          "  -o, -w, --output FILE.wav  write the speech to FILE.wav\n"
          "  --stdout       write the WAV data to standard output\n"
          "  --raw          with --stdout: raw 16-bit little-endian samples, no header\n"
          "  -s, --rate WPM     speed in words per minute (175 is the voice as recorded,\n"
          "                 44 to 700), or a percentage of it (\"150%%\")\n"
          "  -p, --pitch P      pitch 0 to 99 (50 is the voice's own; each 50 steps\n"
          "                 double or halve it), or a percentage (\"120%%\", 50%% to 200%%)\n"
          "  -a, --volume A     amplitude 0 to 200 (100 is the voice's own), or a\n"
          "                 percentage\n"
          "  --ssml         the text is SSML: speak, p, s, break (time, strength),\n"
          "                 say-as (interpret-as, format), phoneme (alphabet=\"x-sampa\"),\n"
          "                 mark (name)\n"
          "  --verbose      report substituted diphones, sentences and stage timings\n"
          "  --voice DIR    voice directory (default: $SELVANA_VOICE_DIR, else the\n"
          "                 installed voice)\n"
          "  --module PATH  voice module (default: the installed one)\n"
          "  -h, --help     show this text\n"
          "  --             the arguments after it are text, even when they start with -\n"
          "\n"
          "Exit status: 0 when every sentence was spoken; 1 when the voice cannot be\n"
          "loaded, a sentence had to be left out, the file cannot be written or the\n"
          "sound device cannot play; 2 for bad options or malformed SSML.\n");
}

enum { kOutput, kStdout, kRaw, kSsml, kVerbose, kRate, kPitch, kVolume };

// A value given as a percentage ("150%"): true with the factor in *factor.
bool percentage(const char* what, const std::string& text, double low, double high, double* factor, bool* ok) {
  if (text.empty() || text.back() != '%') return false;
  double v = 0;
  *ok = cli_double(kWho, what, text.substr(0, text.size() - 1), low * 100, high * 100, &v);
  *factor = v / 100;
  return true;
}

// espeak-ng's units mapped onto the engine's factors: -s words per minute
// (175 = 1.0), -p 0..99 (50 = 1.0, pitch = 2^((p - 50) / 50)), -a 0..200
// (100 = 1.0).
bool read_prosody(int id, const std::string& text, selvana_engine* engine) {
  double factor = 1.0;
  bool ok = true;
  if (id == kRate) {
    if (!percentage("rate", text, 0.25, 4.0, &factor, &ok)) {
      long wpm = 0;
      ok = cli_long(kWho, "rate (words per minute)", text, 44, 700, &wpm);
      factor = static_cast<double>(wpm) / 175.0;
    }
    return ok && selvana_set_param(engine, SELVANA_PARAM_RATE, factor) == SELVANA_OK;
  }
  if (id == kPitch) {
    if (!percentage("pitch", text, 0.5, 2.0, &factor, &ok)) {
      long p = 0;
      ok = cli_long(kWho, "pitch", text, 0, 99, &p);
      factor = std::pow(2.0, static_cast<double>(p - 50) / 50.0);
    }
    return ok && selvana_set_param(engine, SELVANA_PARAM_PITCH, factor) == SELVANA_OK;
  }
  if (!percentage("volume", text, 0.0, 2.0, &factor, &ok)) {
    long a = 0;
    ok = cli_long(kWho, "volume", text, 0, 200, &a);
    factor = static_cast<double>(a) / 100.0;
  }
  return ok && selvana_set_param(engine, SELVANA_PARAM_VOLUME, factor) == SELVANA_OK;
}

// Where the audio goes: a WAV file or standard output (its header rewritten
// at the end when the output can seek; else it announces the largest size,
// as streamed WAV does), raw samples, or the sound device.
struct Output {
  enum Kind { kFile, kStdout, kRawStdout, kDevice } kind;
  std::string path;
  unsigned rate = 0;
  FILE* file = nullptr;
  Playback device;
  uint64_t samples = 0;
  bool failed = false;
  std::string error;

  bool start() {
    if (kind == kDevice) return device.open(rate, &error) || (failed = true, false);
    file = kind == kFile ? fopen(path.c_str(), "wb") : stdout;
    if (!file) {
      error = "cannot write " + path;
      failed = true;
      return false;
    }
    if (kind == kRawStdout) return true;
    // The length is not known yet: the header announces the largest, as
    // streamed WAV does, and is rewritten at the end where the output seeks.
    std::vector<uint8_t> header = wav_header(rate, 0);
    memset(&header[4], 0xff, 4);
    memset(&header[40], 0xff, 4);
    return put(header.data(), header.size());
  }
  bool put(const void* data, size_t size) {
    if (fwrite(data, 1, size, file) == size) return true;
    error = "cannot write " + (kind == kFile ? path : std::string("standard output"));
    failed = true;
    return false;
  }
  bool audio(const int16_t* s, size_t n) {
    samples += n;
    if (kind == kDevice) return device.write(s, n, &error) || (failed = true, false);
    uint8_t buf[2 * 1024];
    for (size_t at = 0; at < n;) {
      const size_t k = std::min<size_t>(n - at, sizeof buf / 2);
      for (size_t i = 0; i < k; ++i) {
        buf[2 * i] = static_cast<uint8_t>(s[at + i] & 0xff);
        buf[2 * i + 1] = static_cast<uint8_t>((static_cast<uint16_t>(s[at + i]) >> 8) & 0xff);
      }
      if (!put(buf, 2 * k)) return false;
      at += k;
    }
    return true;
  }
  bool finish() {
    if (failed) return false;
    if (kind == kDevice) return device.finish(&error) || (failed = true, false);
    if (kind != kRawStdout) {
      const bool fits = samples <= (0xffffffffu - 36) / 2;
      std::vector<uint8_t> header = wav_header(rate, fits ? static_cast<uint32_t>(samples) : 0);
      if (!fits) memset(&header[4], 0xff, 4), memset(&header[40], 0xff, 4);
      if (fflush(file) == 0 && fseek(file, 0, SEEK_SET) == 0) {
        if (!put(header.data(), header.size())) return false;
      } else if (kind == kStdout) {
        clearerr(file);  // a pipe: the first header stands
      }
    }
    if (fflush(file) != 0 || (kind == kFile && fclose(file) != 0)) {
      failed = true;
      error = "cannot write " + (kind == kFile ? path : std::string("standard output"));
    }
    if (kind == kFile) file = nullptr;
    return !failed;
  }
};

struct SpeakState {
  Output* out;
  bool started = false;
};

int on_audio(const int16_t* samples, size_t count, const selvana_event*, size_t, void* data) {
  auto* st = static_cast<SpeakState*>(data);
  if (!st->started) {
    st->started = true;
    if (!st->out->start()) return 1;
  }
  return st->out->audio(samples, count) ? 0 : 1;
}

void on_log(int level, const char* line, void* data) {
  const bool verbose = *static_cast<bool*>(data);
  if (level == 0 || verbose) fprintf(stderr, "%s: %s\n", kWho, line);
}

}  // namespace

int cmd_say(int argc, char** argv) {
  static const std::vector<CliOption> kOptions = {
      {kOutput, "-o|-w|--output", true}, {kStdout, "--stdout", false},   {kRaw, "--raw", false},
      {kSsml, "--ssml", false},          {kVerbose, "--verbose", false}, {kRate, "-s|--rate", true},
      {kPitch, "-p|--pitch", true},      {kVolume, "-a|--volume", true}, kCliVoiceOption,
      kCliModuleOption};
  std::vector<CliArg> args;
  std::vector<std::string> texts;
  CliStatus st = cli_parse(argc, argv, kWho, kOptions, &args, &texts);
  if (st != CliStatus::kRun) return cli_exit(st, usage);
  std::string voice, module, out_path;
  bool to_stdout = false, raw = false, ssml = false, verbose = false;
  for (const CliArg& a : args) {
    switch (a.id) {
      case kOutput: out_path = a.value; break;
      case kStdout: to_stdout = true; break;
      case kRaw: raw = true; break;
      case kSsml: ssml = true; break;
      case kVerbose: verbose = true; break;
      case kCliVoice: voice = a.value; break;
      case kCliModule: module = a.value; break;
      default: break;
    }
  }
  if (!out_path.empty() && to_stdout) {
    fprintf(stderr, "%s: give -o FILE.wav or --stdout, not both (try --help)\n", kWho);
    return 2;
  }
  if (raw && !to_stdout) {
    fprintf(stderr, "%s: --raw goes with --stdout (try --help)\n", kWho);
    return 2;
  }

  char message[512];
  selvana_engine* engine = nullptr;
  if (selvana_open(voice.empty() ? nullptr : voice.c_str(), module.empty() ? nullptr : module.c_str(), &engine,
                   message, sizeof message) != SELVANA_OK) {
    fprintf(stderr, "%s: %s\n", kWho, message);
    return 1;
  }
  if (*message) fprintf(stderr, "%s: %s\n", kWho, message);
  for (const CliArg& a : args) {
    if ((a.id == kRate || a.id == kPitch || a.id == kVolume) && !read_prosody(a.id, a.value, engine)) {
      selvana_close(engine);
      return 2;
    }
  }
  selvana_set_log(engine, on_log, &verbose);

  // Bytes that are not UTF-8 and characters the voice cannot read are
  // reported here, under the tool's name, and left out.
  std::string text = cli_input_text(texts);
  std::vector<TextIssue> issues;
  utf8_to_latin9(text, &issues);
  report_text_issues(stderr, kWho, issues);
  bool invalid = false;
  for (const TextIssue& i : issues) invalid = invalid || i.invalid_utf8;
  if (invalid) text = latin9_to_utf8(utf8_to_latin9(text, nullptr));

  Output out;
  out.kind = to_stdout ? (raw ? Output::kRawStdout : Output::kStdout) : out_path.empty() ? Output::kDevice : Output::kFile;
  out.path = out_path;
  out.rate = static_cast<unsigned>(selvana_sample_rate(engine));
  SpeakState state{&out};
  selvana_status status = SELVANA_OK;
  if (!text.empty()) {
    status = selvana_speak(engine, text.data(), text.size(), ssml ? SELVANA_TEXT_SSML : SELVANA_TEXT_PLAIN, on_audio,
                           &state);
  } else {
    on_audio(nullptr, 0, nullptr, 0, &state);
  }
  int exit_status = 0;
  if (status == SELVANA_E_SSML || status == SELVANA_E_ARGUMENT || status == SELVANA_E_TEXT) {
    fprintf(stderr, "%s: %s\n", kWho, selvana_error_message(engine));
    exit_status = status == SELVANA_E_SSML ? 2 : 1;
  } else {
    // Left-out sentences were reported through the log; what was made is
    // still written.
    if (status != SELVANA_OK && status != SELVANA_E_SYNTHESIS && !out.failed)
      fprintf(stderr, "%s: %s\n", kWho, selvana_error_message(engine));
    if (state.started && !out.failed) out.finish();
    if (out.failed) fprintf(stderr, "%s: %s\n", kWho, out.error.c_str());
    exit_status = status == SELVANA_OK && !out.failed ? 0 : 1;
  }
  selvana_close(engine);
  return exit_status;
}
