// Language setup of the Brazilian Portuguese voice: tokenizer sets, the
// front-end hooks, phone conversions, the phoneset and the feature functions.
#include "voice/voice.h"

#include "lang_pt_br/tokenstream.h"

void voice_setup_pt_br(Voice* voice) {
  Features* f = voice->features;
  features_set_string(f, "encoding", "ISO-8859-15");
  features_set_string(f, "language_name", "Brazilian Portuguese");
  // Tokenizer sets the host splits text with (no prepunctuation set).
  features_set_string(f, "text_postpunctuation", pt_br_text_postpunctuation);
  features_set_string(f, "text_singlecharsymbols", pt_br_text_singlecharsymbols);
  features_set_string(f, "text_whitespace", pt_br_text_whitespace);
}
