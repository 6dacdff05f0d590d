#include "speechd/module.h"

#include <atomic>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <numbers>
#include <optional>
#include <poll.h>
#include <signal.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "selvana/selvana.h"
#include "speechd/protocol.h"

namespace speechd {

bool read_config(const std::string& path, Config* config, std::string* warnings, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    *error = "cannot read " + path;
    return false;
  }
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) continue;
    size_t name_end = line.find_first_of(" \t", first);
    std::string name = line.substr(first, name_end - first);
    size_t v = name_end == std::string::npos ? std::string::npos : line.find_first_not_of(" \t", name_end);
    size_t v_end = line.find_last_not_of(" \t\r");
    if (v == std::string::npos) {
      *error = path + ":" + std::to_string(number) + ": " + name + " has no value";
      return false;
    }
    std::string value = line.substr(v, v_end + 1 - v);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    if (name == "SelvanaVoiceDir") {
      config->voice_dir = value;
    } else if (name == "SelvanaModulePath") {
      config->module_path = value;
    } else {
      *warnings += path + ":" + std::to_string(number) + ": unknown option " + name + "\n";
    }
  }
  return true;
}

namespace {

constexpr std::string_view kVoiceName = "selvana";
constexpr std::string_view kVoiceLanguage = "pt-BR";

enum class Kind { kText, kChar, kKey, kIcon };

// One message for the worker.
struct Job {
  std::string text;        // UTF-8 for the engine; empty for a sound icon
  unsigned flags = 0;      // SELVANA_TEXT_*
  Settings settings;       // as set when the message arrived
  bool capital_tone = false;
};

// A short sine tone with raised-cosine edges.
std::vector<int16_t> tone(int sample_rate, double hz, int ms, double amplitude) {
  size_t n = static_cast<size_t>(sample_rate) * static_cast<size_t>(ms) / 1000;
  size_t edge = static_cast<size_t>(sample_rate) * 5 / 1000;
  std::vector<int16_t> out(n);
  for (size_t i = 0; i < n; ++i) {
    double gain = 1.0;
    size_t from_end = n - 1 - i;
    if (i < edge || from_end < edge)
      gain = 0.5 - 0.5 * std::cos(std::numbers::pi * static_cast<double>(std::min(i, from_end)) / edge);
    out[i] = static_cast<int16_t>(std::lround(32767.0 * amplitude * gain *
                                              std::sin(2 * std::numbers::pi * hz * i / sample_rate)));
  }
  return out;
}

class Module {
 public:
  Module(const Config& config, int in_fd, int out_fd) : config_(config), in_(in_fd), out_fd_(out_fd) {}
  ~Module() { shutdown(); }

  int run() {
    std::string line;
    if (!in_.next(&line)) {
      log("input closed before INIT");
      return 0;
    }
    if (line != "INIT") {
      log("the server did not start with INIT");
      return 3;
    }
    if (!init()) return 1;
    // Writes wait in poll, so that a module closing can give them up.
    fcntl(out_fd_, F_SETFL, fcntl(out_fd_, F_GETFL) | O_NONBLOCK);
    start_worker();
    while (in_.next(&line)) {
      if (line == "SPEAK") {
        speak(Kind::kText);
      } else if (line == "CHAR") {
        speak(Kind::kChar);
      } else if (line == "KEY") {
        speak(Kind::kKey);
      } else if (line == "SOUND_ICON") {
        speak(Kind::kIcon);
      } else if (line == "STOP") {
        stop(false);
      } else if (line == "PAUSE") {
        stop(true);
      } else if (line == "SET") {
        set();
      } else if (line == "AUDIO") {
        audio();
      } else if (line == "LIST VOICES") {
        send("200-" + std::string(kVoiceName) + "\t" + std::string(kVoiceLanguage) +
             "\tnone\n200 OK VOICE LIST SENT\n");
      } else if (line == "LOGLEVEL") {
        loglevel();
      } else if (line.starts_with("DEBUG")) {
        debug(line);
      } else if (line == "QUIT") {
        shutdown();
        send("210 OK QUIT\n");
        return 0;
      } else {
        send("300 ERR UNKNOWN COMMAND\n");
      }
    }
    log("input closed, quitting");
    shutdown();
    return 0;
  }

 private:
  // --- Main thread ---------------------------------------------------------

