/* selvana: a Brazilian Portuguese text-to-speech engine as a library.
 *
 * One voice is loaded once (selvana_voice) and may be shared by several
 * engines; each engine (selvana_engine) belongs to one thread at a time,
 * and different engines may speak on different threads at once.
 *
 * Audio leaves while it is made: selvana_speak calls the caller's callback
 * with chunks of 16-bit mono samples at the voice's sample rate, sentence by
 * sentence, each chunk with the events that fall inside it.
 *
 * The library never writes to the standard streams, never ends the process
 * for a caller's mistake and changes no process-wide state.  Every call that
 * can fail returns a selvana_status; the engine's message for the last
 * failure is read with selvana_error_message.
 */
#ifndef SELVANA_SELVANA_H
#define SELVANA_SELVANA_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#  if defined(SELVANA_BUILDING_LIBRARY)
#    define SELVANA_API __declspec(dllexport)
#  else
#    define SELVANA_API __declspec(dllimport)
#  endif
#else
#  define SELVANA_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define SELVANA_VERSION_MAJOR 1
#define SELVANA_VERSION_MINOR 0
#define SELVANA_VERSION_PATCH 0

/* "MAJOR.MINOR.PATCH" of the library actually loaded. */
SELVANA_API const char* selvana_version(void);
/* MAJOR * 10000 + MINOR * 100 + PATCH of the library actually loaded. */
SELVANA_API int selvana_version_number(void);

typedef enum selvana_status {
  SELVANA_OK = 0,
  SELVANA_CANCELLED = 1,        /* stopped by selvana_cancel or by the callback */
  SELVANA_E_ARGUMENT = -1,      /* null or closed handle, bad parameter value */
  SELVANA_E_TEXT = -2,          /* text that is not valid UTF-8 */
  SELVANA_E_SSML = -3,          /* malformed SSML */
  SELVANA_E_VOICE = -4,         /* the module or the voice does not load */
  SELVANA_E_SYNTHESIS = -5,     /* a stage of synthesis failed */
  SELVANA_E_AUDIO = -6,         /* the sound device could not be opened or written */
  SELVANA_E_BUSY = -7,          /* the engine is already speaking (called from its own callback) */
  SELVANA_E_LIMIT = -8          /* the input asks for more than the engine's documented limits */
} selvana_status;

/* A short English name of a status ("ok", "cancelled", "bad argument", ...). */
SELVANA_API const char* selvana_status_name(selvana_status status);

typedef struct selvana_voice selvana_voice;
typedef struct selvana_engine selvana_engine;

/* Loads the voice module (module_path, or NULL for the installed one) and
 * registers the voice in voice_dir (NULL: $SELVANA_VOICE_DIR, else the
 * installed default voice).  On failure *voice is NULL and, when message is
 * not NULL, a one-line reason is written into message (at most message_size
 * bytes, always terminated). */
SELVANA_API selvana_status selvana_voice_open(const char* voice_dir, const char* module_path,
                                              selvana_voice** voice, char* message, size_t message_size);
/* Releases the voice.  Every engine made on it must be closed first. */
SELVANA_API void selvana_voice_close(selvana_voice* voice);
/* The voice's sample rate in Hz, 0 for a null voice. */
SELVANA_API int selvana_voice_sample_rate(const selvana_voice* voice);

/* A new engine speaking with `voice` (which must outlive it). */
SELVANA_API selvana_status selvana_engine_new(selvana_voice* voice, selvana_engine** engine);
/* Shorthand: opens a voice that the engine owns and closes with it. */
SELVANA_API selvana_status selvana_open(const char* voice_dir, const char* module_path, selvana_engine** engine,
                                        char* message, size_t message_size);
SELVANA_API void selvana_close(selvana_engine* engine);

/* The message of the engine's last failure ("" when the last call succeeded). */
SELVANA_API const char* selvana_error_message(const selvana_engine* engine);
SELVANA_API int selvana_sample_rate(const selvana_engine* engine);

/* Speaking parameters, relative to the voice's own: 1.0 is the voice as
 * recorded.  Rate: 0.25 to 4.0 (2.0 speaks in half the time).  Pitch: 0.5 to
 * 2.0 (a factor on the whole contour).  Pitch range: 0.0 (monotone) to 2.0 (a
 * factor on the contour's excursions around its mean).  Volume: 0.0 to 2.0. */
typedef enum selvana_param {
  SELVANA_PARAM_RATE = 0,
  SELVANA_PARAM_PITCH = 1,
  SELVANA_PARAM_PITCH_RANGE = 2,
  SELVANA_PARAM_VOLUME = 3
} selvana_param;
SELVANA_API selvana_status selvana_set_param(selvana_engine* engine, selvana_param param, double value);
SELVANA_API double selvana_get_param(const selvana_engine* engine, selvana_param param);

typedef enum selvana_event_type {
  SELVANA_EVENT_SENTENCE = 1, /* a sentence starts: text_offset, text_length */
  SELVANA_EVENT_WORD = 2,     /* a word starts: text_offset, text_length of its token */
  SELVANA_EVENT_PHONE = 3,    /* a phone starts: name, duration */
  SELVANA_EVENT_MARK = 4,     /* an SSML <mark name="..."/>: name */
  SELVANA_EVENT_END = 5       /* the end of the text (in the last chunk) */
} selvana_event_type;

typedef struct selvana_event {
  selvana_event_type type;
  uint64_t sample;            /* offset in the whole stream, in samples */
  size_t text_offset;         /* bytes into the caller's text */
  size_t text_length;         /* bytes */
  const char* name;           /* phone name or mark name (UTF-8), else NULL; valid during the callback */
  uint32_t duration;          /* a phone's duration in samples, else 0 */
} selvana_event;

/* Receives each chunk of audio with the events whose sample offsets lie in
 * [first sample of the chunk, first sample of the next chunk).  A chunk may
 * hold no samples (events only); `events` is NULL when event_count is 0.
 * Chunks hold at most 20 ms of audio (the sample rate / 50 samples); the
 * last call has no samples and carries SELVANA_EVENT_END.  Return 0 to go on, non-zero to stop: the
 * speak call then returns SELVANA_CANCELLED. */
typedef int (*selvana_audio_callback)(const int16_t* samples, size_t count, const selvana_event* events,
                                      size_t event_count, void* user_data);

/* Flags for selvana_speak. */
#define SELVANA_TEXT_PLAIN 0u
#define SELVANA_TEXT_SSML 1u

/* Speaks `text` (UTF-8, `length` bytes, or (size_t)-1 for a terminated
 * string) and returns when all of it was delivered, or on cancellation or
 * failure. */
SELVANA_API selvana_status selvana_speak(selvana_engine* engine, const char* text, size_t length, unsigned flags,
                                         selvana_audio_callback callback, void* user_data);

/* Diagnostics of the engine, one line at a time: level 0 for what the voice
 * module reports and sentences left out, level 1 for details (diphones
 * replaced by substitutes, each sentence's text, stage timings).  The line is
 * valid during the call.  NULL turns the log off (the default). */
typedef void (*selvana_log_callback)(int level, const char* line, void* user_data);
SELVANA_API void selvana_set_log(selvana_engine* engine, selvana_log_callback log, void* user_data);

/* Asks a running selvana_speak to stop; it returns SELVANA_CANCELLED within
 * one chunk.  Safe to call from any thread while the engine is open. */
SELVANA_API void selvana_cancel(selvana_engine* engine);

#ifdef __cplusplus
}
#endif

#endif /* SELVANA_SELVANA_H */
