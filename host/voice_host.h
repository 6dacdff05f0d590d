// Loading the voice module at run time and making utterances for it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/contract.h"
#include "core/item.h"

struct HostVoice {
  void* handle = nullptr;  // the loaded module
  RegisterVoiceFn register_fn = nullptr;
  UnregisterVoiceFn unregister_fn = nullptr;
  Voice* voice = nullptr;
};

// Options shared by the subcommands that load a voice.
struct HostOptions {
  std::string module;  // empty: the module next to the tool
  std::string voice;   // empty: the default voice directory next to the tool
};

// The folder that holds the running tool.
std::string host_tool_dir();
// The voice module next to the tool (kHostModuleFileName).
std::string host_default_module();
// voices/default next to the tool when it holds a voice, else the synthetic
// voices/tones.
std::string host_default_voice_dir();

// Consumes --voice DIR or --module PATH at argv[i] (advancing i past the
// value).  Returns 1 when consumed, 0 when argv[i] is another argument, -1
// when the value is missing (error set).
int host_take_common_option(int& i, int argc, char** argv, HostOptions* options, std::string* error);

// How a subcommand that reads text took its arguments.
enum class HostArgs { kRun, kHelp, kBadUsage };

// Reads the arguments of a subcommand that takes text: words of text
// (anything that does not start with "--", and everything after "--"),
// -h/--help, --voice and --module, and the subcommand's own options through
// `own`, which is given argv[i] and the index (to consume a value) and
// answers 1 when it took the option, 0 when it does not know it, -1 when its
// value is missing.  Bad usage is reported on standard error under `who`.
HostArgs host_text_args(int argc, char** argv, const char* who, HostOptions* options,
                        std::vector<std::string>* texts, const std::function<int(const char*, int&)>& own);

// Loads the module and registers the voice.  On failure returns false with a
// one-line reason in `error` (including what the module reported) and leaves
// nothing loaded.
bool host_voice_open(HostVoice* host, const HostOptions& options, std::string* error);
void host_voice_close(HostVoice* host);

// A new utterance whose feature list shows the voice's features and whose
// function list holds the voice's feature functions.
Utterance* host_utterance_new(const Voice* voice);
