#include "cli/args.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "host/voice_host.h"

const CliOption kCliVoiceOption = {kCliVoice, "--voice", true};
const CliOption kCliModuleOption = {kCliModule, "--module", true};

namespace {

// Whether `spelling` is one of the "|"-separated `names`.
bool named(const char* names, const std::string& spelling) {
  const char* p = names;
  while (*p) {
    const char* end = strchr(p, '|');
    const size_t n = end ? static_cast<size_t>(end - p) : strlen(p);
    if (n == spelling.size() && spelling.compare(0, n, p, n) == 0) return true;
    if (!end) break;
    p = end + 1;
  }
  return false;
}

bool operand(const char* a) {
  return a[0] != '-' || a[1] == '\0' || (a[1] >= '0' && a[1] <= '9');
}

}  // namespace

CliStatus cli_parse(int argc, char** argv, const char* who, const std::vector<CliOption>& options,
                    std::vector<CliArg>* taken, std::vector<std::string>* operands) {
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (options_done || operand(a)) {
      operands->push_back(a);
      continue;
    }
    if (strcmp(a, "--") == 0) {
      options_done = true;
      continue;
    }
    if (strcmp(a, "-h") == 0 || strcmp(a, "--help") == 0) return CliStatus::kHelp;
    std::string spelling = a, value;
    bool inline_value = false;
    if (a[1] == '-') {
      // --name=value
      if (const char* eq = strchr(a, '=')) {
        spelling.assign(a, eq);
        value = eq + 1;
        inline_value = true;
      }
    }
    const CliOption* found = nullptr;
    for (const CliOption& o : options)
      if (named(o.names, spelling)) found = &o;
    if (!found && a[1] != '-' && a[2] != '\0') {
      // -oVALUE
      for (const CliOption& o : options)
        if (o.takes_value && named(o.names, spelling.substr(0, 2))) {
          found = &o;
          value = spelling.substr(2);
          spelling = spelling.substr(0, 2);
          inline_value = true;
        }
    }
    if (!found) {
      fprintf(stderr, "%s: unknown option '%s' (try --help)\n", who, a);
      return CliStatus::kBadUsage;
    }
    if (!found->takes_value && inline_value) {
      fprintf(stderr, "%s: %s takes no value (try --help)\n", who, spelling.c_str());
      return CliStatus::kBadUsage;
    }
    if (found->takes_value && !inline_value) {
      if (i + 1 >= argc) {
        fprintf(stderr, "%s: %s needs a value (try --help)\n", who, a);
        return CliStatus::kBadUsage;
      }
      value = argv[++i];
    }
    taken->push_back({found->id, value});
  }
  return CliStatus::kRun;
}

bool cli_long(const char* who, const char* what, const std::string& text, long low, long high, long* out) {
  errno = 0;
  char* end = nullptr;
  const long v = text.empty() ? 0 : strtol(text.c_str(), &end, 10);
  if (text.empty() || *end || errno == ERANGE || v < low || v > high) {
    fprintf(stderr, "%s: %s \"%s\" is not a whole number from %ld to %ld (try --help)\n", who, what, text.c_str(), low,
            high);
    return false;
  }
  *out = v;
  return true;
}

bool cli_double(const char* who, const char* what, const std::string& text, double low, double high, double* out) {
  errno = 0;
  char* end = nullptr;
  const double v = text.empty() ? 0 : strtod(text.c_str(), &end);
  if (text.empty() || *end || errno == ERANGE || !std::isfinite(v) || v < low || v > high) {
    fprintf(stderr, "%s: %s \"%s\" is not a number from %g to %g (try --help)\n", who, what, text.c_str(), low, high);
    return false;
  }
  *out = v;
  return true;
}

int cli_exit(CliStatus status, void (*usage)(FILE*)) {
  if (status == CliStatus::kHelp) {
    usage(stdout);
    return 0;
  }
  return 2;
}

CliStatus cli_parse_host(int argc, char** argv, const char* who, std::vector<CliOption> options,
                         std::vector<CliArg>* taken, std::vector<std::string>* operands, HostOptions* host) {
  options.push_back(kCliVoiceOption);
  options.push_back(kCliModuleOption);
  CliStatus st = cli_parse(argc, argv, who, options, taken, operands);
  for (const CliArg& a : *taken) {
    if (a.id == kCliVoice) host->voice = a.value;
    if (a.id == kCliModule) host->module = a.value;
  }
  return st;
}

bool cli_voice_open(const char* who, HostVoice* host, const HostOptions& options) {
  std::string error, warnings;
  if (!host_voice_open(host, options, &error, &warnings)) {
    fprintf(stderr, "%s: %s\n", who, error.c_str());
    return false;
  }
  if (!warnings.empty()) fprintf(stderr, "%s: %s%s", who, warnings.c_str(), warnings.back() == '\n' ? "" : "\n");
  return true;
}
