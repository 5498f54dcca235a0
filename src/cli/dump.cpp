// trv dump FILE: prints a catalogue file's records as trv scan prints them.
#include "catalogue/recordset.h"
#include "commands.h"
#include "inputs.h"
#include "output.h"
#include "records.h"

#include <CLI/CLI.hpp>
#include <memory>
#include <string>

namespace trv {
namespace {

int dump(const std::string &file)
{
    const std::unique_ptr<RecordSet> catalogue = openCatalogue(file);
    if (!catalogue)
        return kError;
    bufferStdout();
    return printed(printRecords(*catalogue), "records");
}

Run define(CLI::App &command)
{
    auto file = std::make_shared<std::string>();
    command.add_option("FILE", *file)->required();
    return [file] { return dump(*file); };
}

} // namespace

constinit const Command dumpCommand{
    "dump",
    "usage: trv dump FILE\n"
    "  Prints the records of the catalogue file FILE as trv scan prints them.\n",
    define,
};

} // namespace trv
