#include "catalogue/drivelist.h"

#include "platform/text.h"

#include <algorithm>
#include <map>

namespace {

const QString kEmptyEntry = QStringLiteral(" ");

// Bytes that are not UTF-8 travel in a QString as U+DC80..U+DCFF, which decoded UTF-8
// never holds, so DriveRootPath can give the walk the mount point's very bytes.
constexpr char16_t kByteEscape = 0xDC00;

struct Drive {
    const MountEntry *mount;
    DriveType type;
};

bool isStrictlyBelow(std::string_view path, std::string_view dir)
{
    if (dir == "/")
        return path.size() > 1;
    return path.size() > dir.size() && path.starts_with(dir) && path[dir.size()] == '/';
}

// The mounts as the kernel attached them: each to a folder of its parent.
class MountTree {
public:
    explicit MountTree(const std::vector<MountEntry> &mounts)
    {
        for (const MountEntry &m : mounts) {
            m_byId.emplace(m.id, &m);
            m_children.emplace(m.parentId, &m);
        }
    }

    // Out of view: another mount is stacked on it, or on a folder on the way to it.
    [[nodiscard]] bool inView(const MountEntry &m) const
    {
        if (hasChildAt(m, &m, [&m](const MountEntry &c) { return c.mountPoint == m.mountPoint; }))
            return false;
        const MountEntry *child = &m;
        for (const MountEntry *p : ancestors(m)) {
            if (hasChildAt(*p, child,
                           [child](const MountEntry &c) { return isStrictlyBelow(child->mountPoint, c.mountPoint); }))
                return false;
            child = p;
        }
        return true;
    }

    // Looking at m's mount point would go through a remote file system on the way.
    [[nodiscard]] bool reachedThroughRemote(const MountEntry &m) const
    {
        const std::vector<const MountEntry *> up = ancestors(m);
        return std::any_of(up.begin(), up.end(), [](const MountEntry *p) { return isRemoteFileSystem(p->fsType); });
    }

private:
    template <typename Pred> bool hasChildAt(const MountEntry &parent, const MountEntry *except, Pred pred) const
    {
        const auto [first, last] = m_children.equal_range(parent.id);
        return std::any_of(first, last, [&](const auto &c) { return c.second != except && pred(*c.second); });
    }

    // Parent, grandparent, ... up to the root of what this process sees.
    [[nodiscard]] std::vector<const MountEntry *> ancestors(const MountEntry &m) const
    {
        std::vector<const MountEntry *> up;
        for (const MountEntry *at = &m; up.size() < m_byId.size();) {
            const auto p = m_byId.find(at->parentId);
            if (p == m_byId.end() || p->second == at)
                break;
            at = p->second;
            up.push_back(at);
        }
        return up;
    }

