// Subcommands of the selvana tool.  Each takes the arguments after its own
// name (argv[0] is the subcommand name) and returns the exit status.
#pragma once

int cmd_info(int argc, char** argv);
int cmd_words(int argc, char** argv);
int cmd_silk_decode(int argc, char** argv);
int cmd_unit_decode(int argc, char** argv);
int cmd_phones(int argc, char** argv);
int cmd_xsampa(int argc, char** argv);
int cmd_segments(int argc, char** argv);
int cmd_say(int argc, char** argv);
