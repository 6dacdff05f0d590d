// Language setup of the Brazilian Portuguese voice: tokenizer sets, the
// front-end hooks, phone conversions, the phoneset and the feature functions.
#include "voice/voice.h"

#include "core/featfuncs.h"
#include "core/path.h"
#include "lang_pt_br/phoneset_pt_br.h"
#include "lang_pt_br/phrasing.h"
#include "lang_pt_br/pos.h"
#include "lang_pt_br/postlex.h"
#include "lang_pt_br/token_to_words.h"
#include "lang_pt_br/tokenstream.h"
#include "lang_pt_br/word_to_segments.h"
#include "lang_pt_br/xsampa.h"

void voice_setup_pt_br(Voice* voice) {
  Features* f = voice->features;
  features_set_string(f, "encoding", "ISO-8859-15");
  features_set_string(f, "language_name", "Brazilian Portuguese");
  features_set(f, "phoneset", value_new_phoneset(const_cast<Phoneset*>(&phoneset_pt_br)));
  features_set_string(f, "silence", phoneset_pt_br.silence);
  // Tokenizer sets the host splits text with (no prepunctuation set).
  features_set_string(f, "text_postpunctuation", pt_br_text_postpunctuation);
  features_set_string(f, "text_singlecharsymbols", pt_br_text_singlecharsymbols);
  features_set_string(f, "text_whitespace", pt_br_text_whitespace);
  features_set(f, "tokentowords_func", value_new_itemfunc(reinterpret_cast<void*>(&token_to_words)));
  features_set(f, "wordtosegments_func", value_new_itemfunc(reinterpret_cast<void*>(&wordtosegments_func)));
  features_set(f, "syl_boundaript_br_func", value_new_phonefunc(reinterpret_cast<void*>(&syllabify)));
  features_set(f, "postlex_func", value_new_uttfunc(reinterpret_cast<void*>(&postlex_func)));
  features_set(f, "xsampa_to_xkelto_func", value_new_xsampafunc(reinterpret_cast<void*>(&xsampa_to_xkelto_func)));
  features_set(f, "xkelto_to_xsampa_rules", value_new_userdata(const_cast<LtsRule*>(xkelto_to_xsampa_rules)));
  features_set(f, "phrasesylendtone_func", value_new_itemfunc(reinterpret_cast<void*>(&phrasesylendtone_func)));
  // Feature functions: the standard set, then the language's own.
  register_feature_functions(voice->feature_functions);
  feature_function_register(voice->feature_functions, "gpos", gpos);
  feature_function_register(voice->feature_functions, "ph_vcar", ph_vcar);
}