    std::map<unsigned, const MountEntry *> m_byId;
    std::multimap<unsigned, const MountEntry *> m_children;
};

// A bind mount can put a single file in place (a container's /etc/hosts). Only a local
// mount point is looked at: one behind a remote file system could hang.
bool isSingleFile(const Drive &d, const MountTree &tree, const BlockDeviceProbe &probe)
{
    const MountEntry &m = *d.mount;
    return m.root != "/" && d.type != DriveType::Remote && !tree.reachedThroughRemote(m) &&
           !probe.isDirectory(m.mountPoint);
}

// Bind mounts of one file system share its device number; so do the subvolumes of one
// btrfs, which hold different files and differ in their subvolume id.
bool sameFileSystem(const MountEntry &a, const MountEntry &b)
{
    return a.device == b.device && superOption(a, "subvolid") == superOption(b, "subvolid");
}

// a offers every file of b: a mounts the folder b mounts or one above it (the first in
// byte order of two mounts of the same folder).
bool offersFilesOf(const MountEntry &a, const MountEntry &b)
{
    if (!sameFileSystem(a, b))
        return false;
    return a.root == b.root ? a.mountPoint < b.mountPoint : isStrictlyBelow(b.root, a.root);
}

std::vector<Drive> offeredDrives(const std::vector<MountEntry> &mounts, const BlockDeviceProbe &probe)
{
    const MountTree tree(mounts);
    std::vector<Drive> candidates;
    for (const MountEntry &m : mounts) {
        const Drive d{&m, tree.inView(m) ? classifyMount(m, probe) : DriveType::None};
        if (d.type != DriveType::None && !isSingleFile(d, tree, probe))
            candidates.push_back(d);
    }
    std::vector<Drive> drives;
    for (const Drive &d : candidates) {
        const bool shownElsewhere = std::any_of(candidates.begin(), candidates.end(), [&d](const Drive &o) {
            return o.mount != d.mount && offersFilesOf(*o.mount, *d.mount);
        });
        if (!shownElsewhere)
            drives.push_back(d);
    }
    std::stable_sort(drives.begin(), drives.end(),
                     [](const Drive &a, const Drive &b) { return a.mount->mountPoint < b.mount->mountPoint; });
    if (drives.size() > std::size_t(kMaxDrives))
        drives.resize(std::size_t(kMaxDrives));
    return drives;
}

int utf8SequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    return (lead & 0xF8) == 0xF0 ? 4 : 1;
}

// The mount point as text that DriveRootPath turns back into the same bytes.
QString rootText(std::string_view bytes)
{
    QString out;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const std::string_view sequence = bytes.substr(i, std::size_t(utf8SequenceLength(lead)));
        if (lead >= 0x80 && !text::isValidUtf8(sequence)) {
            out += QChar(char16_t(kByteEscape | lead));
            ++i;
            continue;
        }
        out += text::toQString(sequence);
        i += sequence.size();
    }
    return out;
}

QString rootPath(const std::string &mountPoint)
{
    const QString p = rootText(mountPoint);
    return p.endsWith(u'/') ? p : p + u'/';
}

} // namespace

QString DriveTypeText(DriveType type)
{
    switch (type) {
    case DriveType::Removable:
        return QStringLiteral(":  Is A Removable Drive");
    case DriveType::Fixed:
        return QStringLiteral(":  Is A Hard/Non-Removable Drive");
    case DriveType::Remote:
        return QStringLiteral(":  Is A Remote/Network Drive");
    case DriveType::CdRom:
        return QStringLiteral(":  Is A CD-ROM Drive");
    case DriveType::RamDisk:
        return QStringLiteral(":  Is A RAM Drive");
    case DriveType::None:
        break;
    }
    return {};
}

QStringList GetDrives(DriveTables &tables, std::string_view mountInfo, const BlockDeviceProbe &probe)
{
    tables.DriveRoots.fill(kEmptyEntry);
    tables.SelectedDrives.fill(kEmptyEntry);
    const std::vector<MountEntry> mounts = parseMountInfo(mountInfo);
    QStringList lines;
    std::size_t p = 0;
    for (const Drive &d : offeredDrives(mounts, probe)) {
        lines << text::toQString(text::sanitizeUtf8(d.mount->mountPoint)) + DriveTypeText(d.type);
        tables.DriveRoots[p++] = rootPath(d.mount->mountPoint);
    }
    return lines;
}

QStringList GetDrives(DriveTables &tables)
{
    return GetDrives(tables, readMountInfo(), SysfsBlockDeviceProbe());
}

std::string DriveRootPath(const QString &root)
{
    std::string out;
    for (qsizetype i = 0; i < root.size(); ++i) {
        const char16_t c = root[i].unicode();
        if (c >= (kByteEscape | 0x80) && c <= (kByteEscape | 0xFF)) {
            out.push_back(char(c & 0xFF));
        } else if (QChar::isHighSurrogate(c) && i + 1 < root.size()) {
            out += text::fromQString(root.mid(i, 2));
            ++i;
        } else {
            out += text::fromQString(QString(QChar(c)));
        }
    }
    return out;
}