  bool init() {
    char message[512] = "";
    selvana_status st = selvana_voice_open(config_.voice_dir.empty() ? nullptr : config_.voice_dir.c_str(),
                                           config_.module_path.empty() ? nullptr : config_.module_path.c_str(),
                                           &voice_, message, sizeof message);
    if (st == SELVANA_OK) st = selvana_engine_new(voice_, &engine_);
    if (st != SELVANA_OK) {
      std::string reason = message[0] ? message : selvana_status_name(st);
      for (char& c : reason)
        if (c == '\n') c = ' ';
      log("cannot load the voice: %s", reason.c_str());
      send("399-" + reason + "\n399 ERR CANT INIT MODULE\n");
      return false;
    }
    selvana_set_log(engine_, &Module::on_engine_log, this);
    sample_rate_ = selvana_sample_rate(engine_);
    piece_ = static_cast<size_t>(sample_rate_ / 50);
    send("299-selvana " + std::string(selvana_version()) + ": voice " +
         (config_.voice_dir.empty() ? std::string("default") : config_.voice_dir) + ", " +
         std::to_string(sample_rate_) + " Hz\n299 OK LOADED SUCCESSFULLY\n");
    return true;
  }

  // Lines up to the "." line, with the protocol's leading dot removed.  False
  // when the input ends first.
  bool read_block(std::vector<std::string>* lines) {
    std::string line;
    while (in_.next(&line)) {
      if (line == ".") return true;
      if (!line.empty() && line[0] == '.') line.erase(0, 1);
      lines->push_back(line);
    }
    return false;
  }

  void speak(Kind kind) {
    send("202 OK RECEIVING MESSAGE\n");
    std::vector<std::string> lines;
    if (!read_block(&lines)) return;
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (i) text += '\n';
      text += lines[i];
    }
    if (text.empty()) {
      send("301 ERROR CANT SPEAK\n");
      return;
    }
    if (kind != Kind::kText && lines.size() > 1) {
      send("305 DATA MORE THAN ONE LINE\n");
      return;
    }
    Job job;
    job.settings = settings_;
    job.flags = SELVANA_TEXT_SSML;
    switch (kind) {
      case Kind::kText:
        if (looks_like_ssml(text)) text = marks_after_spaces(text);
        if (settings_.spelling)
          job.text = spelled_ssml(text);
        else if (looks_like_ssml(text))
          job.text = std::move(text);
        else
          job.flags = SELVANA_TEXT_PLAIN, job.text = std::move(text);
        break;
      case Kind::kChar: {
        if (text == "space") text = " ";
        bool capital = is_capital_letter(text);
        job.text = char_ssml(text, capital && settings_.capitals == CapitalLetters::kSpell);
        job.capital_tone = capital && settings_.capitals == CapitalLetters::kIcon;
        break;
      }
      case Kind::kKey:
        job.text = key_ssml(text);
        break;
      case Kind::kIcon:
        break;  // a tone, whatever the icon's name
    }
    {
      std::lock_guard lock(mutex_);
      if (busy_ || job_) {
        send("301 ERROR CANT SPEAK\n");
        return;
      }
      stop_ = false;
      pause_ = false;
      busy_ = true;
      // The acknowledgement goes out before the worker can send any event.
      send("200 OK SPEAKING\n");
      job_ = std::move(job);
    }
    wake_.notify_one();
  }

  void stop(bool pause) {
    std::lock_guard lock(mutex_);
    if (!busy_) return;
    pause_ = pause;
    stop_ = true;
    selvana_cancel(engine_);
  }

  // Reads "name=value" lines up to "."; `apply` answers each.  Returns the
  // final reply, or "" when the input ended.
  template <typename Apply>
  std::string read_settings(Apply apply) {
    std::vector<std::string> lines;
    if (!read_block(&lines)) return "";
    bool syntax = false, value = false;
    for (const std::string& l : lines) {
      size_t eq = l.find('=');
      if (eq == 0 || eq == std::string::npos || eq + 1 == l.size()) {
        syntax = true;
        continue;
      }
      if (!apply(std::string_view(l).substr(0, eq), std::string_view(l).substr(eq + 1))) value = true;
    }
    if (syntax) return "302 ERROR BAD SYNTAX\n";
    if (value) return "303 ERROR INVALID PARAMETER OR VALUE\n";
    return "ok";
  }

