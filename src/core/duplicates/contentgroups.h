#pragma once
// Groups of files with the same content. Candidates are files of equal size; a digest of a
// sample of each rules most out, a digest of the whole decides, and on request the bytes of
// the survivors are compared. Files are read one at a time, in the order they lie on disk.
// A digest kept from an earlier run stands for a read while the file's stamp is unchanged,
// so files of a volume that is not mounted take part by their stored digests alone.

#include "duplicates/contentread.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace content {

struct Candidate {
    std::string path;
    Stamp stamp; // now, for a file that can be read; else when its digest was taken
    // The file system it is on (its UUID, or what stands for it): names of one inode there
    // are links of one file. A device number alone would join disks catalogued in turn.
    std::string volume;
    std::optional<Digest> stored; // a whole-content digest taken for that stamp
    bool online = true;           // whether its volume is mounted, so that it can be read
};

struct Group {
    std::int64_t size = 0;
    std::vector<std::size_t> members; // indexes of candidates, in the order given
    bool verified = false;            // every member was read (or compared) in this run
    [[nodiscard]] std::int64_t wasted() const { return size * std::int64_t(members.size() - 1); }
};

struct GroupOptions {
    std::int64_t minSize = 1; // 0 takes empty files in as well
    bool compareBytes = false;
};

struct GroupResult {
    std::vector<Group> groups; // most wasted space first
    // Digests taken in this run, to be kept for the next: candidate index and digest.
    std::vector<std::pair<std::size_t, Digest>> digests;
    // Files left out: a path and why.
    std::vector<std::pair<std::string, std::string>> notes;
};

[[nodiscard]] GroupResult contentGroups(const std::vector<Candidate> &candidates, const GroupOptions &options);

} // namespace content
