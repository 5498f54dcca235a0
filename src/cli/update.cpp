// trv update FILE [-o NEWFILE]: walks the volumes a catalogue file records again, listing
// from the file each folder whose stamp is unchanged, and saves the result as a fresh save of
// the same folders would be.
#include "catalogfile/cataloguefile.h"
#include "catalogfile/folderlistings.h"
#include "catalogfile/restamp.h"
#include "catalogue/columns.h"
#include "catalogue/keptlistings.h"
#include "catalogue/layouts.h"
#include "catalogue/recordunion.h"
#include "catalogue/retimedfolders.h"
#include "catalogue/unchangedtree.h"
#include "catalogue/volumes.h"
#include "commands.h"
#include "hits.h"
#include "inputs.h"
#include "output.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace trv {
namespace {

struct Arguments {
    std::string file, output;
};

int volumeIndex(const RecordSet &records, int pos, const Volumes &volumes)
{
    const Volume *v = volumeOf(records, pos, volumes);
    return v ? int(v - volumes.list.data()) : -1;
}

// How a volume's root is known: from its first listing, guessed from its folders, or not.
enum class Root { Listed, Guessed, Unknown };

// For volumes without listings: the folder all their records' folders lie in.
void guessRoots(const RecordSet &records, const Volumes &volumes, std::vector<std::string> &roots,
                std::vector<Root> &how)
{
    std::string folder;
    for (int pos = 0; pos < records.count(); ++pos) {
        const int v = volumeIndex(records, pos, volumes);
        if (v < 0 || how[std::size_t(v)] != Root::Guessed)
            continue;
        std::string &root = roots[std::size_t(v)];
        // The upper-cased folders of an earlier version's file name no folder on disk.
        if (!records.exactAt(pos, fld::Path, folder)) {
            how[std::size_t(v)] = Root::Unknown, root.clear();
            continue;
        }
        if (root.empty())
            root = folder;
        // The common folder: cut back to the last separator both share.
        std::size_t n = 0;
        while (n < root.size() && n < folder.size() && root[n] == folder[n])
            ++n;
        root.resize(root.rfind('/', n - 1) + 1);
    }
}

// Where each volume was walked from; empty where nothing tells.
std::vector<std::string> rootsOf(const RecordSet *records, const Volumes &volumes,
                                 const std::vector<FolderListing> &listings)
{
    std::vector<std::string> roots(volumes.list.size());
    for (const FolderListing &l : listings)
        if (std::size_t(l.volume) < roots.size() && roots[std::size_t(l.volume)].empty())
            roots[std::size_t(l.volume)] = l.path;
    std::vector<Root> how;
    for (const std::string &root : roots)
        how.push_back(root.empty() ? Root::Guessed : Root::Listed);
    if (records)
        guessRoots(*records, volumes, roots, how);
    return roots;
}

// The volume at the root now, where it is the file system the volume was walked on.
std::optional<Volume> mountedNow(const Volume &was, const std::string &root)
{
    std::uint64_t device = 0;
    if (root.empty() || !deviceOf(root, device))
        return std::nullopt;
    Volume now = Volumes::identify(normalRoot(root));
    const bool same = was.uuid.empty() ? now.deviceNumber == was.deviceNumber && now.mountPoint == was.mountPoint
                                       : now.uuid == was.uuid;
    return same ? std::optional(std::move(now)) : std::nullopt;
}

using MountedNow = std::vector<std::optional<Volume>>; // by recorded volume

// Keeps a volume that is not mounted as it was: its records, its entry and its listings.
void keepVolume(RecordSet &into, Volumes &volumes, const RecordSet &old, const Volumes &oldVolumes, int v,
                const std::vector<FolderListing> &listings)
{
    std::vector<int> positions;
    for (int pos = 0; pos < old.count(); ++pos)
        if (volumeIndex(old, pos, oldVolumes) == v)
            positions.push_back(pos);
    const int first = into.count(), index = int(volumes.list.size());
    appendRecords(into, old, positions);
    volumes.list.push_back(oldVolumes.list[std::size_t(v)]);
    const SharedTextColumn &folders = *into.sharedValues(fld::Path);
    volumes.folderVolume.resize(folders.count(), -1);
    for (int pos = first; pos < into.count(); ++pos)
        volumes.folderVolume[folders.id(into.bookmarkAt(pos))] = index;
    for (const FolderListing &l : listings)
        if (l.volume == v)
            volumes.listings.push_back(l), volumes.listings.back().volume = index;
}

void sayKept(const Volume &volume, const std::string &root)
{
    if (root.empty())
        complain("cannot tell where the volume '%s' was walked: its records are kept as they were",
                 volume.label.c_str());
    else
        complain("the volume '%s' walked at '%s' is not mounted: its records are kept as they were",
                 volume.label.c_str(), root.c_str());
}

// The volumes' entries as a walk of each mounted one now would make them, when it would
// find every folder and file as the file has them but for files written in place (whose
// records it makes in `retimed`); nothing otherwise.
std::optional<std::vector<Volume>> unchangedVolumes(const Volumes &recorded, const std::vector<FolderListing> &listings,
                                                    const MountedNow &mounted, RetimedFolders &retimed)
{
    const KeptListings kept(listings, recorded);
    const std::uint64_t seed = listingSeed();
    std::vector<Volume> now = recorded.list;
    for (std::size_t v = 0; v < now.size(); ++v) {
        if (!mounted[v])
            continue;
        const qint64 walked = now[v].files;
        now[v] = *mounted[v];
        now[v].walkBegan = Volumes::nowMillis();
        now[v].files = walked;
        if (!unchangedSince(kept, listings, int(v), seed, &retimed.listings))
            return std::nullopt;
    }
    std::sort(retimed.listings.begin(), retimed.listings.end());
    if (!retimed.record(kept, listings, seed))
        return std::nullopt;
    for (std::size_t v = 0; v < now.size(); ++v)
        if (mounted[v])
            now[v].walkEnded = Volumes::nowMillis();
    return now;
}

// What an update that kept the file's records said of them, once it saved.
void sayKeptRecords(const std::vector<Volume> &now, const MountedNow &mounted, const std::vector<std::string> &roots,
                    std::size_t folders, const cataloguefile::InPlaceChanges &changes)
{
    qint64 files = 0;
    for (std::size_t v = 0; v < now.size(); ++v) {
        files += now[v].files;
        if (!mounted[v])
            sayKept(now[v], roots[v]);
    }
    const long offline = long(std::count(mounted.begin(), mounted.end(), std::nullopt));
    if (changes.folders.listings.empty())
        std::printf(
            "nothing changed: %zu folders and %lld files are as the catalogue has them; %ld volumes not mounted\n",
            folders, files, offline);
    else
        std::printf("changed in place: %lld files in %zu folders; %zu folders and %lld files in all; %ld volumes not "
                    "mounted\n",
                    changes.rowsChanged, changes.folders.listings.size(), folders, files, offline);
}

// Where no folder or file of a mounted volume changed since the file was made, a walk would
// make the records it holds: it is saved again as it is, with only its volumes' entries made
// new, and the rows of files written in place given their new values. The copy is made while
// the folders are examined. Nothing where something changed, or where the file cannot be
// saved so (the whole save that follows then says why, if it fails too).
std::optional<int> keepUnchanged(const Arguments &a, const Volumes &recorded,
                                 const std::vector<FolderListing> &listings, const std::vector<std::string> &roots,
                                 const MountedNow &mounted)
{
    const std::string &target = a.output.empty() ? a.file : a.output;
    cataloguefile::Restamp restamp;
    std::atomic<bool> changed = false;
    std::string error;
    bool copied = false;
    std::thread copier([&] { copied = restamp.copy(a.file, target, changed, error); });
    RetimedFolders retimed;
    const std::optional<std::vector<Volume>> now = unchangedVolumes(recorded, listings, mounted, retimed);
    changed = !now;
    copier.join();
    if (!now || !copied)
        return std::nullopt;
    cataloguefile::InPlaceChanges changes{listings, retimed};
    const atomicfile::Outcome outcome = restamp.finish(*now, error, &changes);
    if (outcome == atomicfile::Outcome::Failed)
        return std::nullopt;
    const int status = savedAs(outcome, target, error);
    if (status == kSuccess)
        sayKeptRecords(*now, mounted, roots, listings.size(), changes);
    return status;
}

// The old catalogue's records and volumes with their folders: needed only where a volume is
// kept as it was, or where no listing tells a volume's root.
struct OldCatalogue {
    std::unique_ptr<RecordSet> records;
    Volumes volumes;
};

bool openOld(const std::string &file, OldCatalogue &old)
{
    std::string error;
    old.records = cataloguefile::open(file, error, &old.volumes);
    if (!old.records)
        complain("cannot open the catalogue file '%s': %s", file.c_str(), error.c_str());
    return old.records != nullptr;
}

// Walks the volumes that are mounted, keeps the others, and saves the whole.
int walkAndSave(const Arguments &a, const Volumes &recorded, const std::vector<FolderListing> &listings,
                const std::vector<std::string> &roots, const std::vector<bool> &mounted, OldCatalogue &old)
{
    const KeptListings kept(listings, recorded);
    RecordSet fresh;
    CreateRecordSet(fresh);
    Volumes volumes;
    volumes.keepListings = true;
    int offline = 0;
    for (std::size_t v = 0; v < recorded.list.size(); ++v) {
        if (mounted[v]) {
            walkInto(fresh, volumes, roots[v], &kept);
            continue;
        }
        sayKept(recorded.list[v], roots[v]);
        keepVolume(fresh, volumes, *old.records, old.volumes, int(v), listings);
        ++offline;
    }
    old.records.reset(); // its memory is the save's
    // Written elsewhere, the catalogue keeps the digests of the one it brings up to date.
    const int status = a.output.empty() ? saveCatalogueFile(fresh, volumes, a.file)
                                        : saveCatalogueFile(fresh, volumes, a.output, a.file);
    if (status == kSuccess)
        std::printf("%lld folders listed from the catalogue, %lld read anew; %d files; %d volumes not mounted\n",
                    kept.reused(), (long long)volumes.listings.size() - kept.reused(), fresh.count(), offline);
    return status;
}

// Why every folder is read anew, said once.
void sayNoListings(const std::string &file, bool damaged)
{
    if (damaged)
        complain("the folder listings '%s' keeps are damaged: every folder is listed anew", file.c_str());
    else
        complain("'%s' keeps no folder listings (an earlier version or the window saved it): every folder is "
                 "listed anew",
                 file.c_str());
}

int update(const Arguments &a)
{
    Volumes recorded;
    std::vector<FolderListing> listings;
    std::string error;
    bool damaged = false;
    if (!cataloguefile::readListings(a.file, listings, recorded, error, &damaged)) {
        complain("cannot open the catalogue file '%s': %s", a.file.c_str(), error.c_str());
        return kError;
    }
    if (recorded.list.empty()) {
        // Nothing says where its records were walked: an update would lose them.
        complain("cannot update '%s': it does not record the folders it was made from; save it anew with trv save",
                 a.file.c_str());
        return kError;
    }
    OldCatalogue old;
    if (listings.empty()) {
        sayNoListings(a.file, damaged);
        if (!openOld(a.file, old))
            return kError;
    }
    const std::vector<std::string> roots = rootsOf(old.records.get(), old.records ? old.volumes : recorded, listings);
    MountedNow now;
    std::vector<bool> mounted;
    for (std::size_t v = 0; v < recorded.list.size(); ++v) {
        now.push_back(mountedNow(recorded.list[v], roots[v]));
        mounted.push_back(now.back().has_value());
    }
    if (!listings.empty())
        if (const std::optional<int> status = keepUnchanged(a, recorded, listings, roots, now))
            return *status;
    if (!old.records && std::find(mounted.begin(), mounted.end(), false) != mounted.end() && !openOld(a.file, old))
        return kError;
    return walkAndSave(a, recorded, listings, roots, mounted, old);
}

Run define(CLI::App &command)
{
    auto a = std::make_shared<Arguments>();
    command.add_option("FILE", a->file)->required();
    command.add_option("-o", a->output);
    return [a] { return update(*a); };
}

} // namespace

constinit const Command updateCommand{
    "update",
    "usage: trv update FILE [-o NEWFILE]\n"
    "  Walks the folders the catalogue file FILE was made from again and saves the result in\n"
    "  FILE (or NEWFILE) as trv save would; a folder unchanged since is listed from FILE.\n"
    "  Volumes that are not mounted keep their records. Where nothing changed, FILE is kept\n"
    "  as it is, with only its volumes' space and walk times made new; where only files were\n"
    "  written in place, only their records are made new.\n",
    define,
};

} // namespace trv
