#include "platform/mounts.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <filesystem>
#include <span>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// mountinfo: id parent major:minor root mount-point options [optional...] - type source super-options
constexpr std::size_t kFixedFields = 6;

using Names = std::span<const std::string_view>;

constexpr std::string_view kImageTypes[] = {"squashfs", "erofs", "cramfs"};
// Union file systems are images too, except as a container's root, where they are the
// only storage there is.
constexpr std::string_view kUnionTypes[] = {"overlay", "aufs", "fuse.fuse-overlayfs"};
constexpr std::string_view kRamTypes[] = {"tmpfs", "ramfs", "rootfs"};
// 9p, virtiofs, drvfs and the hypervisors' shared folders are a host's folders seen from a
// VM or WSL: remote as far as we can tell, and as liable to hang.
constexpr std::string_view kRemoteTypes[] = {
    "nfs",         "nfs4",        "cifs",      "smb3",           "smbfs",
    "ncpfs",       "afs",         "ceph",      "glusterfs",      "lustre",
    "9p",          "virtiofs",    "drvfs",     "vboxsf",         "fuse.vmhgfs-fuse",
    "fuse.sshfs",  "fuse.rclone", "fuse.s3fs", "fuse.glusterfs", "fuse.ceph-fuse",
    "fuse.gcsfuse"};
constexpr std::string_view kCdTypes[] = {"iso9660", "udf"};
// Local storage whose mounts carry an anonymous 0:N device number (ecryptfs is stacked on
// a local folder, often a user's home).
constexpr std::string_view kAnonymousLocalTypes[] = {"btrfs", "zfs", "bcachefs", "fuseblk", "ecryptfs"};

constexpr unsigned kRamDiskMajor = 1;
constexpr unsigned kLoopMajor = 7;
constexpr unsigned kScsiCdMajor = 11;
constexpr int kMaxStackedDevices = 4;

bool isOneOf(std::string_view s, Names names)
{
    return std::find(names.begin(), names.end(), s) != names.end();
}

bool isAtOrBelow(std::string_view path, std::string_view dir)
{
    return path.starts_with(dir) && (path.size() == dir.size() || path[dir.size()] == '/');
}

bool isSystemPath(std::string_view p)
{
    if (p.starts_with("/run/media/"))
        return false;
    return isAtOrBelow(p, "/proc") || isAtOrBelow(p, "/sys") || isAtOrBelow(p, "/dev") || isAtOrBelow(p, "/run");
}

bool isImage(const MountEntry &m)
{
    return isOneOf(m.fsType, kImageTypes) || m.device.major == kLoopMajor || m.source.starts_with("/dev/loop") ||
           isAtOrBelow(m.mountPoint, "/snap") || isAtOrBelow(m.mountPoint, "/var/lib/snapd/snap");
}

bool isOpticalSource(const MountEntry &m)
{
    const std::string_view s = m.source;
    return m.device.major == kScsiCdMajor || (s.starts_with("/dev/sr") && s.size() > 7 && s[7] >= '0' && s[7] <= '9');
}

bool isRamBlockDevice(const MountEntry &m)
{
    return m.device.major == kRamDiskMajor || m.source.starts_with("/dev/zram") || m.source.starts_with("/dev/ram");
}

std::optional<DeviceNumber> backingDevice(const MountEntry &m, const BlockDeviceProbe &probe)
{
    if (m.device.major != 0)
        return m.device;
    if (m.source.starts_with("/dev/"))
        return probe.blockDeviceOf(m.source);
    return std::nullopt;
}

DriveType blockDeviceType(const MountEntry &m, const BlockDeviceProbe &probe)
{
    if (isRamBlockDevice(m))
        return DriveType::RamDisk;
    const std::optional<DeviceNumber> dev = backingDevice(m, probe);
    return dev && probe.isRemovable(*dev) ? DriveType::Removable : DriveType::Fixed;
}

int octalDigit(char c)
{
    return c >= '0' && c <= '7' ? c - '0' : -1;
}

std::vector<std::string_view> splitOn(std::string_view s, char sep)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size() || s[i] == sep) {
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

bool parseNumber(std::string_view s, unsigned &out)
{
    const char *end = s.data() + s.size();
    auto [ptr, ec] = std::from_chars(s.data(), end, out);
    return !s.empty() && ec == std::errc() && ptr == end;
}

bool parseDevice(std::string_view s, DeviceNumber &out)
{
    const std::size_t colon = s.find(':');
    return colon != std::string_view::npos && parseNumber(s.substr(0, colon), out.major) &&
           parseNumber(s.substr(colon + 1), out.minor);
}

std::optional<MountEntry> parseLine(std::string_view line)
{
    const std::vector<std::string_view> f = splitOn(line, ' ');
    const auto sep = std::find(f.begin() + std::min(kFixedFields, f.size()), f.end(), "-");
    if (f.end() - sep < 3)
        return std::nullopt;
    MountEntry m;
    if (!parseNumber(f[0], m.id) || !parseNumber(f[1], m.parentId) || !parseDevice(f[2], m.device))
        return std::nullopt;
    m.root = unescapeMountField(f[3]);
    m.mountPoint = unescapeMountField(f[4]);
    m.fsType = unescapeMountField(sep[1]);
    m.source = unescapeMountField(sep[2]);
    if (f.end() - sep > 3)
        m.superOptions = unescapeMountField(sep[3]);
    if (!m.mountPoint.starts_with('/') || m.fsType.empty())
        return std::nullopt;
    return m;
}

bool readFlag(const fs::path &file)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char c = 0;
    const bool one = ::read(fd, &c, 1) == 1 && c == '1';
    ::close(fd);
    return one;
}

