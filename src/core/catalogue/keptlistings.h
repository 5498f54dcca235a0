#pragma once
// The listings a catalogue file kept of the directories its walk read, for a new walk to list
// from each directory whose stamp is still the one it was read with.

#include "catalogue/volumes.h"
#include "platform/dirlisting.h"

#include <atomic>
#include <string>
#include <unordered_map>
#include <vector>

class KeptListings : public KnownListings {
public:
    // Both must outlive this.
    KeptListings(const std::vector<FolderListing> &listings, const Volumes &volumes);
    // A directory changed within a second before the walk that read it began, or during it,
    // may have changed again within the same tick of its clock, unseen: it is read anew.
    [[nodiscard]] const std::string *entriesFor(const std::string &path, const DirStamp &now) const override;
    // Whether that listing may stand for its directory, whose stamp is now `now`.
    [[nodiscard]] bool stillListed(const FolderListing &listing, const DirStamp &now) const;
    void listedFromEntries() const override { m_reused.fetch_add(1, std::memory_order_relaxed); }
    // How many directories were listed from their kept listings.
    [[nodiscard]] long long reused() const { return m_reused.load(std::memory_order_relaxed); }

private:
    const Volumes &m_volumes;
    std::unordered_map<std::string, const FolderListing *> m_byPath;
    mutable std::atomic<long long> m_reused = 0;
};
