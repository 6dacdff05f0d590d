// selvana-pron: prints the phone list of every word read from standard input
// (one ISO-8859-15 word a line) as "word<TAB>phones", phones separated by
// spaces.  The comparison scripts of tools/pron drive it.
//
//   --final     read every word as the last word of its phrase
//   --no-lists  plain letter-to-sound, syllables, stress and the context
//               rule for open vowels, without the open and close word lists
//               (words with "-" or "." are skipped)
#include <cstdio>
#include <cstring>

#include "core/value.h"
#include "lang_pt_br/lts.h"
#include "lang_pt_br/phoneset_pt_br.h"
#include "lang_pt_br/word_to_segments.h"

int main(int argc, char** argv) {
  int phrase_final = 0;
  bool no_lists = false;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--final") == 0) phrase_final = 1;
    else if (strcmp(argv[i], "--no-lists") == 0) no_lists = true;
  }
  char line[1024];
  while (fgets(line, sizeof line, stdin)) {
    size_t n = strlen(line);
    while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = '\0';
    if (n == 0) continue;
    Value* phones = nullptr;
    if (!no_lists) {
      phones = word_to_phones(&phoneset_pt_br, line, phrase_final);
    } else if (!strchr(line, '-') && !strchr(line, '.')) {
      phones = assign_stress(&phoneset_pt_br, line, syllabify(lts_word(line)), phrase_final);
      open_mid_vowels(&phoneset_pt_br, "", phones);  // "" is in neither word list
    }
    fputs(line, stdout);
    fputc('\t', stdout);
    for (const Value* c = phones; c; c = value_cdr(c)) {
      fputs(value_string(value_car(c)), stdout);
      if (value_cdr(c)) fputc(' ', stdout);
    }
    fputc('\n', stdout);
    value_release(phones);
  }
  return 0;
}
