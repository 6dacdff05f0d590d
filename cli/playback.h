// Playing 16-bit mono audio on the default sound device, through ALSA: its
// "default" device reaches PipeWire or PulseAudio where one runs (through
// their ALSA plugins) and the sound card directly where none does, and an
// ALSA configuration can point it at a file, which is how the tests listen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class Playback {
 public:
  Playback() = default;
  ~Playback();
  Playback(const Playback&) = delete;
  Playback& operator=(const Playback&) = delete;

  // Opens the default device at `rate` Hz; false with a one-line reason.
  bool open(unsigned rate, std::string* error);
  // Queues samples (blocking while the device's buffer is full).
  bool write(const int16_t* samples, size_t count, std::string* error);
  // Waits until everything queued was played, then closes the device.
  bool finish(std::string* error);

 private:
  void* pcm_ = nullptr;  // snd_pcm_t
};
