// selvana phones: the phone list the voice gives each word of a text.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/item.h"
#include "core/value.h"
#include "cli/args.h"
#include "cli/commands.h"
#include "cli/input.h"
#include "host/text_io.h"
#include "host/tokens.h"
#include "host/voice_host.h"
#include "host/words.h"

namespace {

constexpr char kWho[] = "selvana phones";

void usage(FILE* out) {
  fprintf(out,
          "usage: selvana phones [--voice DIR] [--module PATH] [TEXT...]\n"
          "\n"
          "Reads the text into words as the voice does, groups them into phrases at\n"
          "punctuation, and prints one line per word: the word, a tab, then its phone\n"
          "list as the voice's wordtosegments_func returns it, elements separated by\n"
          "single spaces (\"-\" between syllables, \"1\" on the stressed vowel).  The\n"
          "text is the arguments joined by spaces, or standard input when there are\n"
          "none; input and output are UTF-8.\n"
          "\n"
          "Options:\n"
          "  --voice DIR    voice directory (default: the one next to the tool)\n"
          "  --module PATH  voice module (default: the one next to the tool)\n"
          "  --help         show this text\n");
}

}  // namespace

int cmd_phones(int argc, char** argv) {
  HostOptions options;
  std::string error;
  std::vector<std::string> texts;
  std::vector<CliArg> args;
  if (CliStatus st = cli_parse_host(argc, argv, kWho, {}, &args, &texts, &options); st != CliStatus::kRun)
    return cli_exit(st, usage);
  std::string text = cli_input_latin9(kWho, texts);

  HostVoice host;
  if (!cli_voice_open(kWho, &host, options)) return 1;
  Utterance* utterance = host_utterance_new(host.voice);
  ItemFunc to_segments = utterance_wordtosegments_function(utterance);
  if (!utterance_token_function(utterance) || !to_segments) {
    fprintf(stderr, "%s: the voice has no %s\n", kWho,
            to_segments ? "tokentowords_func" : "wordtosegments_func");
    utterance_delete(utterance);
    host_voice_close(&host);
    return 1;
  }
  tokenize_text(utterance, text.c_str());
  Relation* words = tokens_to_words(utterance);
  build_phrases(utterance);
  std::string line;
  for (Item* word = words->head; word; word = word->next) {
    Value* phones = to_segments(word);
    const Value* name = item_feature(word, "name");
    line = latin9_to_utf8(value_type(name) == kTypeString ? value_string(name) : "");
    line += '\t';
    for (const Value* c = phones; c; c = value_cdr(c)) {
      const Value* phone = value_car(c);
      if (value_type(phone) != kTypeString) continue;
      if (c != phones) line += ' ';
      line += value_string(phone);
    }
    line += '\n';
    fputs(line.c_str(), stdout);
    value_release(phones);
  }
  utterance_delete(utterance);
  host_voice_close(&host);
  return 0;
}
