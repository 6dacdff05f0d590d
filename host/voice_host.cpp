#include "host/voice_host.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#ifndef _WIN32
#include <dlfcn.h>
#endif
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>
#include <vector>
#ifndef _WIN32
#include <dlfcn.h>
#endif

#ifndef _WIN32
#include <dlfcn.h>
#endif

#include "core/platform.h"
#include "host/host_os.h"

namespace {

// Collects what the module reports on the calling thread while it is alive,
// through the platform layer's error sink; the process's standard error is
// left alone.
class ErrorCapture {
 public:
  explicit ErrorCapture(std::string* into) : into_(into) {
    error_sink_set(&ErrorCapture::take, this, &previous_, &previous_context_);
  }
  ~ErrorCapture() { error_sink_set(previous_, previous_context_); }
  ErrorCapture(const ErrorCapture&) = delete;
  ErrorCapture& operator=(const ErrorCapture&) = delete;

 private:
  static void take(void* self, const char* message) { static_cast<ErrorCapture*>(self)->into_->append(message); }
  std::string* into_;
  ErrorSink previous_ = nullptr;
  void* previous_context_ = nullptr;
};

std::string one_line(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  return text;
}

bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool is_file(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

bool holds_voice(const std::string& dir) {
  std::error_code ec;
  return std::filesystem::is_directory(dir + "/vox_pt_br_selvana", ec);
}

// Prefixes to look in, nearest first: the code's own folder when it sits in
// an installed tree (bin/ or lib/ under a prefix), then the prefix compiled in.
std::vector<std::string> install_prefixes() {
  std::vector<std::string> out;
  const std::string dir = host_tool_dir();
  for (const char* rel : {SELVANA_LIBDIR_REL, SELVANA_BINDIR_REL})
    if (ends_with(dir, std::string("/") + rel)) out.push_back(dir.substr(0, dir.size() - strlen(rel) - 1));
  out.push_back(SELVANA_INSTALL_PREFIX);
  return out;
}

}  // namespace

std::string host_tool_dir() {
  // The folder of the binary that holds this code: the library when the
  // engine is used through libselvana, the program otherwise.
#ifndef _WIN32
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&host_tool_dir), &info) && info.dli_fname && strchr(info.dli_fname, '/')) {
    std::error_code ec;
    auto path = std::filesystem::canonical(info.dli_fname, ec);
    if (!ec) return path.parent_path().string();
  }
#endif
  std::string program = os_program_path();
  if (program.empty()) return ".";
  return std::filesystem::path(program).parent_path().string();
}

std::string host_default_module() {
  const std::string here = host_tool_dir() + "/" + kHostModuleFileName;
  if (is_file(here)) return here;
  for (const std::string& prefix : install_prefixes()) {
    std::string path = prefix + "/" SELVANA_LIBDIR_REL "/selvana/" + kHostModuleFileName;
    if (is_file(path)) return path;
  }
  return here;
}

std::string host_default_voice_dir() {
  if (const char* env = getenv("SELVANA_VOICE_DIR"); env && *env) return env;
  std::vector<std::string> bases = {host_tool_dir() + "/voices/"};
  for (const std::string& prefix : install_prefixes()) bases.push_back(prefix + "/" SELVANA_DATADIR_REL "/selvana/voices/");
  for (const char* name : {"default", "tones"})
    for (const std::string& base : bases)
      if (holds_voice(base + name)) return base + name;
  return bases.front() + "tones";
}

bool host_voice_open(HostVoice* host, const HostOptions& options, std::string* error, std::string* warnings) {
  std::string module = options.module.empty() ? host_default_module() : options.module;
  std::string voxdir = options.voice.empty() ? host_default_voice_dir() : options.voice;
  std::string reason;
  void* handle = os_module_load(module, &reason);
  if (!handle) {
    *error = "cannot load the voice module: " + one_line(reason);
    return false;
  }
  auto reg = reinterpret_cast<RegisterVoiceFn>(os_module_symbol(handle, "register_voice"));
  auto unreg = reinterpret_cast<UnregisterVoiceFn>(os_module_symbol(handle, "unregister_voice"));
  if (!reg || !unreg) {
    *error = "the voice module " + module + " lacks register_voice or unregister_voice";
    os_module_unload(handle);
    return false;
  }
  std::string reported;
  Voice* voice;
  {
    ErrorCapture capture(&reported);
    voice = reg(voxdir.c_str());
  }
  if (!voice) {
    reported = one_line(reported);
    *error = "cannot load the voice from " + voxdir + (reported.empty() ? "" : ": " + reported);
    os_module_unload(handle);
    return false;
  }
  if (warnings) *warnings = reported;
  host->handle = handle;
  host->register_fn = reg;
  host->unregister_fn = unreg;
  host->voice = voice;
  return true;
}

void host_voice_close(HostVoice* host) {
  if (host->voice) host->unregister_fn(host->voice);
  if (host->handle) os_module_unload(host->handle);
  *host = HostVoice{};
}

Utterance* host_utterance_new(const Voice* voice) {
  Utterance* u = utterance_new();
  // The lists are walked newest first; copying from the oldest keeps the
  // voice's order.
  auto copy = [](const Features* from, Features* to) {
    std::vector<const FeaturePair*> pairs;
    for (const FeaturePair* p = from->head; p; p = p->next) pairs.push_back(p);
    for (auto it = pairs.rbegin(); it != pairs.rend(); ++it) features_set(to, (*it)->name, (*it)->val);
  };
  copy(voice->features, u->features);
  copy(voice->feature_functions, u->ffunctions);
  return u;
}
