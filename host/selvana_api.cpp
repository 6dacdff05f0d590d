// The public C interface of libselvana (include/selvana/selvana.h) over the
// host engine.
#include "include/selvana/selvana.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "host/speak.h"
#include "host/synth.h"
#include "host/voice_host.h"

struct selvana_voice {
  uint32_t magic;
  HostVoice host;
  int32_t sample_rate;
};

struct selvana_engine {
  uint32_t magic;
  selvana_voice* voice;
  bool owns_voice;
  SynthEngine synth;
  std::string error;
  std::atomic<bool> cancel{false};
  std::atomic<bool> busy{false};
  selvana_log_callback log = nullptr;
  void* log_data = nullptr;
};

namespace {

constexpr uint32_t kVoiceMagic = 0x53564f56;   // "SVOV"
constexpr uint32_t kEngineMagic = 0x53454e47;  // "SENG"
constexpr uint32_t kClosed = 0xdeadbeef;

bool live(const selvana_engine* e) { return e && e->magic == kEngineMagic; }

void copy_message(const std::string& text, char* message, size_t size) {
  if (!message || size == 0) return;
  const size_t n = std::min(text.size(), size - 1);
  memcpy(message, text.data(), n);
  message[n] = '\0';
}

selvana_status fail(selvana_engine* e, selvana_status status, const std::string& why) {
  e->error = why;
  return status;
}

struct Range {
  double low, high;
  const char* name;
};
constexpr Range kRanges[] = {{0.25, 4.0, "rate"}, {0.5, 2.0, "pitch"}, {0.0, 2.0, "pitch range"}, {0.0, 2.0, "volume"}};

double* param_field(ProsodyControl& p, selvana_param param) {
  switch (param) {
    case SELVANA_PARAM_RATE: return &p.rate;
    case SELVANA_PARAM_PITCH: return &p.pitch;
    case SELVANA_PARAM_PITCH_RANGE: return &p.pitch_range;
    case SELVANA_PARAM_VOLUME: return &p.volume;
  }
  return nullptr;
}

}  // namespace

