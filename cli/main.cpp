// selvana: the command-line face of the host engine.
#include <cstdio>
#include <cstring>

#include "cli/commands.h"
#include "host/host_os.h"

namespace {

struct Command {
  const char* name;
  int (*run)(int, char**);
  const char* summary;
};

constexpr Command kCommands[] = {
    {"say", cmd_say, "speak a text into a WAV file"},
    {"info", cmd_info, "print every feature of the registered voice"},
    {"unit-decode", cmd_unit_decode, "decode one unit audio record of a database to PCM"},
    {"silk-decode", cmd_silk_decode, "decode a SILK packet file to 16-bit PCM"},
    {"words", cmd_words, "print the words the voice reads for each token of a text"},
    {"segments", cmd_segments, "print the segments of a text with their end times"},
    {"phones", cmd_phones, "print the phone list the voice gives each word of a text"},
    {"xsampa", cmd_xsampa, "convert an X-SAMPA transcription to the voice's phones"},
};

void usage(FILE* out) {
  fprintf(out,
          "usage: selvana <command> [options] [arguments]\n"
          "\n"
          "Commands:\n");
  for (const Command& c : kCommands) fprintf(out, "  %-14s %s\n", c.name, c.summary);
  fprintf(out,
          "\n"
          "Common options: --voice DIR (voice directory), --module PATH (voice module).\n"
          "Run 'selvana <command> --help' for a command's own options.\n");
}

}  // namespace

int main(int argc, char** argv) {
  os_main_setup(&argc, &argv);
  if (argc < 2) {
    usage(stderr);
    return 2;
  }
  if (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0 || strcmp(argv[1], "help") == 0) {
    usage(stdout);
    return 0;
  }
  for (const Command& c : kCommands)
    if (strcmp(argv[1], c.name) == 0) return c.run(argc - 1, argv + 1);
  fprintf(stderr, "selvana: unknown command '%s' (try 'selvana --help')\n", argv[1]);
  return 2;
}
