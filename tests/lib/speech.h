// Speaking through libselvana's C interface in tests: everything a call
// delivers, collected.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "include/selvana/selvana.h"

namespace libtest {

inline const std::string kTones = std::string(SELVANA_BIN_DIR) + "/voices/tones";
inline const std::string kModule = std::string(SELVANA_BIN_DIR) + "/" SELVANA_MODULE_FILE;

struct Event {
  selvana_event_type type;
  uint64_t sample;
  size_t offset, length;
  std::string name;
  uint32_t duration;
  size_t chunk;  // index of the chunk that carried it
};

struct Speech {
  selvana_status status = SELVANA_OK;
  std::vector<int16_t> samples;
  std::vector<size_t> chunk_sizes;
  std::vector<Event> events;
  size_t stop_after = SIZE_MAX;  // the callback asks to stop after this many chunks
};

inline int collect(const int16_t* samples, size_t count, const selvana_event* events, size_t n, void* data) {
  auto* s = static_cast<Speech*>(data);
  for (size_t i = 0; i < n; ++i) {
    const selvana_event& e = events[i];
    s->events.push_back({e.type, e.sample, e.text_offset, e.text_length, e.name ? e.name : "", e.duration,
                         s->chunk_sizes.size()});
  }
  s->samples.insert(s->samples.end(), samples, samples + count);
  s->chunk_sizes.push_back(count);
  return s->chunk_sizes.size() >= s->stop_after ? 1 : 0;
}

inline Speech speak(selvana_engine* engine, const std::string& text, unsigned flags = SELVANA_TEXT_PLAIN,
                    size_t stop_after = SIZE_MAX) {
  Speech s;
  s.stop_after = stop_after;
  s.status = selvana_speak(engine, text.data(), text.size(), flags, collect, &s);
  return s;
}

}  // namespace libtest