extern "C" {

const char* selvana_version(void) { return "1.0.0"; }

int selvana_version_number(void) {
  return SELVANA_VERSION_MAJOR * 10000 + SELVANA_VERSION_MINOR * 100 + SELVANA_VERSION_PATCH;
}

const char* selvana_status_name(selvana_status status) {
  switch (status) {
    case SELVANA_OK: return "ok";
    case SELVANA_CANCELLED: return "cancelled";
    case SELVANA_E_ARGUMENT: return "bad argument";
    case SELVANA_E_TEXT: return "text is not valid UTF-8";
    case SELVANA_E_SSML: return "malformed SSML";
    case SELVANA_E_VOICE: return "the voice does not load";
    case SELVANA_E_SYNTHESIS: return "synthesis failed";
    case SELVANA_E_AUDIO: return "sound device error";
    case SELVANA_E_BUSY: return "engine busy";
    case SELVANA_E_LIMIT: return "beyond the engine's limits";
  }
  return "unknown status";
}

selvana_status selvana_voice_open(const char* voice_dir, const char* module_path, selvana_voice** voice,
                                  char* message, size_t message_size) {
  copy_message("", message, message_size);
  if (!voice) {
    copy_message("no place for the voice handle", message, message_size);
    return SELVANA_E_ARGUMENT;
  }
  *voice = nullptr;
  auto* v = new (std::nothrow) selvana_voice{};
  if (!v) return SELVANA_E_LIMIT;
  HostOptions options;
  if (voice_dir) options.voice = voice_dir;
  if (module_path) options.module = module_path;
  std::string error, warnings;
  if (!host_voice_open(&v->host, options, &error, &warnings)) {
    copy_message(error, message, message_size);
    delete v;
    return SELVANA_E_VOICE;
  }
  // The sample rate, and a check that the engine can run on this voice.
  SynthEngine probe;
  if (!synth_engine_open(&probe, v->host.voice, &error)) {
    copy_message(error, message, message_size);
    host_voice_close(&v->host);
    delete v;
    return SELVANA_E_VOICE;
  }
  v->sample_rate = static_cast<int32_t>(probe.db.sample_rate);
  v->magic = kVoiceMagic;
  copy_message(warnings, message, message_size);
  *voice = v;
  return SELVANA_OK;
}

void selvana_voice_close(selvana_voice* voice) {
  if (!voice || voice->magic != kVoiceMagic) return;
  voice->magic = kClosed;
  host_voice_close(&voice->host);
  delete voice;
}

int selvana_voice_sample_rate(const selvana_voice* voice) {
  return voice && voice->magic == kVoiceMagic ? voice->sample_rate : 0;
}

selvana_status selvana_engine_new(selvana_voice* voice, selvana_engine** engine) {
  if (!engine) return SELVANA_E_ARGUMENT;
  *engine = nullptr;
  if (!voice || voice->magic != kVoiceMagic) return SELVANA_E_ARGUMENT;
  auto* e = new (std::nothrow) selvana_engine{};
  if (!e) return SELVANA_E_LIMIT;
  std::string error;
  if (!synth_engine_open(&e->synth, voice->host.voice, &error)) {
    delete e;
    return SELVANA_E_VOICE;
  }
  e->voice = voice;
  e->magic = kEngineMagic;
  *engine = e;
  return SELVANA_OK;
}

selvana_status selvana_open(const char* voice_dir, const char* module_path, selvana_engine** engine, char* message,
                            size_t message_size) {
  if (!engine) {
    copy_message("no place for the engine handle", message, message_size);
    return SELVANA_E_ARGUMENT;
  }
  *engine = nullptr;
  selvana_voice* voice = nullptr;
  selvana_status st = selvana_voice_open(voice_dir, module_path, &voice, message, message_size);
  if (st != SELVANA_OK) return st;
  st = selvana_engine_new(voice, engine);
  if (st != SELVANA_OK) {
    copy_message("the engine cannot run on this voice", message, message_size);
    selvana_voice_close(voice);
    return st;
  }
  (*engine)->owns_voice = true;
  return SELVANA_OK;
}

void selvana_close(selvana_engine* engine) {
  if (!live(engine)) return;
  engine->magic = kClosed;
  if (engine->owns_voice) selvana_voice_close(engine->voice);
  delete engine;
}

const char* selvana_error_message(const selvana_engine* engine) {
  if (!engine) return "no engine (null handle)";
  if (!live(engine)) return "the engine is closed";
  return engine->error.c_str();
}

int selvana_sample_rate(const selvana_engine* engine) {
  return live(engine) ? static_cast<int>(engine->synth.db.sample_rate) : 0;
}

selvana_status selvana_set_param(selvana_engine* engine, selvana_param param, double value) {
  if (!live(engine)) return SELVANA_E_ARGUMENT;
  double* field = param_field(engine->synth.prosody, param);
  if (!field) return fail(engine, SELVANA_E_ARGUMENT, "unknown parameter " + std::to_string(static_cast<int>(param)));
  const Range& r = kRanges[param];
  if (!std::isfinite(value) || value < r.low || value > r.high) {
    char line[160];
    snprintf(line, sizeof line, "%s %g is outside %g to %g", r.name, value, r.low, r.high);
    return fail(engine, SELVANA_E_ARGUMENT, line);
  }
  *field = value;
  engine->error.clear();
  return SELVANA_OK;
}

double selvana_get_param(const selvana_engine* engine, selvana_param param) {
  if (!live(engine)) return 0.0;
  ProsodyControl p = engine->synth.prosody;
  const double* field = param_field(p, param);
  return field ? *field : 0.0;
}

void selvana_set_log(selvana_engine* engine, selvana_log_callback log, void* user_data) {
  if (!live(engine)) return;
  engine->log = log;
  engine->log_data = user_data;
}

selvana_status selvana_speak(selvana_engine* engine, const char* text, size_t length, unsigned flags,
                             selvana_audio_callback callback, void* user_data) {
  if (!live(engine)) return SELVANA_E_ARGUMENT;
  if (engine->busy.exchange(true)) return SELVANA_E_BUSY;  // the engine's error belongs to the running call
  struct Release {
    selvana_engine* e;
    ~Release() { e->busy = false; }
  } release{engine};
  engine->cancel = false;
  engine->error.clear();
  if (!callback) return fail(engine, SELVANA_E_ARGUMENT, "no audio callback");
  if (!text) return fail(engine, SELVANA_E_ARGUMENT, "no text (null pointer)");
  if (length == static_cast<size_t>(-1)) length = strlen(text);
  if (length == 0) return fail(engine, SELVANA_E_ARGUMENT, "the text is empty");
  if (length > UINT32_MAX / 2) return fail(engine, SELVANA_E_LIMIT, "the text is longer than 2 GB");
  if (flags & ~SELVANA_TEXT_SSML) return fail(engine, SELVANA_E_ARGUMENT, "unknown flags");
  const std::string caller(text, length);

  std::vector<SpeechSentence> sentences;
  std::vector<std::string> warnings;
  std::string error;
  SpeechStream stream;
  stream.engine = &engine->synth;
  stream.text = &caller;
  stream.cancel = &engine->cancel;
  stream.chunk = engine->synth.db.sample_rate / 50;  // 20 ms
  if (stream.chunk == 0) stream.chunk = 320;
  if (engine->log) {
    stream.log = [engine](int level, const std::string& line) {
      // One call per line.
      size_t at = 0;
      while (at < line.size()) {
        size_t end = line.find('\n', at);
        if (end == std::string::npos) end = line.size();
        if (end > at) engine->log(level, line.substr(at, end - at).c_str(), engine->log_data);
        at = end + 1;
      }
    };
  }
  switch (speech_sentences(caller, flags & SELVANA_TEXT_SSML, &sentences, &error, &warnings)) {
    case SpeechInput::kBadUtf8: return fail(engine, SELVANA_E_TEXT, error);
    case SpeechInput::kBadSsml: return fail(engine, SELVANA_E_SSML, "malformed SSML: " + error);
    case SpeechInput::kOk: break;
  }
  for (const std::string& w : warnings)
    if (stream.log) stream.log(0, w);

  std::vector<selvana_event> out;
  auto sink = [&](const int16_t* samples, size_t count, const std::vector<SpeechEvent>& events) {
    out.clear();
    for (const SpeechEvent& e : events) {
      selvana_event v{};
      v.type = static_cast<selvana_event_type>(e.type);
      v.sample = e.sample;
      v.text_offset = e.text_offset;
      v.text_length = e.text_length;
      v.name = e.name.empty() ? nullptr : e.name.c_str();
      v.duration = e.duration;
      out.push_back(v);
    }
    return callback(samples, count, out.empty() ? nullptr : out.data(), out.size(), user_data) == 0;
  };
  switch (speech_speak(stream, sentences, sink, &error)) {
    case SpeechResult::kDone: return SELVANA_OK;
    case SpeechResult::kStopped: return fail(engine, SELVANA_CANCELLED, "cancelled");
    case SpeechResult::kFailed: return fail(engine, SELVANA_E_SYNTHESIS, error);
  }
  return SELVANA_OK;
}

void selvana_cancel(selvana_engine* engine) {
  if (live(engine)) engine->cancel = true;
}

}  // extern "C"
