#pragma once
// The mounted file systems of /proc/self/mountinfo and the kind of drive each one is.
// The parser and the classifier work on given text and a probe, so they are tested with
// fixtures; the real probe reads sysfs and /dev, never a mounted file system.

#include <compare>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct DeviceNumber {
    unsigned major = 0;
    unsigned minor = 0;
    auto operator<=>(const DeviceNumber &) const = default;
};

// One line of mountinfo. Text fields are raw bytes with the kernel's octal escapes undone.
struct MountEntry {
    unsigned id = 0;
    unsigned parentId = 0; // the mount this one is attached to
    DeviceNumber device;   // as mountinfo gives it: 0:N for file systems without a block device
    std::string root;      // the folder of the file system that is mounted: "/" for all of it
    std::string mountPoint;
    std::string fsType;
    std::string source;
    std::string superOptions;
};

// Entries in the order of the text. Lines that do not have mountinfo's shape are skipped.
[[nodiscard]] std::vector<MountEntry> parseMountInfo(std::string_view text);
// Undoes the kernel's \ooo escapes (\040 space, \011 tab, \012 newline, \134 backslash).
[[nodiscard]] std::string unescapeMountField(std::string_view field);

// The value of one super option ("subvolid" of "rw,subvolid=256,subvol=/@home"), or empty.
[[nodiscard]] std::string superOption(const MountEntry &m, std::string_view name);

// Drive kinds with the numbers Windows gives them; None means the mount is not a drive.
enum class DriveType { None = 0, Removable = 2, Fixed = 3, Remote = 4, CdRom = 5, RamDisk = 6 };

// What classifying and choosing mounts needs to ask the system.
class BlockDeviceProbe {
public:
    virtual ~BlockDeviceProbe() = default;
    // True for a block device marked removable or attached through USB, directly, as a
    // partition of such a disk, or under a mapped (dm, md) device built on one.
    [[nodiscard]] virtual bool isRemovable(DeviceNumber device) const = 0;
    // The device a block special file stands for (a source such as /dev/sdb1).
    [[nodiscard]] virtual std::optional<DeviceNumber> blockDeviceOf(const std::string &node) const = 0;
    // False for anything but a directory: a bind mount can put a single file in place.
    [[nodiscard]] virtual bool isDirectory(const std::string &path) const = 0;
};

class SysfsBlockDeviceProbe final : public BlockDeviceProbe {
public:
    explicit SysfsBlockDeviceProbe(std::string sysRoot = "/sys") : m_sysRoot(std::move(sysRoot)) {}
    [[nodiscard]] bool isRemovable(DeviceNumber device) const override;
    [[nodiscard]] std::optional<DeviceNumber> blockDeviceOf(const std::string &node) const override;
    [[nodiscard]] bool isDirectory(const std::string &path) const override;

private:
    std::string m_sysRoot;
};

// NFS, SMB, sshfs and the like: never to be touched on disk, a server may hang.
[[nodiscard]] bool isRemoteFileSystem(std::string_view fsType);

// The kind of drive a mount is, from its type, source, device and mount point; the probe
// is asked only about block devices, so this never touches a mounted file system.
[[nodiscard]] DriveType classifyMount(const MountEntry &m, const BlockDeviceProbe &probe);

// The text of /proc/self/mountinfo; empty when it cannot be read.
[[nodiscard]] std::string readMountInfo();
