#include "arguments.h"

#include "output.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <utility>
#include <vector>

namespace trv {
namespace {

void usage(std::span<const Command *const> commands, std::FILE *to)
{
    std::fputs("usage: trv --help | --version\n"
               "  Prints this text, or the version.\n",
               to);
    for (const Command *command : commands)
        std::fputs(command->usage, to);
    std::fputs("Escapes: a value never holds a raw tab, line break or other control character.\n"
               "  \\t \\n \\r and \\\\ stand for tab, line feed, carriage return and backslash;\n"
               "  \\xHH for any other control character (HH: two hex digits of its code);\n"
               "  \\u{85} \\u{2028} \\u{2029} for the Unicode line and paragraph separators.\n",
               to);
}

// Asked-for output that cannot be written is no success.
int answered(std::span<const Command *const> commands, bool help)
{
    if (help)
        usage(commands, stdout);
    else
        std::fputs("trv " TARVOLO_VERSION "\n", stdout);
    return std::fflush(stdout) == 0 ? kSuccess : kFailed;
}

// A flag given once, as itself: no value, no repeat.
void addFlag(CLI::App &app, const char *names, bool &given)
{
    app.add_flag(names, given)->disable_flag_override()->multi_option_policy(CLI::MultiOptionPolicy::Throw);
}

} // namespace

int runCommandLine(std::span<const Command *const> commands, int argc, char **argv)
{
    CLI::App app;
    app.set_help_flag(); // the usage is trv's own, and subcommands inherit none
    app.require_subcommand(0, 1);
    bool help = false, version = false;
    addFlag(app, "-h,--help", help);
    addFlag(app, "--version", version);
    std::vector<std::pair<CLI::App *, Run>> defined;
    for (const Command *command : commands) {
        CLI::App *subcommand = app.add_subcommand(command->name);
        defined.emplace_back(subcommand, command->define(*subcommand));
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &) {
        usage(commands, stderr);
        return kError;
    }
    if ((help || version) && argc == 2)
        return answered(commands, help);
    for (const auto &[subcommand, run] : defined)
        if (subcommand->parsed() && !help && !version)
            return run();
    usage(commands, stderr);
    return kError;
}

} // namespace trv
