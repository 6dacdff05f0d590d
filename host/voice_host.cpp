#include "host/voice_host.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>
#include <vector>

#include "host/host_os.h"

namespace {

// Runs `fn` with the process's standard error captured into `captured`, so
// that messages the module prints can be folded into one line.
template <typename Fn>
auto capture_stderr(std::string* captured, Fn fn) {
  fflush(stderr);
  int saved = dup(STDERR_FILENO);
  int pipefd[2];
  bool piped = saved >= 0 && os_pipe(pipefd);
  if (piped) dup2(pipefd[1], STDERR_FILENO);
  auto result = fn();
  if (piped) {
    fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(pipefd[1]);
    char buf[4096];
    int n;
    while ((n = static_cast<int>(read(pipefd[0], buf, sizeof buf))) > 0) captured->append(buf, static_cast<size_t>(n));
    close(pipefd[0]);
  }
  if (saved >= 0) close(saved);
  return result;
}

std::string one_line(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  return text;
}

}  // namespace

std::string host_tool_dir() {
  std::string program = os_program_path();
  if (program.empty()) return ".";
  return std::filesystem::path(program).parent_path().string();
}

std::string host_default_module() { return host_tool_dir() + "/" + kHostModuleFileName; }

std::string host_default_voice_dir() {
  std::string base = host_tool_dir() + "/voices/";
  std::error_code ec;
  if (std::filesystem::is_directory(base + "default/vox_pt_br_selvana", ec)) return base + "default";
  return base + "tones";
}

int host_take_common_option(int& i, int argc, char** argv, HostOptions* options, std::string* error) {
  std::string a = argv[i];
  std::string* target = nullptr;
  if (a == "--voice") target = &options->voice;
  else if (a == "--module") target = &options->module;
  else if (a.rfind("--voice=", 0) == 0) return options->voice = a.substr(8), 1;
  else if (a.rfind("--module=", 0) == 0) return options->module = a.substr(9), 1;
  else return 0;
  if (i + 1 >= argc) {
    *error = a + " needs a value";
    return -1;
  }
  *target = argv[++i];
  return 1;
}

HostArgs host_text_args(int argc, char** argv, const char* who, HostOptions* options,
                        std::vector<std::string>* texts, const std::function<int(const char*, int&)>& own) {
  bool options_done = false;
  std::string error;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (!options_done && strcmp(a, "-h") == 0) return HostArgs::kHelp;
    if (options_done || a[0] != '-' || a[1] != '-') {
      texts->push_back(a);  // "-5" and the like are text
      continue;
    }
    if (strcmp(a, "--") == 0) {
      options_done = true;
      continue;
    }
    if (strcmp(a, "--help") == 0) return HostArgs::kHelp;
    int taken = own ? own(a, i) : 0;
    if (taken < 0) {
      fprintf(stderr, "%s: %s needs a value\n", who, a);
      return HostArgs::kBadUsage;
    }
    if (taken > 0) continue;
    taken = host_take_common_option(i, argc, argv, options, &error);
    if (taken < 0) {
      fprintf(stderr, "%s: %s\n", who, error.c_str());
      return HostArgs::kBadUsage;
    }
    if (taken == 0) {
      fprintf(stderr, "%s: unknown option '%s' (try --help)\n", who, a);
      return HostArgs::kBadUsage;
    }
  }
  return HostArgs::kRun;
}

bool host_voice_open(HostVoice* host, const HostOptions& options, std::string* error) {
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
  Voice* voice = capture_stderr(&reported, [&] { return reg(voxdir.c_str()); });
  if (!voice) {
    reported = one_line(reported);
    *error = "cannot load the voice from " + voxdir + (reported.empty() ? "" : ": " + reported);
    os_module_unload(handle);
    return false;
  }
  if (!reported.empty()) fputs(reported.c_str(), stderr);
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
