// The voice: its entry points and assembly.
#pragma once

#include "core/contract.h"

extern "C" {
// Registers the voice with its data directory; null when the unit database
// fails to load.
__attribute__((visibility("default"))) Voice* register_voice(const char* voxdir);
// Releases the voice with its unit database; null is ignored.
__attribute__((visibility("default"))) void unregister_voice(Voice* voice);
}

Voice* voice_new();
void voice_delete(Voice* voice);

// Installs everything that is specific to the language.
void voice_setup_pt_br(Voice* voice);
