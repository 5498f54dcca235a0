#include "platform/volumeid.h"

#include <blkid/blkid.h>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

namespace fs = std::filesystem;

namespace {

bool isAtOrBelow(std::string_view path, std::string_view dir)
{
    if (dir == "/")
        return !path.empty() && path[0] == '/';
    return path.starts_with(dir) && (path.size() == dir.size() || path[dir.size()] == '/');
}

// The value of a superblock tag, read from the device itself.
std::string probedTag(blkid_probe probe, const char *tag)
{
    const char *value = nullptr;
    return blkid_probe_lookup_value(probe, tag, &value, nullptr) == 0 && value ? value : "";
}

bool probeDevice(const std::string &node, VolumeIdentity &v)
{
    const std::unique_ptr<blkid_struct_probe, decltype(&blkid_free_probe)> probe(
        blkid_new_probe_from_filename(node.c_str()), &blkid_free_probe);
    if (!probe)
        return false;
    blkid_probe_enable_superblocks(probe.get(), 1);
    blkid_probe_set_superblocks_flags(probe.get(), BLKID_SUBLKS_UUID | BLKID_SUBLKS_LABEL);
    if (blkid_do_safeprobe(probe.get()) != 0)
        return false;
    v.uuid = probedTag(probe.get(), "UUID");
    v.label = probedTag(probe.get(), "LABEL");
    return true;
}

// udev's \xNN escapes in a link's name undone.
std::string unescapeLinkName(const std::string &name)
{
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        unsigned byte = 0;
        if (name.compare(i, 2, "\\x") == 0 && i + 3 < name.size() &&
            std::sscanf(name.c_str() + i + 2, "%2x", &byte) == 1) {
            out += char(byte);
            i += 3;
        } else {
            out += name[i];
        }
    }
    return out;
}

// The name of the link in folder that leads to the device.
std::string linkNameFor(const char *folder, dev_t device)
{
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(folder, ec)) {
        struct stat st {};
        if (::stat(entry.path().c_str(), &st) == 0 && S_ISBLK(st.st_mode) && st.st_rdev == device)
            return unescapeLinkName(entry.path().filename().string());
    }
    return {};
}

} // namespace

const MountEntry *mountHolding(const std::vector<MountEntry> &mounts, std::string_view path)
{
    const MountEntry *best = nullptr;
    for (const MountEntry &m : mounts)
        if (isAtOrBelow(path, m.mountPoint) && (!best || m.mountPoint.size() >= best->mountPoint.size()))
            best = &m;
    return best;
}

VolumeIdentity identifyVolume(const std::string &path, std::string_view mountInfo)
{
    VolumeIdentity v;
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    const std::vector<MountEntry> mounts = parseMountInfo(mountInfo);
    if (const MountEntry *m = mountHolding(mounts, trimmed)) {
        v.mountPoint = m->mountPoint;
        v.device = m->source;
        v.number = m->device;
        v.fsType = m->fsType;
    }
    struct statvfs sv {};
    if (::statvfs(path.c_str(), &sv) == 0) {
        v.totalBytes = qint64(sv.f_blocks) * qint64(sv.f_frsize);
        v.freeBytes = qint64(sv.f_bavail) * qint64(sv.f_frsize);
    }
    struct stat node {};
    if (!v.device.starts_with("/dev/") || ::stat(v.device.c_str(), &node) != 0 || !S_ISBLK(node.st_mode))
        return v; // no block device: nothing on disk names it
    if (!probeDevice(v.device, v)) {
        v.uuid = linkNameFor("/dev/disk/by-uuid", node.st_rdev);
        v.label = linkNameFor("/dev/disk/by-label", node.st_rdev);
    }
    return v;
}
