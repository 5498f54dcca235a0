// trv drives: the drive list's lines, each with its root path after a tab.
#include "catalogue/drivelist.h"
#include "commands.h"
#include "escape.h"
#include "output.h"

#include <CLI/CLI.hpp>
#include <string>

namespace trv {
namespace {

int drives()
{
    DriveTables tables;
    const QStringList lines = GetDrives(tables);
    std::string out;
    for (qsizetype p = 0; p < lines.size(); ++p) {
        appendEscaped(out, lines[p].toStdString());
        out.push_back('\t');
        appendEscaped(out, DriveRootPath(tables.DriveRoots[std::size_t(p)]));
        out.push_back('\n');
    }
    return printed(write(out), "drives");
}

Run define(CLI::App &)
{
    return drives;
}

} // namespace

constinit const Command drivesCommand{
    "drives",
    "usage: trv drives\n"
    "  Prints the drive list, one line per drive, and its root path after a tab.\n",
    define,
};

} // namespace trv
