#include "catalogue/walk.h"

#include "catalogue/layouts.h"
#include "catalogue/recordvalues.h"
#include "catalogue/walkahead.h"
#include "platform/dirlisting.h"
#include "platform/text.h"

#include <algorithm>
#include <memory>

DirectoryWalk::DirectoryWalk(RecordSet &catalogue, WalkState &state) : m_catalogue(&catalogue), m_state(state) {}

void DirectoryWalk::FindDirs(const std::string &D)
{
    std::string root = D;
    if (root.empty() || root.back() != values::kSeparator)
        root.push_back(values::kSeparator);
    if (!deviceOf(root, m_device))
        return;
    listInWalkOrder(root);
}

void DirectoryWalk::listInWalkOrder(const std::string &root)
{
    WalkAhead ahead(m_device, m_cancel, m_listers, m_known);
    std::vector<std::shared_ptr<WalkNode>> order{std::make_shared<WalkNode>(root)};
    ahead.offer(order.back());
    while (!order.empty() && !cancelled()) {
        const std::shared_ptr<WalkNode> node = std::move(order.back());
        order.pop_back();
        ahead.await(*node);
        recordFiles(node->dir);
        if (m_listed && node->dir.listing.opened && !cancelled())
            m_listed(node->dir);
        ahead.consumed(*node);
        if (m_recorded)
            m_recorded();
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it)
            order.push_back(std::move(*it));
        // A node the walk listed itself stays on the workers' stack until they reach it: it
        // must not keep its listing there.
        node->children = {};
        node->dir = {};
    }
}

void DirectoryWalk::ListDirectory(std::vector<std::string> &Dirs, const std::string &directory)
{
    ListedDirectory dir;
    listAndOrder(directory, m_device, m_cancel, dir, m_known);
    recordFiles(dir);
    if (m_listed && dir.listing.opened && !cancelled())
        m_listed(dir);
    if (m_recorded)
        m_recorded();
    Dirs.clear();
    for (SubDir &sub : dir.subdirs)
        Dirs.push_back(std::move(sub.path));
}

void DirectoryWalk::recordFiles(const ListedDirectory &dir)
{
    m_pathValue = values::pathValue(dir.path);
    m_exactPath = dir.path;
    if (m_exactPath.empty() || m_exactPath.back() != '/')
        m_exactPath.push_back('/');
    for (const DirEntry &e : dir.listing.entries) {
        if (cancelled())
            return;
        if (!e.isDirectory)
            addFileRecord(dir.listing, e);
    }
}

void DirectoryWalk::addFileRecord(const DirListing &listing, const DirEntry &e)
{
    values::assignLongNameValue(listing.name(e), m_longValue);
    values::assignShortNameValue(listing.shortName(e), m_longValue, m_shortValue);
    const std::optional<LocalTime> modified = toLocalTime(e.modified);

    m_catalogue->addNew();
    m_catalogue->setExact(fld::LongName, listing.name(e), m_longValue);
    m_catalogue->setField(fld::ShortName, m_shortValue);
    m_catalogue->setExact(fld::Path, m_exactPath, m_pathValue);
    setTimeField(fld::Modified, modified);
    setTimeField(fld::Created, toLocalTime(e.created));
    setTimeField(fld::Accessed, toLocalTime(e.accessed));
    m_catalogue->setField(fld::Size, qint64(e.size));
    // Only the last-write time has a key; one that gives no date leaves the key empty.
    if (HasDateTimeText(modified))
        m_catalogue->setField(fld::DateKey, *modified);
    m_catalogue->setField(fld::Extension, values::extensionValue(m_shortValue));
    countFile();
}

// Times with a date go to the columns as numbers: making their texts for the columns to
// parse back cost more than the rest of a record.
void DirectoryWalk::setTimeField(int field, const std::optional<LocalTime> &t)
{
    if (HasDateTimeText(t)) {
        m_catalogue->setField(field, *t);
        return;
    }
    std::string value = FileTimeText(t);
    if (field == fld::Accessed) {
        value = values::accessedValue(value);
    } else {
        text::fitInPlace(value, values::kDateTimeWidth);
    }
    m_catalogue->setField(field, value);
}

void DirectoryWalk::countFile()
{
    if (m_state.FilesSinceUpdate == kProgressStep) {
        if (m_progress)
            m_progress(m_state.TotalFiles);
        m_state.FilesSinceUpdate = 0;
    }
    ++m_state.FilesSinceUpdate;
    ++m_state.TotalFiles;
    const int drive = std::clamp(m_state.CurrentDrive, 0, kMaxDrives - 1);
    ++m_state.DriveFileCounts[std::size_t(drive)];
}
