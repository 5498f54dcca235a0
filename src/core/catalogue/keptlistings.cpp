#include "catalogue/keptlistings.h"

namespace {

constexpr std::int64_t kTickNs = 1000000000;
constexpr std::int64_t kNsPerMs = 1000000;

} // namespace

KeptListings::KeptListings(const std::vector<FolderListing> &listings, const Volumes &volumes) : m_volumes(volumes)
{
    for (const FolderListing &l : listings)
        m_byPath.emplace(l.path, &l);
}

const std::string *KeptListings::entriesFor(const std::string &path, const DirStamp &now) const
{
    const auto it = m_byPath.find(path);
    if (it == m_byPath.end() || !stillListed(*it->second, now))
        return nullptr;
    return &it->second->entries;
}

bool KeptListings::stillListed(const FolderListing &listing, const DirStamp &now) const
{
    const auto v = std::size_t(listing.volume);
    return listing.stamp == now && v < m_volumes.list.size() &&
           now.changedNs + kTickNs < m_volumes.list[v].walkBegan * kNsPerMs;
}
