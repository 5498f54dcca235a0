#include "catalogue/walk.h"

#include "catalogue/boundedqueue.h"
#include "catalogue/layouts.h"
#include "catalogue/recordvalues.h"
#include "catalogue/text.h"
#include "platform/dirlisting.h"

#include <algorithm>
#include <thread>

struct ListedDirectory {
    std::string path;
    DirListing listing;
    std::vector<std::string> subdirs; // in the order they are visited
};

namespace {

constexpr std::size_t kListingsAhead = 256;

// Lists a directory of the walk's device and orders its subdirectories.
void listAndOrder(const std::string &path, std::uint64_t device, const std::atomic<bool> *cancel,
                  ListedDirectory &out)
{
    out.path = path;
    out.subdirs.clear();
    listDirectory(path, out.listing, cancel);
    if (!out.listing.opened || out.listing.device != device) {
        out.listing.entries.clear(); // another device: a mount point is not entered
        return;
    }
    struct SubDir {
        std::string key; // upper-cased name and separator, as the order compares them
        std::string path;
    };
    std::vector<SubDir> subdirs;
    for (const DirEntry &e : out.listing.entries) {
        if (!e.isDirectory || e.device != device)
            continue;
        std::string key = text::toUpper(text::sanitizeUtf8(e.name));
        key.push_back(values::kSeparator);
        subdirs.push_back({std::move(key), path + e.name + values::kSeparator});
    }
    std::sort(subdirs.begin(), subdirs.end(), [](const SubDir &a, const SubDir &b) {
        return a.key != b.key ? a.key < b.key : a.path < b.path;
    });
    for (SubDir &s : subdirs)
        out.subdirs.push_back(std::move(s.path));
}

} // namespace

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
    BoundedQueue<ListedDirectory> queue(kListingsAhead);
    std::thread lister([&] {
        // Depth first without recursion, so a deep tree cannot exhaust the stack.
        std::vector<std::string> pending{root};
        while (!pending.empty() && !cancelled()) {
            ListedDirectory dir;
            listAndOrder(pending.back(), m_device, m_cancel, dir);
            pending.pop_back();
            for (auto it = dir.subdirs.rbegin(); it != dir.subdirs.rend(); ++it)
                pending.push_back(*it);
            if (!queue.push(std::move(dir)))
                break;
        }
        queue.close();
    });
    while (std::optional<ListedDirectory> dir = queue.pop()) {
        if (cancelled()) {
            queue.close();
            break;
        }
        recordFiles(*dir);
    }
    lister.join();
}

void DirectoryWalk::ListDirectory(std::vector<std::string> &Dirs, const std::string &directory)
{
    ListedDirectory dir;
    listAndOrder(directory, m_device, m_cancel, dir);
    recordFiles(dir);
    Dirs = std::move(dir.subdirs);
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
    const std::string created = text::fitWidth(FileTimeText(toLocalTime(e.created)), values::kDateTimeWidth);
    const std::string accessed = values::accessedValue(FileTimeText(toLocalTime(e.accessed)));
    std::string &key = m_state.FileDateKey;
    key.clear();
    const std::string modified = text::fitWidth(FileTimeText(toLocalTime(e.modified), key), values::kDateTimeWidth);

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
