// selvana xsampa: an X-SAMPA transcription as the voice's phone list.
#include <cstdio>
#include <cstring>
#include <string>

#include "core/item.h"
#include "core/value.h"
#include "cli/args.h"
#include "cli/commands.h"
#include "host/voice_host.h"

namespace {

constexpr char kWho[] = "selvana xsampa";

void usage(FILE* out) {
  fprintf(out,
          "usage: selvana xsampa [--voice DIR] [--module PATH] TRANSCRIPTION...\n"
          "\n"
          "Converts an X-SAMPA transcription with the voice's xsampa_to_xkelto_func\n"
          "and prints the phone list on one line, elements separated by single spaces\n"
          "(\"-\" between syllables, \"1\" on the stressed vowel).  Several arguments\n"
          "are joined by spaces.  Quote the transcription: X-SAMPA uses characters\n"
          "that the shell reads (\\ \" ' ` ~ { }).\n"
          "\n"
          "Options:\n"
          "  --voice DIR    voice directory (default: the one next to the tool)\n"
          "  --module PATH  voice module (default: the one next to the tool)\n"
          "  --help         show this text\n");
}

}  // namespace

int cmd_xsampa(int argc, char** argv) {
  HostOptions options;
  std::string error, transcription;
  bool have_text = false;
  std::vector<CliArg> args;
  std::vector<std::string> words;
  if (CliStatus st = cli_parse_host(argc, argv, kWho, {}, &args, &words, &options); st != CliStatus::kRun)
    return cli_exit(st, usage);
  for (const std::string& w : words) {
    if (have_text) transcription += ' ';
    transcription += w;
    have_text = true;
  }
  if (!have_text) {
    usage(stderr);
    return 2;
  }
  HostVoice host;
  if (!cli_voice_open(kWho, &host, options)) return 1;
  Value* fn_value = features_get(host.voice->features, "xsampa_to_xkelto_func");
  if (value_type(fn_value) != kTypeXsampaFunc) {
    fprintf(stderr, "%s: the voice has no xsampa_to_xkelto_func\n", kWho);
    host_voice_close(&host);
    return 1;
  }
  auto convert = reinterpret_cast<XsampaFunc>(value_object(fn_value, kTypeXsampaFunc));
  Value* phones = convert(transcription.c_str());
  std::string line;
  for (const Value* c = phones; c; c = value_cdr(c)) {
    const Value* phone = value_car(c);
    if (value_type(phone) != kTypeString) continue;
    if (!line.empty()) line += ' ';
    line += value_string(phone);
  }
  line += '\n';
  fputs(line.c_str(), stdout);
  value_release(phones);
  host_voice_close(&host);
  return 0;
}
