// selvana segments: the segments of a text with their end times.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/item.h"
#include "core/path.h"
#include "core/value.h"
#include "cli/args.h"
#include "cli/commands.h"
#include "cli/input.h"
#include "host/phrasing.h"
#include "host/text_io.h"
#include "host/tokens.h"
#include "host/voice_host.h"
#include "host/words.h"

namespace {

constexpr char kWho[] = "selvana segments";

void usage(FILE* out) {
  fprintf(out,
          "usage: selvana segments [--verbose] [--voice DIR] [--module PATH] [TEXT...]\n"
          "\n"
          "Runs the voice's front end and prosody on the text and prints one line per\n"
          "segment: the phone name, a tab, and the segment's end in seconds with three\n"
          "decimals.  Pauses (\"pau\") stand at the start and after every phrase.  The\n"
          "text is the arguments joined by spaces, or standard input when there are\n"
          "none; input and output are UTF-8.\n"
          "\n"
          "Options:\n"
          "  --verbose      add three columns: the segment's word, its syllable's\n"
          "                 stress and the syllable's endtone (\"-\" where there is none)\n"
          "  --voice DIR    voice directory (default: the one next to the tool)\n"
          "  --module PATH  voice module (default: the one next to the tool)\n"
          "  --help         show this text\n");
}

// A stored feature of the item as text, or "-" when the item or the feature
// is missing.
std::string feature_text(const Item* item, const char* name) {
  const Value* v = item_feature(item, name);
  switch (value_type(v)) {
    case kTypeString: return latin9_to_utf8(value_string(v));
    case kTypeInt: return std::to_string(value_int(v));
    default: return "-";
  }
}

}  // namespace

int cmd_segments(int argc, char** argv) {
  HostOptions options;
  std::string error;
  std::vector<std::string> texts;
  bool verbose = false;
  std::vector<CliArg> args;
  if (CliStatus st = cli_parse_host(argc, argv, kWho, {{1, "--verbose", false}}, &args, &texts, &options);
      st != CliStatus::kRun)
    return cli_exit(st, usage);
  for (const CliArg& a : args) verbose = verbose || a.id == 1;
  std::string text = cli_input_latin9(kWho, texts);

  HostVoice host;
  if (!cli_voice_open(kWho, &host, options)) return 1;
  Utterance* utterance = host_utterance_new(host.voice);
  const char* missing = !utterance_token_function(utterance)            ? "tokentowords_func"
                        : !utterance_wordtosegments_function(utterance) ? "wordtosegments_func"
                                                                        : nullptr;
  bool ok = !missing;
  if (missing) error = std::string("the voice has no ") + missing;
  if (ok) {
    tokenize_text(utterance, text.c_str());
    tokens_to_words(utterance);
    build_phrases(utterance);
    words_to_segments(utterance);
    ok = prosody_stage(utterance, &error);
  }
  if (!ok) {
    fprintf(stderr, "%s: %s\n", kWho, error.c_str());
    utterance_delete(utterance);
    host_voice_close(&host);
    return 1;
  }
  std::string line;
  char end[32];
  for (Item* seg = utterance_relation(utterance, "Segment")->head; seg; seg = item_next(seg)) {
    line = feature_text(seg, "name");
    snprintf(end, sizeof end, "\t%.3f", item_feature_present(seg, "end") ? item_feature_float(seg, "end") : 0.0f);
    line += end;
    if (verbose) {
      Item* syl = feature_path_item(seg, "R:SylStructure.parent");
      line += '\t' + feature_text(feature_path_item(seg, "R:SylStructure.parent.parent"), "name");
      line += '\t' + feature_text(syl, "stress");
      line += '\t' + feature_text(syl, "endtone");
    }
    line += '\n';
    fputs(line.c_str(), stdout);
  }
  utterance_delete(utterance);
  host_voice_close(&host);
  return 0;
}
