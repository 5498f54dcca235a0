#include "catalogue/volumes.h"

#include "catalogue/columns.h"
#include "catalogue/drivelist.h"
#include "catalogue/layouts.h"
#include "platform/volumeid.h"

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

void Volumes::tieFolders(const RecordSet &records, int first, int end, int volume)
{
    const SharedTextColumn &folders = *records.sharedValues(fld::Path);
    folderVolume.resize(folders.count(), -1);
    for (int pos = first; pos < end; ++pos)
        folderVolume[folders.id(records.bookmarkAt(pos))] = volume;
}
