// Language setup of the Brazilian Portuguese voice: tokenizer sets, the
// front-end hooks, phone conversions, the phoneset and the feature functions.
#include "voice/voice.h"

void voice_setup_pt_br(Voice* voice) {
  Features* f = voice->features;
  features_set_string(f, "encoding", "ISO-8859-15");
  features_set_string(f, "language_name", "Brazilian Portuguese");
}