  void set() {
    send("203 OK RECEIVING SETTINGS\n");
    std::string reply = read_settings([this](std::string_view name, std::string_view value) {
      SetResult r = apply_setting(&settings_, name, value);
      if (r == SetResult::kIgnored) log("ignoring the setting %.*s", static_cast<int>(name.size()), name.data());
      if (r == SetResult::kBadValue)
        log("rejecting %.*s=%.*s", static_cast<int>(name.size()), name.data(), static_cast<int>(value.size()),
            value.data());
      return r != SetResult::kBadValue;
    });
    if (!reply.empty()) send(reply == "ok" ? "203 OK SETTINGS RECEIVED\n" : reply);
  }

  void audio() {
    send("207 OK RECEIVING AUDIO SETTINGS\n");
    // The module only sends its audio to the server.
    std::string reply = read_settings([](std::string_view name, std::string_view value) {
      return name == "audio_output_method" && value == "server";
    });
    if (!reply.empty()) send(reply == "ok" ? "203 OK AUDIO INITIALIZED\n" : reply);
  }

  void loglevel() {
    send("207 OK RECEIVING LOGLEVEL SETTINGS\n");
    std::string reply = read_settings([this](std::string_view name, std::string_view value) {
      if (name != "log_level" || value.empty() || value.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
      log_level_ = std::stoi(std::string(value));
      return true;
    });
    if (!reply.empty()) send(reply == "ok" ? "203 OK LOGLEVEL SET\n" : reply);
  }

  // "DEBUG ON file" copies the log into `file`; "DEBUG OFF" ends that.
  void debug(const std::string& line) {
    std::lock_guard lock(log_mutex_);
    if (line == "DEBUG OFF") {
      if (debug_file_) fclose(debug_file_);
      debug_file_ = nullptr;
      send("200 OK DEBUGGING OFF\n");
    } else if (line.starts_with("DEBUG ON ") && line.size() > 9) {
      FILE* f = fopen(line.c_str() + 9, "a");
      if (!f) {
        send("303 CANT OPEN CUSTOM DEBUG FILE\n");
        return;
      }
      if (debug_file_) fclose(debug_file_);
      debug_file_ = f;
      send("200 OK DEBUGGING ON\n");
    } else {
      send("302 ERROR BAD SYNTAX\n");
    }
  }

  void start_worker() {
    // The worker takes no signals: they stay with the main thread.
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &old);
    worker_ = std::thread([this] { work(); });
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
  }

  void shutdown() {
    if (worker_.joinable()) {
      {
        std::lock_guard lock(mutex_);
        quit_ = true;
        stop_ = true;
        selvana_cancel(engine_);
      }
      // A worker held on a full pipe gives up its message.
      closing_ = true;
      wake_.notify_one();
      worker_.join();
      closing_ = false;
    }
    if (engine_) selvana_close(engine_);
    if (voice_) selvana_voice_close(voice_);
    engine_ = nullptr;
    voice_ = nullptr;
    if (debug_file_) fclose(debug_file_);
    debug_file_ = nullptr;
  }

  // --- Worker --------------------------------------------------------------

