// The text a subcommand reads.
#pragma once

#include <string>
#include <vector>

// The arguments joined by single spaces, or all of standard input when there
// are none.
std::string cli_input_text(const std::vector<std::string>& args);

// The same converted for the module, what it cannot hold reported on
// standard error under the subcommand's name.
std::string cli_input_latin9(const char* who, const std::vector<std::string>& args);
