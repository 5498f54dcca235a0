#include "catalogue/volumes.h"

#include "catalogue/columns.h"
#include "catalogue/drivelist.h"
#include "catalogue/layouts.h"
#include "catalogue/listingsum.h"
#include "catalogue/walkahead.h"
#include "platform/volumeid.h"

#include <algorithm>
#include <chrono>

Volume Volumes::identify(const std::string &path)
{
    const std::string mountInfo = readMountInfo();
    const VolumeIdentity id = identifyVolume(path, mountInfo);
    Volume v;
    v.mountPoint = id.mountPoint;
    v.label = id.label;
    v.uuid = id.uuid;
    v.fsType = id.fsType;
    v.device = id.device;
    v.deviceNumber = std::to_string(id.number.major) + ":" + std::to_string(id.number.minor);
    v.totalBytes = id.totalBytes;
    v.freeBytes = id.freeBytes;
    for (const MountEntry &m : parseMountInfo(mountInfo)) {
        if (m.mountPoint == id.mountPoint && m.device == id.number) {
            v.driveType = DriveTypeText(classifyMount(m, SysfsBlockDeviceProbe())).mid(3).toStdString(); // after ":  "
        }
    }
    return v;
}

qint64 Volumes::nowMillis()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

void Volumes::walk(DirectoryWalk &walk, const RecordSet &records, const std::string &root)
{
    Volume volume = identify(root); // its free space before the walk
    volume.walkBegan = nowMillis();
    const int first = records.count();
    if (keepListings)
        walk.setListed([this, &records, seed = listingSeed()](const ListedDirectory &dir) {
            // Its files' records were added just now: their names need not be kept twice.
            const auto files = std::count_if(dir.listing.entries.begin(), dir.listing.entries.end(),
                                             [](const DirEntry &e) { return !e.isDirectory; });
            listings.push_back({int(list.size()), dir.path, dir.listing.stamp, dir.listing.entriesText(false),
                                records.count() - int(files), dir.listing.entriesSum(seed), true});
        });
    walk.FindDirs(root);
    walk.setListed({});
    volume.walkEnded = nowMillis();
    volume.files = records.count() - first;
    // Positions are still the order the records came in.
    const SharedTextColumn &folders = *records.sharedValues(fld::Path);
    folderVolume.resize(folders.count(), -1);
    for (int pos = first; pos < records.count(); ++pos)
        folderVolume[folders.id(records.bookmarkAt(pos))] = int(list.size());
    list.push_back(std::move(volume));
}

bool FolderListing::withFileNames(const RecordSet &records, std::string &out) const
{
    out.clear();
    if (firstFile < 0)
        return out = entries, true;
    std::string name;
    int file = firstFile;
    for (std::size_t at = 0; at < entries.size();) {
        const std::size_t end = entries.find('\0', at);
        if (end == std::string::npos)
            return false;
        out.append(entries, at, end - at);
        if (entries[at] == 'f') {
            if (file >= records.count())
                return false;
            records.exactAt(file++, fld::LongName, name);
            out += name;
        }
        out += '\0';
        at = end + 1;
    }
    return true;
}
