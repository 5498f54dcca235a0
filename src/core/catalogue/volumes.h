#pragma once
// The volumes one Display walked: what identifies each and what it held then, and which
// volume each folder of the catalogue came from.

#include "catalogue/recordset.h"
#include "catalogue/walk.h"
#include "platform/dirlisting.h"

#include <cstdint>
#include <string>
#include <vector>

struct Volume {
    std::string mountPoint, label, uuid, fsType, device;
    std::string deviceNumber; // "8:1"; with the mount point, what stands for a missing UUID
    std::string driveType;    // the drive list's text: "Is A RAM Drive"
    qint64 totalBytes = -1, freeBytes = -1;
    qint64 walkBegan = 0, walkEnded = 0; // milliseconds since 1970, UTC
    qint64 files = 0;
};

// A directory as a walk listed it, so that a later walk may list it from this while its
// stamp is unchanged.
struct FolderListing {
    int volume = 0;   // in Volumes::list
    std::string path; // exact, with the final separator
    DirStamp stamp;
    std::string entries; // see DirListing::entriesText
    // Where a walk kept it: the position of the record of its first file. Its files' names
    // are then left out of entries, being those of the records from there on, in order.
    int firstFile = -1;
    // The sum of its entries as the walk examined them (see unchangedtree), where known.
    std::uint64_t sum = 0;
    bool summed = false;

    // The entries with the files' names, put back from the records a walk made; false where
    // the records are not those.
    bool withFileNames(const RecordSet &records, std::string &out) const;
};

struct Volumes {
    std::vector<Volume> list;
    // By the catalogue's folder number (SharedTextColumn id): an index into list, or -1.
    std::vector<int> folderVolume;
    // Every directory walked, in walk order (a volume's root first), where asked for: they
    // cost memory a window need not spend.
    bool keepListings = false;
    std::vector<FolderListing> listings;

    // The volume of path as it is now, its walk not yet begun.
    [[nodiscard]] static Volume identify(const std::string &path);
    // The time a walk begins or ends, as volumes record it.
    [[nodiscard]] static qint64 nowMillis();
    // Walks root with walk, which fills records, and records the volume it lies on, when the
    // walk began and ended and the files it found, and its listings where they are kept.
    void walk(DirectoryWalk &walk, const RecordSet &records, const std::string &root);
};
