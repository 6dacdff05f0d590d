// Loading the voice module at run time and making utterances for it.
#pragma once

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

// The folder of the binary that holds the engine: libselvana.so, or the
// program that links the engine in.
std::string host_tool_dir();
// The voice module (kHostModuleFileName) next to the engine, else the
// installed one (LIBDIR/selvana/).
std::string host_default_module();
// $SELVANA_VOICE_DIR when set; else voices/default next to the engine or the
// installed DATADIR/selvana/voices/default when it holds a voice, else the
// synthetic voices/tones from the same places.
std::string host_default_voice_dir();

// Loads the module and registers the voice.  On failure returns false with a
// one-line reason in `error` (including what the module reported) and leaves
// nothing loaded.  What the module reports while it loads goes into
// `error` or `warnings` (when given), never to the process's standard error.
bool host_voice_open(HostVoice* host, const HostOptions& options, std::string* error,
                     std::string* warnings = nullptr);
void host_voice_close(HostVoice* host);

// A new utterance whose feature list shows the voice's features and whose
// function list holds the voice's feature functions.
Utterance* host_utterance_new(const Voice* voice);