// A sysfs block device directory: removable itself, its disk when it is a partition, on
// USB, or built on a device that is (a LUKS or RAID volume on a stick).
bool removableAt(const fs::path &dir, const std::string &sysRoot, int depth)
{
    std::error_code ec;
    const fs::path real = fs::canonical(dir, ec);
    if (ec)
        return false;
    std::string_view inside = real.native();
    if (inside.starts_with(sysRoot))
        inside.remove_prefix(sysRoot.size());
    if (inside.find("/usb") != std::string_view::npos || readFlag(real / "removable"))
        return true;
    if (fs::exists(real / "partition", ec) && readFlag(real.parent_path() / "removable"))
        return true;
    if (depth >= kMaxStackedDevices)
        return false;
    for (const fs::directory_entry &slave : fs::directory_iterator(real / "slaves", ec)) {
        if (removableAt(slave.path(), sysRoot, depth + 1))
            return true;
    }
    return false;
}

} // namespace

std::string unescapeMountField(std::string_view field)
{
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const int a = octalDigit(field[i + 1]), b = octalDigit(field[i + 2]), c = octalDigit(field[i + 3]);
            const int value = a * 64 + b * 8 + c;
            if (a >= 0 && b >= 0 && c >= 0 && value > 0 && value < 256) {
                out += char(value);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::vector<MountEntry> parseMountInfo(std::string_view text)
{
    std::vector<MountEntry> entries;
    for (std::string_view line : splitOn(text, '\n')) {
        if (std::optional<MountEntry> m = parseLine(line))
            entries.push_back(std::move(*m));
    }
    return entries;
}

std::string superOption(const MountEntry &m, std::string_view name)
{
    for (std::string_view option : splitOn(m.superOptions, ',')) {
        if (option.size() > name.size() && option.starts_with(name) && option[name.size()] == '=')
            return std::string(option.substr(name.size() + 1));
    }
    return {};
}

bool isRemoteFileSystem(std::string_view fsType)
{
    return isOneOf(fsType, kRemoteTypes);
}

DriveType classifyMount(const MountEntry &m, const BlockDeviceProbe &probe)
{
    if (isSystemPath(m.mountPoint) || isImage(m))
        return DriveType::None;
    if (isOneOf(m.fsType, kUnionTypes))
        return m.mountPoint == "/" ? DriveType::Fixed : DriveType::None;
    if (isOneOf(m.fsType, kRamTypes))
        return DriveType::RamDisk;
    if (isRemoteFileSystem(m.fsType))
        return DriveType::Remote;
    if (isOneOf(m.fsType, kCdTypes) || isOpticalSource(m))
        return DriveType::CdRom;
    // What is left without a block device is virtual: proc, sysfs, cgroup, devpts, ...
    if (m.device.major != 0 || isOneOf(m.fsType, kAnonymousLocalTypes))
        return blockDeviceType(m, probe);
    return DriveType::None;
}

bool SysfsBlockDeviceProbe::isRemovable(DeviceNumber device) const
{
    std::error_code ec;
    const std::string root = fs::canonical(m_sysRoot, ec).native();
    const fs::path dir =
        fs::path(m_sysRoot) / "dev/block" / (std::to_string(device.major) + ':' + std::to_string(device.minor));
    return removableAt(dir, root, 0);
}

std::optional<DeviceNumber> SysfsBlockDeviceProbe::blockDeviceOf(const std::string &node) const
{
    struct stat st {};
    if (::stat(node.c_str(), &st) != 0 || !S_ISBLK(st.st_mode))
        return std::nullopt;
    return DeviceNumber{::major(st.st_rdev), ::minor(st.st_rdev)};
}

bool SysfsBlockDeviceProbe::isDirectory(const std::string &path) const
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string readMountInfo()
{
    const int fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::string text;
    std::array<char, 8192> buf{};
    for (;;) {
        const ssize_t n = ::read(fd, buf.data(), buf.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buf.data(), std::size_t(n));
    }
    ::close(fd);
    return text;
}
