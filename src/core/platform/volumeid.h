#pragma once
// What identifies a mounted file system and what it holds: its device, the UUID and label
// its superblock gives, its type, and its size and free space.

#include "platform/mounts.h"

#include <QtGlobal>
#include <string>
#include <string_view>
#include <vector>

struct VolumeIdentity {
    std::string mountPoint;
    std::string device;      // the mount's source: "/dev/sda1", "tmpfs", "server:/export"
    DeviceNumber number;     // st_dev of its files
    std::string uuid, label; // empty where the file system has none (tmpfs, proc, most network shares)
    std::string fsType;
    qint64 totalBytes = -1; // -1 when statvfs cannot say
    qint64 freeBytes = -1;  // for an unprivileged user
};

// The mount that holds path: the longest mount point at or above it, the last one mounted
// there where several are. nullptr when there is none.
[[nodiscard]] const MountEntry *mountHolding(const std::vector<MountEntry> &mounts, std::string_view path);

// The identity of the file system that holds path, from the given mountinfo text. The UUID
// and label come from libblkid's probe of the device, or, where the device cannot be read
// (an unprivileged user), from the /dev/disk/by-uuid and by-label links.
[[nodiscard]] VolumeIdentity identifyVolume(const std::string &path, std::string_view mountInfo);
