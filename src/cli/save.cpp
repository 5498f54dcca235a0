// trv save -o FILE DIR...: walks the folders into one catalogue and saves it as a file.
#include "catalogfile/cataloguefile.h"
#include "catalogue/layouts.h"
#include "catalogue/volumes.h"
#include "catalogue/walk.h"
#include "commands.h"
#include "inputs.h"
#include "output.h"

#include <CLI/CLI.hpp>
#include <malloc.h>
#include <memory>
#include <string>
#include <vector>

namespace trv {
namespace {

struct Arguments {
    std::string file;
    std::vector<std::string> dirs;
};

void walkInto(RecordSet &catalogue, Volumes &volumes, const std::string &dir)
{
    WalkState state;
    DirectoryWalk walk(catalogue, state);
    // Listings are made and freed on other threads, whose heaps keep the freed pages: handing
    // them back now and then keeps a large walk's peak close to what its records need.
    walk.setProgress([](qint64 files) {
        if (files % 100000 == 0)
            malloc_trim(0);
    });
    volumes.walk(walk, catalogue, normalRoot(dir));
}

int save(const Arguments &arguments)
{
    if (!checkDirectories(arguments.dirs))
        return kError;
    RecordSet catalogue;
    CreateRecordSet(catalogue);
    Volumes volumes;
    for (const std::string &dir : arguments.dirs)
        walkInto(catalogue, volumes, dir);
    const char *file = arguments.file.c_str();
    std::string error;
    switch (cataloguefile::save(catalogue, volumes, arguments.file, error)) {
    case atomicfile::Outcome::Replaced:
        return kSuccess;
    case atomicfile::Outcome::Unsynced:
        complain("saved the catalogue to '%s', but it is not yet known to be on disk: %s", file, error.c_str());
        return kFailed;
    case atomicfile::Outcome::Failed:
        break;
    }
    complain("cannot save the catalogue to '%s': %s", file, error.c_str());
    return kFailed;
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
