#pragma once
// The commands of trv, one file each. A command declares its operands and options on the
// subcommand the parser hands it and returns what runs it once they are parsed.
#include <functional>

namespace CLI {
class App;
}

namespace trv {

using Run = std::function<int()>;

struct Command {
    const char *name;
    const char *usage; // its lines in `trv --help`
    Run (*define)(CLI::App &command);
};

extern const Command scanCommand, drivesCommand, saveCommand, dumpCommand, reportCommand, volumesCommand, findCommand,
    exportCommand, dupsCommand, hashCommand, verifyCommand, updateCommand, diffCommand;

} // namespace trv
