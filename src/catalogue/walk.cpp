#include "catalogue/walk.h"

#include "catalogue/layouts.h"
#include "catalogue/recordvalues.h"
#include "catalogue/walkahead.h"
#include "platform/dirlisting.h"
#include "platform/text.h"

#include <algorithm>
#include <memory>

DirectoryWalk::DirectoryWalk(RecordSet &catalogue, WalkState &state) : m_catalogue(catalogue), m_state(state) {}

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
    WalkAhead ahead(m_device, m_cancel, m_listers);
    std::vector<std::shared_ptr<WalkNode>> order{std::make_shared<WalkNode>(root)};
    ahead.offer(order.back());
    while (!order.empty() && !cancelled()) {
        const std::shared_ptr<WalkNode> node = std::move(order.back());
        order.pop_back();
        ahead.await(*node);
        recordFiles(node->dir);
        ahead.consumed();
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it)
            order.push_back(std::move(*it));
    }
}

void DirectoryWalk::ListDirectory(std::vector<std::string> &Dirs, const std::string &directory)
{
    ListedDirectory dir;
    listAndOrder(directory, m_device, m_cancel, dir);
    recordFiles(dir);
    Dirs.clear();
    for (SubDir &sub : dir.subdirs)
        Dirs.push_back(std::move(sub.path));
}

void DirectoryWalk::recordFiles(const ListedDirectory &dir)
{
    m_pathValue = values::pathValue(dir.path);
    for (const DirEntry &e : dir.listing.entries) {
        if (cancelled())
            return;
        if (!e.isDirectory)
            addFileRecord(e);
    }
}

void DirectoryWalk::addFileRecord(const DirEntry &e)
{
    const std::string longValue = values::longNameValue(e.name);
    const std::string shortValue = values::shortNameValue(e.shortName, longValue);

    // Only the last-write time's key is stored, so the other two need none; and a last-write
    // time that gives no date must not inherit the key of another time or file.
    std::string created = FileTimeText(toLocalTime(e.created));
    text::fitInPlace(created, values::kDateTimeWidth);
    const std::string accessed = values::accessedValue(FileTimeText(toLocalTime(e.accessed)));
    std::string &key = m_state.FileDateKey;
    key.clear();
    std::string modified = FileTimeText(toLocalTime(e.modified), key);
    text::fitInPlace(modified, values::kDateTimeWidth);

    m_catalogue.addNew();
    m_catalogue.setField(fld::LongName, longValue);
    m_catalogue.setField(fld::ShortName, shortValue);
    m_catalogue.setField(fld::Path, m_pathValue);
    m_catalogue.setField(fld::Modified, modified);
    m_catalogue.setField(fld::Created, created);
    m_catalogue.setField(fld::Accessed, accessed);
    m_catalogue.setField(fld::Size, qint64(e.size));
    m_catalogue.setField(fld::DateKey, key);
    m_catalogue.setField(fld::Extension, values::extensionValue(shortValue));
    countFile();
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
