// trv hash [FILE|FOLDER...]: takes and keeps the content digest of every file of the
// catalogues whose volume is mounted. trv verify [FILE|FOLDER...]: reads them again and names
// every file whose content no longer gives its digest while its size and time are unchanged.
#include "catalogued.h"
#include "commands.h"
#include "escape.h"
#include "output.h"

#include <CLI/CLI.hpp>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace trv {
namespace {

struct Arguments {
    std::vector<std::string> inputs;
};

struct Tally {
    long long done = 0, already = 0, offline = 0, leftOut = 0, damaged = 0, changed = 0;
    std::int64_t bytes = 0;
};

// Commits often enough that a run killed loses little, seldom enough to cost nothing.
class Batches {
public:
    explicit Batches(cataloguefile::HashStore &store) : m_store(store) {}
    bool put(const std::string &path, const content::Stamp &s, const content::Digest &d, std::string &error)
    {
        if (!m_store.put(path, {s.size, s.modifiedNs, s.inode, digestBytes(d)}, error))
            return false;
        return std::chrono::steady_clock::now() < m_next || commit(error);
    }
    bool commit(std::string &error)
    {
        m_next = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        return m_store.commit(error);
    }

private:
    cataloguefile::HashStore &m_store;
    std::chrono::steady_clock::time_point m_next = std::chrono::steady_clock::now() + std::chrono::seconds(1);
};

// The file's stamp now; false, counted and said where it cannot be read.
bool stampNow(const std::string &path, content::Stamp &s, Tally &t)
{
    std::string error;
    const content::Read r = content::stampOf(path, s, error);
    if (r != content::Read::Ok) {
        complain("left out '%s': %s", path.c_str(), error.empty() ? "it is gone" : error.c_str());
        ++t.leftOut;
    }
    return r == content::Read::Ok;
}

// Says why a file that changed or could not be read is left out, and counts it.
void leaveOut(const std::string &path, const std::string &error, Tally &t)
{
    complain("left out '%s': %s", path.c_str(), error.empty() ? "it changed while it was read" : error.c_str());
    ++t.leftOut;
}

// Hashes the files of one catalogue, which follow each other in lib.files from `first` on.
bool hashCatalogue(const Catalogued &lib, std::size_t first, std::size_t end, Tally &t)
{
    cataloguefile::HashStore store;
    std::string error;
    const std::string &file = lib.catalogues[lib.files[first].catalogue].file;
    if (!store.open(file, error))
        return complain("cannot keep digests in '%s': %s", file.c_str(), error.c_str()), false;
    Batches batches(store);
    for (std::size_t i = first; i < end; ++i) {
        const CataloguedFile &f = lib.files[i];
        if (!f.online) {
            ++t.offline;
            continue;
        }
        const std::string path = lib.pathOf(f);
        content::Stamp s;
        content::Digest d;
        if (!stampNow(path, s, t))
            continue;
        if (lib.storedFor(f, path, s)) {
            ++t.already;
            continue;
        }
        if (content::fullDigest(path, s, d, error) != content::Read::Ok) {
            leaveOut(path, error, t);
            continue;
        }
        if (!batches.put(path, s, d, error))
            return complain("cannot keep digests in '%s': %s", file.c_str(), error.c_str()), false;
        ++t.done, t.bytes += s.size;
    }
    return batches.commit(error) || (complain("cannot keep digests in '%s': %s", file.c_str(), error.c_str()), false);
}

int hash(const Arguments &a)
{
    Catalogued lib = loadCatalogued(a.inputs, true);
    Tally t;
    bool ok = !lib.skipped;
    for (std::size_t first = 0, end = 0; first < lib.files.size(); first = end) {
        while (end < lib.files.size() && lib.files[end].catalogue == lib.files[first].catalogue)
            ++end;
        ok = hashCatalogue(lib, first, end, t) && ok;
    }
    std::printf("%lld files hashed (%lld bytes), %lld had a digest already, %lld of volumes not mounted, "
                "%lld left out\n",
                t.done, (long long)t.bytes, t.already, t.offline, t.leftOut);
    return printed(std::fflush(stdout) == 0, "summary") != kSuccess ? kFailed : ok ? kSuccess : kError;
}

// Reads one file with a kept digest again; counts what it found.
void verifyFile(const std::string &path, const cataloguefile::StoredDigest &kept, Tally &t, std::string &out)
{
    content::Stamp s;
    content::Digest d, was;
    std::string error;
    if (!stampNow(path, s, t) || !digestFromBytes(kept.digest, was))
        return;
    if (s.size != kept.size || s.modifiedNs != kept.modifiedNs) {
        ++t.changed; // an ordinary change: its digest is out of date, not wrong
        return;
    }
    if (content::fullDigest(path, s, d, error) != content::Read::Ok)
        return leaveOut(path, error, t);
    ++t.done, t.bytes += s.size;
    if (d == was)
        return;
    ++t.damaged;
    out += "damaged\t";
    appendEscaped(out, path);
    out += '\n';
}

int verify(const Arguments &a)
{
    const Catalogued lib = loadCatalogued(a.inputs, true);
    Tally t;
    std::string out;
    for (const CataloguedFile &f : lib.files) {
        const auto &kept = lib.catalogues[f.catalogue].digests;
        const std::string path = lib.pathOf(f);
        const auto it = kept.find(cataloguefile::pathKey(path));
        if (it == kept.end())
            continue;
        if (!f.online)
            ++t.offline;
        else
            verifyFile(path, it->second, t, out);
    }
    out += std::to_string(t.done) + " files read again, " + std::to_string(t.damaged) +
           " damaged (content changed, size and time not), " + std::to_string(t.changed) +
           " changed since they were hashed, " + std::to_string(t.offline) + " of volumes not mounted, " +
           std::to_string(t.leftOut) + " left out\n";
    if (printed(write(out), "report") != kSuccess)
        return kFailed;
    return t.damaged ? kFailed : lib.skipped ? kError : kSuccess;
}

Run defineHash(CLI::App &command)
{
    auto a = std::make_shared<Arguments>();
    command.add_option("FILE", a->inputs);
    return [a] { return hash(*a); };
}

Run defineVerify(CLI::App &command)
{
    auto a = std::make_shared<Arguments>();
    command.add_option("FILE", a->inputs);
    return [a] { return verify(*a); };
}

} // namespace

constinit const Command hashCommand{
    "hash",
    "usage: trv hash [FILE|FOLDER...]\n"
    "  Takes the content digest (XXH3-128) of every file of the catalogue files (the library\n"
    "  unless named) whose volume is mounted, and keeps it in the catalogue file with the\n"
    "  size, time and inode it was taken for. Killed, the next run goes on where it stopped.\n",
    defineHash,
};

constinit const Command verifyCommand{
    "verify",
    "usage: trv verify [FILE|FOLDER...]\n"
    "  Reads every file with a kept digest again and prints each whose content changed while\n"
    "  its size and time did not (damage, not an edit). Exit 0 when none, 1 when some.\n",
    defineVerify,
};

} // namespace trv
