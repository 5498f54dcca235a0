#include "inputs.h"

#include "catalogfile/cataloguefile.h"
#include "catalogue/recordset.h"
#include "catalogue/volumes.h"
#include "catalogue/walk.h"
#include "library/library.h"
#include "output.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <malloc.h>
#include <unistd.h>

namespace trv {

bool checkDirectories(const std::vector<std::string> &dirs)
{
    for (const std::string &dir : dirs) {
        const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            complain("cannot read directory '%s': %s", dir.c_str(), std::strerror(errno));
            return false;
        }
        ::close(fd);
    }
    return true;
}

// The lexically normal path when it names the same folder, else the one the kernel resolves
// (a link before "..").
std::string normalRoot(const std::string &dir)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path lexical = fs::absolute(dir, error).lexically_normal();
    if (!error && fs::equivalent(lexical, dir, error))
        return lexical.string();
    const fs::path real = fs::canonical(dir, error);
    return error ? dir : real.string();
}

std::unique_ptr<RecordSet> openCatalogue(const std::string &path)
{
    std::string error;
    std::unique_ptr<RecordSet> catalogue = cataloguefile::open(path, error);
    if (!catalogue)
        complain("cannot open the catalogue file '%s': %s", path.c_str(), error.c_str());
    return catalogue;
}

void walkInto(RecordSet &catalogue, Volumes &volumes, const std::string &dir, const KnownListings *known)
{
    WalkState state;
    DirectoryWalk walk(catalogue, state);
    walk.setKnownListings(known);
    // Listings are made and freed on other threads, whose heaps keep the freed pages: handing
    // them back now and then keeps a large walk's peak close to what its records need.
    walk.setProgress([](qint64 files) {
        if (files % 100000 == 0)
            malloc_trim(0);
    });
    volumes.walk(walk, catalogue, normalRoot(dir));
}

int saveCatalogueFile(const RecordSet &catalogue, const Volumes &volumes, const std::string &file,
                      const std::string &digestsFrom)
{
    std::string error;
    const atomicfile::Outcome outcome = cataloguefile::save(catalogue, volumes, file, error, digestsFrom);
    return savedAs(outcome, file, error);
}

int savedAs(atomicfile::Outcome outcome, const std::string &file, const std::string &error)
{
    switch (outcome) {
    case atomicfile::Outcome::Replaced:
        return kSuccess;
    case atomicfile::Outcome::Unsynced:
        complain("saved the catalogue to '%s', but it is not yet known to be on disk: %s", file.c_str(), error.c_str());
        return kFailed;
    case atomicfile::Outcome::Failed:
        break;
    }
    complain("cannot save the catalogue to '%s': %s", file.c_str(), error.c_str());
    return kFailed;
}

std::vector<std::string> libraryFiles(const std::vector<std::string> &inputs, bool &skipped)
{
    std::vector<std::string> unusable;
    std::vector<std::string> files =
        library::catalogueFiles(inputs.empty() ? std::vector{library::defaultFolder()} : inputs, unusable);
    for (const std::string &u : unusable)
        complain("%s", u.c_str());
    skipped = skipped || !unusable.empty();
    return files;
}

} // namespace trv
