// trv save -o FILE DIR...: walks the folders into one catalogue and saves it as a file.
#include "catalogfile/cataloguefile.h"
#include "catalogue/layouts.h"
#include "catalogue/volumes.h"
#include "commands.h"
#include "inputs.h"
#include "output.h"

#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

namespace trv {
namespace {

struct Arguments {
    std::string file;
    std::vector<std::string> dirs;
};

int save(const Arguments &arguments)
{
    if (!checkDirectories(arguments.dirs))
        return kError;
    RecordSet catalogue;
    CreateRecordSet(catalogue);
    Volumes volumes;
    volumes.keepListings = true; // for trv update
    for (const std::string &dir : arguments.dirs)
        walkInto(catalogue, volumes, dir);
    return saveCatalogueFile(catalogue, volumes, arguments.file);
}

Run define(CLI::App &command)
{
    auto arguments = std::make_shared<Arguments>();
    command.add_option("-o", arguments->file)->required();
    command.add_option("DIR", arguments->dirs)->required();
    return [arguments] { return save(*arguments); };
}

} // namespace

constinit const Command saveCommand{
    "save",
    "usage: trv save -o FILE DIR...\n"
    "  Walks each DIR into one catalogue and saves it as the catalogue file FILE.\n",
    define,
};

} // namespace trv
