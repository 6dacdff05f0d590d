// The one argument reader of every selvana subcommand, after POSIX
// conventions: options first or mixed with operands, "--" ends the options
// (everything after it is an operand), -h and --help everywhere, a value
// after its option ("-o FILE", "--output FILE" or "--output=FILE"), and the
// same wording for every mistake.  A word that starts with "-" and a digit
// ("-5") is an operand, so that negative numbers can be read as text.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

struct CliOption {
  int id;             // what the subcommand calls it
  const char* names;  // "|"-separated spellings: "-o|--output|-w"
  bool takes_value;
};

struct CliArg {
  int id;
  std::string value;  // the option's value, "" for a flag
};

enum class CliStatus { kRun, kHelp, kBadUsage };

// Reads argv[1..argc) (argv[0] is the subcommand's name).  Bad usage is
// reported on standard error as "<who>: ..." ending in "(try --help)".
CliStatus cli_parse(int argc, char** argv, const char* who, const std::vector<CliOption>& options,
                    std::vector<CliArg>* taken, std::vector<std::string>* operands);

// The common options: --voice DIR and --module PATH.
constexpr int kCliVoice = 1000, kCliModule = 1001;
extern const CliOption kCliVoiceOption, kCliModuleOption;

struct HostOptions;
// cli_parse with --voice and --module added to `options`, read into `host`.
CliStatus cli_parse_host(int argc, char** argv, const char* who, std::vector<CliOption> options,
                         std::vector<CliArg>* taken, std::vector<std::string>* operands, HostOptions* host);

struct HostVoice;
// Loads the module and the voice; reports a failure, or what the module
// warned about, on standard error under `who`.
bool cli_voice_open(const char* who, HostVoice* host, const HostOptions& options);

// Checked numbers: the whole text must be a number within [low, high];
// otherwise false with "<who>: <what> ... (try --help)" on standard error.
bool cli_long(const char* who, const char* what, const std::string& text, long low, long high, long* out);
bool cli_double(const char* who, const char* what, const std::string& text, double low, double high, double* out);

// Runs a subcommand's usage or bad-usage exit: 0 after printing help on
// standard output, 2 for bad usage.
int cli_exit(CliStatus status, void (*usage)(FILE*));
