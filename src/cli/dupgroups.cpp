#include "dupgroups.h"

#include "catalogue/columns.h"
#include "catalogue/layouts.h"
#include "duplicates/contentgroups.h"
#include "output.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <thread>
#include <unordered_map>

namespace trv {
namespace {

void mostWastedFirst(std::vector<DupGroup> &groups)
{
    std::stable_sort(groups.begin(), groups.end(),
                     [](const DupGroup &a, const DupGroup &b) { return a.wasted > b.wasted; });
}

// Candidates: files of a size that at least two files had when catalogued.
std::vector<std::size_t> sameSized(const Catalogued &lib, std::int64_t minSize)
{
    std::unordered_map<std::int64_t, int> count;
    for (const CataloguedFile &f : lib.files)
        if (f.size >= minSize)
            ++count[f.size];
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < lib.files.size(); ++i)
        if (lib.files[i].size >= minSize && count[lib.files[i].size] > 1)
            out.push_back(i);
    return out;
}

// The candidate for one file, not yet stamped.
content::Candidate describe(const Catalogued &lib, const CataloguedFile &f)
{
    content::Candidate c;
    c.path = lib.pathOf(f);
    c.volume = lib.fileSystemOf(f);
    c.online = f.online;
    return c;
}

// Each readable candidate's stamp now, taken on every core: a stat per file is most of a run
// whose digests are kept.
std::vector<content::Read> stampAll(std::vector<content::Candidate> &cands, std::vector<std::string> &errors)
{
    std::vector<content::Read> reads(cands.size(), content::Read::Ok);
    errors.assign(cands.size(), {});
    std::atomic<std::size_t> next = 0;
    auto work = [&] {
        for (std::size_t k; (k = next.fetch_add(1, std::memory_order_relaxed)) < cands.size();)
            if (cands[k].online)
                reads[k] = content::stampOf(cands[k].path, cands[k].stamp, errors[k]);
    };
    std::vector<std::jthread> others;
    for (unsigned t = 1; t < std::clamp(std::thread::hardware_concurrency(), 1u, 4u); ++t)
        others.emplace_back(work);
    work();
    return reads;
}

// Completes a stamped candidate with its kept digest; false, said, for one left out.
bool complete(const Catalogued &lib, const CataloguedFile &f, content::Candidate &c, content::Read read,
              const std::string &error, int &unknown)
{
    if (f.online) {
        if (read == content::Read::Ok)
            c.stored = lib.storedFor(f, c.path, c.stamp);
        else if (read != content::Read::Vanished || !error.empty())
            complain("left out '%s': %s", c.path.c_str(), error.empty() ? "it cannot be read" : error.c_str());
        return read == content::Read::Ok;
    }
    const auto &digests = lib.catalogues[f.catalogue].digests;
    const auto it = digests.find(cataloguefile::pathKey(c.path));
    content::Digest d;
    if (it == digests.end() || !digestFromBytes(it->second.digest, d))
        return ++unknown, false;
    c.stamp = {it->second.size, it->second.modifiedNs, 0, it->second.inode};
    c.stored = d;
    return true;
}

// Keeps the digests taken, each in the catalogue file its file came from.
void keepDigests(const Catalogued &lib, const std::vector<content::Candidate> &cands,
                 const std::vector<std::size_t> &fileOf, const content::GroupResult &result)
{
    std::map<std::uint32_t, std::vector<std::size_t>> byCatalogue;
    for (std::size_t k = 0; k < result.digests.size(); ++k)
        byCatalogue[lib.files[fileOf[result.digests[k].first]].catalogue].push_back(k);
    for (const auto &[catalogue, taken] : byCatalogue) {
        cataloguefile::HashStore store;
        std::string error;
        bool ok = store.open(lib.catalogues[catalogue].file, error);
        for (std::size_t k = 0; ok && k < taken.size(); ++k) {
            const auto &[i, digest] = result.digests[taken[k]];
            const content::Stamp &s = cands[i].stamp;
            ok = store.put(cands[i].path, {s.size, s.modifiedNs, s.inode, digestBytes(digest)}, error);
        }
        if (!(ok && store.commit(error)))
            complain("the digests taken could not be kept in '%s': %s", lib.catalogues[catalogue].file.c_str(),
                     error.c_str());
    }
}

using Keyed = std::vector<std::pair<std::string, std::size_t>>; // a key and a file

// The files keyed[first, end), which share a key.
DupGroup groupOf(const Catalogued &lib, const Keyed &keyed, std::size_t first, std::size_t end)
{
    DupGroup g;
    ByteTotal total = 0;
    std::int64_t largest = 0;
    for (std::size_t m = first; m < end; ++m) {
        const std::int64_t size = lib.files[keyed[m].second].size;
        g.members.push_back(keyed[m].second);
        total += size, largest = std::max(largest, size);
        g.size = m == first || g.size == size ? size : -1;
    }
    // What keeping only the largest would free.
    g.wasted = std::int64_t(std::clamp<ByteTotal>(total - largest, INT64_MIN, INT64_MAX));
    return g;
}

} // namespace

std::vector<DupGroup> catalogueGroups(const Catalogued &lib, const DupOptions &options)
{
    // The long name's value, as the window compares names, and for size the size before it.
    Keyed keyed;
    std::string scratch;
    std::size_t blanks = 0;
    for (std::size_t i = 0; i < lib.files.size(); ++i) {
        const CataloguedFile &f = lib.files[i];
        if (f.size < options.minSize)
            continue;
        std::string key(lib.catalogues[f.catalogue].records->trimmedAt(f.pos, fld::LongName, scratch, blanks));
        if (options.rule == DupRule::Size)
            key = std::to_string(f.size) + '/' + key;
        keyed.emplace_back(std::move(key), i);
    }
    std::sort(keyed.begin(), keyed.end());
    std::vector<DupGroup> groups;
    for (std::size_t k = 0; k < keyed.size();) {
        std::size_t end = k + 1;
        while (end < keyed.size() && keyed[end].first == keyed[k].first)
            ++end;
        if (end - k > 1)
            groups.push_back(groupOf(lib, keyed, k, end));
        k = end;
    }
    mostWastedFirst(groups);
    return groups;
}

std::vector<DupGroup> contentGroupsOf(Catalogued &lib, const DupOptions &options)
{
    const std::vector<std::size_t> sized = sameSized(lib, options.minSize);
    std::vector<content::Candidate> all;
    for (const std::size_t i : sized)
        all.push_back(describe(lib, lib.files[i]));
    std::vector<std::string> errors;
    const std::vector<content::Read> reads = stampAll(all, errors);
    std::vector<content::Candidate> cands;
    std::vector<std::size_t> fileOf;
    int unknown = 0;
    for (std::size_t k = 0; k < all.size(); ++k)
        if (complete(lib, lib.files[sized[k]], all[k], reads[k], errors[k], unknown))
            cands.push_back(std::move(all[k])), fileOf.push_back(sized[k]);
    if (unknown)
        complain("%d files of volumes that are not mounted have no digest kept, and are left out", unknown);
    const content::GroupResult result = content::contentGroups(cands, {options.minSize, options.compareBytes});
    for (const auto &[path, why] : result.notes)
        complain("left out '%s': %s", path.c_str(), why.c_str());
    keepDigests(lib, cands, fileOf, result);
    std::vector<DupGroup> groups;
    for (const content::Group &g : result.groups) {
        DupGroup d{g.size, g.wasted(), {}, g.verified};
        for (const std::size_t m : g.members)
            d.members.push_back(fileOf[m]);
        groups.push_back(std::move(d));
    }
    return groups;
}

} // namespace trv
