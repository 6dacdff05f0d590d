#include "cli/playback.h"

#if defined(_WIN32)

// The Windows build has no playback: the tool writes files (-o) there.
Playback::~Playback() = default;

bool Playback::open(unsigned, std::string* error) {
  *error = "cannot open the default sound device: no sound device on this system (write a file with -o)";
  return false;
}

bool Playback::write(const int16_t*, size_t, std::string* error) {
  *error = "no sound device on this system";
  return false;
}

bool Playback::finish(std::string* error) {
  *error = "no sound device on this system";
  return false;
}

#else

#include <alsa/asoundlib.h>

namespace {

// ALSA's own messages would go to standard error; the tool reports its
// failures itself.
void quiet(const char*, int, const char*, int, const char*, ...) {}

snd_pcm_t* pcm_of(void* p) { return static_cast<snd_pcm_t*>(p); }

}  // namespace

Playback::~Playback() {
  if (pcm_) snd_pcm_close(pcm_of(pcm_));
}

bool Playback::open(unsigned rate, std::string* error) {
  snd_lib_error_set_handler(quiet);
  snd_pcm_t* pcm = nullptr;
  int err = snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0);
  if (err < 0) {
    *error = std::string("cannot open the default sound device: ") + snd_strerror(err);
    return false;
  }
  // Half a second of buffer: playback starts with the first chunk and rides
  // over the pause while the next sentence is made.
  err = snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED, 1, rate, 1, 500000);
  if (err < 0) {
    *error = std::string("the sound device does not take 16-bit mono audio at ") + std::to_string(rate) +
             " Hz: " + snd_strerror(err);
    snd_pcm_close(pcm);
    return false;
  }
  pcm_ = pcm;
  return true;
}

bool Playback::write(const int16_t* samples, size_t count, std::string* error) {
  while (count > 0) {
    snd_pcm_sframes_t n = snd_pcm_writei(pcm_of(pcm_), samples, count);
    if (n < 0) n = snd_pcm_recover(pcm_of(pcm_), static_cast<int>(n), 1);
    if (n < 0) {
      *error = std::string("cannot play: ") + snd_strerror(static_cast<int>(n));
      return false;
    }
    samples += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

bool Playback::finish(std::string* error) {
  int err = snd_pcm_drain(pcm_of(pcm_));
  snd_pcm_close(pcm_of(pcm_));
  pcm_ = nullptr;
  if (err < 0) {
    *error = std::string("cannot finish playing: ") + snd_strerror(err);
    return false;
  }
  return true;
}

#endif  // _WIN32
