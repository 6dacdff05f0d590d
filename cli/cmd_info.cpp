// selvana info: every feature of the registered voice.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/commands.h"
#include "host/voice_host.h"

namespace {

// Printable form of a module text: control bytes and bytes that do not form
// UTF-8 are escaped, so that every feature stays on its own line.
std::string printable(const char* text) {
  std::string out;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  while (*p) {
    unsigned char c = *p;
    int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    bool utf8 = len > 1;
    for (int k = 1; utf8 && k < len; ++k) utf8 = (p[k] & 0xc0) == 0x80;
    if (c == '\t') out += "\\t";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\\') out += "\\\\";
    else if (c < 0x20 || c == 0x7f || (c >= 0x80 && !utf8)) {
      char esc[8];
      snprintf(esc, sizeof esc, "\\x%02x", c);
      out += esc;
    } else {
      int n = c < 0x80 ? 1 : len;
      out.append(reinterpret_cast<const char*>(p), static_cast<size_t>(n));
      p += n;
      continue;
    }
    ++p;
  }
  return out;
}

void usage(FILE* out) {
  fprintf(out,
          "usage: selvana info [--voice DIR] [--module PATH]\n"
          "\n"
          "Registers the voice and prints each of its features on one line:\n"
          "name, tab, type, tab, value (objects show their type name).\n");
}

}  // namespace

int cmd_info(int argc, char** argv) {
  HostOptions options;
  std::string error;
  std::vector<CliArg> args;
  std::vector<std::string> operands;
  if (CliStatus st = cli_parse_host(argc, argv, "selvana info", {}, &args, &operands, &options); st != CliStatus::kRun)
    return cli_exit(st, usage);
  if (!operands.empty()) {
    fprintf(stderr, "selvana info: unexpected argument '%s' (try --help)\n", operands[0].c_str());
    return 2;
  }
  HostVoice host;
  if (!cli_voice_open("selvana info", &host, options)) return 1;
  std::vector<const FeaturePair*> pairs;
  for (const FeaturePair* p = host.voice->features->head; p; p = p->next) pairs.push_back(p);
  for (const FeaturePair* p : pairs) {
    int type = value_type(p->val);
    const char* type_name = type == 0 ? "list" : value_type_name(type);
    std::string shown;
    switch (type) {
      case kTypeInt: shown = std::to_string(value_int(p->val)); break;
      case kTypeFloat: {
        char buf[32];
        snprintf(buf, sizeof buf, "%g", static_cast<double>(value_float(p->val)));
        shown = buf;
        break;
      }
      case kTypeString: shown = printable(value_string(p->val) ? value_string(p->val) : ""); break;
      default: shown = type_name; break;
    }
    printf("%s\t%s\t%s\n", p->name, type_name, shown.c_str());
  }
  host_voice_close(&host);
  return 0;
}
