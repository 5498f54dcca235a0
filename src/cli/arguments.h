#pragma once
// The argument parser every command shares.
#include "commands.h"

#include <span>

namespace trv {

// Runs the command argv names, or prints the help or the version when that alone is asked
// for. A wrong command line prints the usage on standard error and ends in kError.
[[nodiscard]] int runCommandLine(std::span<const Command *const> commands, int argc, char **argv);

} // namespace trv