  void work() {
    for (;;) {
      Job job;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return quit_ || job_; });
        if (quit_) return;
        job = std::move(*job_);
        job_.reset();
      }
      finish(speak_job(job));
    }
  }

  selvana_status speak_job(const Job& job) {
    send("701 BEGIN\n");
    const double volume = volume_factor(job.settings.volume);
    if (job.text.empty() || job.capital_tone) {
      std::vector<int16_t> beep = job.text.empty() ? tone(sample_rate_, 880.0, 60, 0.25 * volume)
                                                   : tone(sample_rate_, 1320.0, 40, 0.2 * volume);
      if (!send_samples(beep.data(), beep.size())) return SELVANA_CANCELLED;
      if (job.text.empty()) return SELVANA_OK;
    }
    if (stop_) return SELVANA_CANCELLED;
    const std::pair<selvana_param, double> params[] = {
        {SELVANA_PARAM_RATE, rate_factor(job.settings.rate)},
        {SELVANA_PARAM_PITCH, pitch_factor(job.settings.pitch)},
        {SELVANA_PARAM_PITCH_RANGE, pitch_range_factor(job.settings.pitch_range)},
        {SELVANA_PARAM_VOLUME, volume},
    };
    for (auto [param, value] : params) {
      if (selvana_set_param(engine_, param, value) != SELVANA_OK)
        log("the engine refused parameter %d = %g: %s", static_cast<int>(param), value,
            selvana_error_message(engine_));
    }
    stream_samples_ = 0;
    return selvana_speak(engine_, job.text.data(), job.text.size(), job.flags, &Module::on_chunk, this);
  }

  // The event that ends the message.  A failure inside synthesis is logged
  // and ends the message as stopped, which is how the protocol reports it.
  void finish(selvana_status status) {
    const char* event = "702 END\n";
    if (status == SELVANA_CANCELLED) {
      event = pause_ ? "704 PAUSE\n" : "703 STOP\n";
    } else if (status != SELVANA_OK) {
      log("synthesis failed (%s): %s", selvana_status_name(status), selvana_error_message(engine_));
      event = "703 STOP\n";
    }
    {
      std::lock_guard lock(mutex_);
      busy_ = false;
    }
    send(event);
  }

  static int on_chunk(const int16_t* samples, size_t count, const selvana_event* events, size_t event_count,
                      void* user) {
    auto* m = static_cast<Module*>(user);
    const uint64_t first = m->stream_samples_;
    m->stream_samples_ += count;
    size_t done = 0;
    for (size_t i = 0; i < event_count; ++i) {
      const selvana_event& e = events[i];
      if (e.type != SELVANA_EVENT_MARK || !e.name) continue;
      // Audio up to the mark, then the mark.
      size_t at = e.sample <= first ? 0 : static_cast<size_t>(std::min<uint64_t>(count, e.sample - first));
      if (at > done) {
        if (!m->send_samples(samples + done, at - done)) return 1;
        done = at;
      }
      if (m->stop_) return 1;
      m->send_mark(e.name);
    }
    if (!m->send_samples(samples + done, count - done)) return 1;
    return m->stop_ ? 1 : 0;
  }

  // Sends audio in events of at most 20 ms, checking for STOP before each.
  bool send_samples(const int16_t* samples, size_t count) {
    while (count > 0) {
      if (stop_) return false;
      size_t n = std::min(count, piece_);
      frame_.clear();
      append_audio_event(&frame_, samples, n, sample_rate_);
      if (!send(frame_)) {
        stop_ = true;
        return false;
      }
      samples += n;
      count -= n;
    }
    return true;
  }

  void send_mark(const char* name) {
    frame_.assign("700-");
    for (const char* p = name; *p; ++p) frame_ += *p == '\n' ? ' ' : *p;
    frame_ += "\n700 INDEX MARK\n";
    send(frame_);
  }

  // --- Both threads ---------------------------------------------------------

  // The engine's diagnostics join the module's log: its details only from
  // speech-dispatcher's log level 4 ("info") up.
  static void on_engine_log(int level, const char* line, void* user) {
    auto* m = static_cast<Module*>(user);
    if (level == 0 || m->log_level_ >= 4) m->log("engine: %s", line);
  }

  // Writes one whole reply or event.  False once the server has gone, or
  // when the module is closing and the server does not read any more.
  bool send(std::string_view message) {
    std::lock_guard lock(out_mutex_);
    while (!message.empty() && !out_broken_) {
      ssize_t n = write(out_fd_, message.data(), message.size());
      if (n > 0) {
        message.remove_prefix(static_cast<size_t>(n));
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && !closing_) {
        pollfd p{out_fd_, POLLOUT, 0};
        poll(&p, 1, 100);
      } else {
        out_broken_ = true;
      }
    }
    return !out_broken_;
  }

  void log(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    char line[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::lock_guard lock(log_mutex_);
    fprintf(stderr, "sd_selvana: %s\n", line);
    if (debug_file_) {
      fprintf(debug_file_, "sd_selvana: %s\n", line);
      fflush(debug_file_);
    }
  }

  Config config_;
  LineReader in_;
  int out_fd_;
  std::mutex out_mutex_;
  bool out_broken_ = false;
  std::atomic<bool> closing_{false};
  std::mutex log_mutex_;
  FILE* debug_file_ = nullptr;
  std::atomic<int> log_level_{0};

  selvana_voice* voice_ = nullptr;
  selvana_engine* engine_ = nullptr;
  int sample_rate_ = 0;
  size_t piece_ = 0;
  Settings settings_;

  std::thread worker_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<Job> job_;
  bool quit_ = false;
  bool busy_ = false;
  std::atomic<bool> stop_{false};
  std::atomic<bool> pause_{false};

  // The worker's own.
  std::string frame_;
  uint64_t stream_samples_ = 0;
};

}  // namespace

int run_module(const Config& config, int in_fd, int out_fd) {
  Module module(config, in_fd, out_fd);
  return module.run();
}

}  // namespace speechd
