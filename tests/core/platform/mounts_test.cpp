// Guards the mountinfo parser (fields, escapes, optional fields, malformed lines), the kind
// of drive each mount is, and the sysfs probe's idea of removable (partitions, USB, mapped
// devices), against a fake sysfs tree.
#include "platform/mounts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>

namespace {

class FakeProbe final : public BlockDeviceProbe {
public:
    mutable int calls = 0;
    bool isRemovable(DeviceNumber d) const override { return ++calls, d == DeviceNumber{8, 17}; }
    std::optional<DeviceNumber> blockDeviceOf(const std::string &node) const override
    {
        ++calls;
        return node == "/dev/sdb2" ? std::optional(DeviceNumber{8, 17}) : std::nullopt;
    }
    bool isDirectory(const std::string &) const override { return ++calls, true; }
};

DriveType kindOf(const std::string &line, int *probeCalls = nullptr)
{
    const std::vector<MountEntry> m = parseMountInfo(line);
    EXPECT_EQ(m.size(), 1u) << line;
    FakeProbe probe;
    const DriveType t = m.empty() ? DriveType::None : classifyMount(m[0], probe);
    if (probeCalls)
        *probeCalls = probe.calls;
    return t;
}

} // namespace

TEST(MountInfo, ParsesFieldsUndoesEscapesAndSkipsMalformedLines)
{
    const std::vector<MountEntry> m = parseMountInfo(
        "36 35 98:0 /mnt1 /media/My\\040Stick\\011x\\134y rw,noatime master:1 shared:2 - ext3 /dev/root rw,subvolid=5\n"
        "garbage\n"
        "37 36 0:5 / /no-separator rw ext4 /dev/sda rw\n"
        "x 36 0:5 / /bad-id rw - ext4 /dev/sda rw\n"
        "38 36 0:40 / /tmp rw - tmpfs  rw,size=4k\n"
        "39 36 8:1 / /last rw - ext4 /dev/sda1 rw");
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].id, 36u);
    EXPECT_EQ(m[0].parentId, 35u);
    EXPECT_EQ(m[0].device, (DeviceNumber{98, 0}));
    EXPECT_EQ(m[0].root, "/mnt1");
    EXPECT_EQ(m[0].mountPoint, "/media/My Stick\tx\\y");
    EXPECT_EQ(m[0].fsType, "ext3");
    EXPECT_EQ(m[0].source, "/dev/root");
    EXPECT_EQ(superOption(m[0], "subvolid"), "5");
    EXPECT_EQ(superOption(m[0], "subvol"), "");
    EXPECT_EQ(m[1].source, ""); // an empty source leaves two blanks, not a shifted field
    EXPECT_EQ(m[1].superOptions, "rw,size=4k");
    EXPECT_EQ(m[2].mountPoint, "/last");

    EXPECT_EQ(unescapeMountField("a\\040b\\012"), "a b\n");
    EXPECT_EQ(unescapeMountField("\\04"), "\\04");
    EXPECT_EQ(unescapeMountField("\\9x9\\"), "\\9x9\\");
}

TEST(MountInfo, KindsOfDrive)
{
    EXPECT_EQ(kindOf("1 0 8:17 / /run/media/ann/DATA rw - ext4 /dev/sdb1 rw"), DriveType::Removable);
    EXPECT_EQ(kindOf("1 0 0:44 /@ /data rw - btrfs /dev/sdb2 rw,subvolid=256"), DriveType::Removable);
    EXPECT_EQ(kindOf("1 0 0:45 / /tank rw - zfs tank/data rw"), DriveType::Fixed);
    EXPECT_EQ(kindOf("1 0 11:1 / /media/u/BD ro - udf /dev/sr1 ro"), DriveType::CdRom);
    EXPECT_EQ(kindOf("1 0 11:0 / /media/u/CD ro - vfat /dev/sr0 ro"), DriveType::CdRom);
    EXPECT_EQ(kindOf("1 0 252:0 / /scratch rw - ext4 /dev/zram0 rw"), DriveType::RamDisk);

    // Nothing about a remote mount is asked of the system.
    for (const char *line :
         {"1 0 0:60 / /mnt/nas rw - nfs4 nas:/export rw", "1 0 0:61 /x /mnt/s rw - cifs //s/x rw",
          "1 0 0:62 / /home/u/srv rw - fuse.sshfs u@srv: rw", "1 0 0:63 / /mnt/c rw - 9p C:\\134 rw"}) {
        int calls = -1;
        EXPECT_EQ(kindOf(line, &calls), DriveType::Remote) << line;
        EXPECT_EQ(calls, 0) << line;
    }

    // The usual system mounts and images are in the drive-list tests.
    for (const char *line :
         {"1 0 0:22 / /mnt/sys rw - sysfs sysfs rw", "1 0 0:26 / /cg rw - cgroup2 cgroup2 rw",
          "1 0 0:33 / /mnt/auto rw - autofs systemd-1 rw", "1 0 0:23 / /dev/shm rw - tmpfs tmpfs rw",
          "1 0 8:1 / /run/cache rw - ext4 /dev/sda1 rw",
          "1 0 0:34 / /var/lib/docker/overlay2/1/merged rw - overlay overlay rw",
          "1 0 7:4 / /mnt/iso ro - iso9660 /dev/loop4 ro", "1 0 0:46 / /home/u/.cache/doc rw - fuse.portal portal rw"})
        EXPECT_EQ(kindOf(line), DriveType::None) << line;
}

namespace {

// An ATA disk, a USB disk that does not say removable, a card reader's removable disk,
// a mapped device on the USB partition and one on the ATA partition.
void makeSysfs(const QDir &sys)
{
    for (const char *disk : {"pci0/ata1/block/sda", "pci0/usb1/1-1/block/sdb", "pci0/sdhci/block/sdc"}) {
        const QString dir = QStringLiteral("devices/") + disk, part = dir + "/" + dir.right(3) + "1";
        sys.mkpath(part);
        QFile(sys.filePath(part + "/partition")).open(QIODevice::WriteOnly);
        QFile flag(sys.filePath(dir + "/removable"));
        flag.open(QIODevice::WriteOnly);
        flag.write(dir.endsWith("sdc") ? "1\n" : "0\n");
    }
    sys.mkpath("dev/block");
    sys.mkpath("devices/virtual/block/dm-0/slaves");
    sys.mkpath("devices/virtual/block/dm-1/slaves");
    const std::pair<const char *, const char *> links[] = {
        {"pci0/usb1/1-1/block/sdb/sdb1", "virtual/block/dm-0/slaves/sdb1"},
        {"pci0/ata1/block/sda/sda1", "virtual/block/dm-1/slaves/sda1"},
        {"pci0/ata1/block/sda", "8:0"},
        {"pci0/ata1/block/sda/sda1", "8:1"},
        {"pci0/usb1/1-1/block/sdb/sdb1", "8:17"},
        {"pci0/sdhci/block/sdc/sdc1", "8:33"},
        {"virtual/block/dm-0", "253:0"},
        {"virtual/block/dm-1", "253:1"}};
    for (const auto &[target, name] : links) {
        const QString at =
            QString(name).contains(':') ? QStringLiteral("dev/block/") + name : QStringLiteral("devices/") + name;
        ASSERT_TRUE(QFile::link(sys.filePath(QStringLiteral("devices/") + target), sys.filePath(at)));
    }
}

} // namespace

TEST(SysfsProbe, RemovableOnItsOwnThroughItsDiskOverUsbOrUnderAMappedDevice)
{
    const QTemporaryDir sys;
    makeSysfs(QDir(sys.path()));
    const SysfsBlockDeviceProbe probe(sys.path().toStdString());
    EXPECT_FALSE(probe.isRemovable({8, 0}));
    EXPECT_FALSE(probe.isRemovable({8, 1}));
    EXPECT_TRUE(probe.isRemovable({8, 17}));
    EXPECT_TRUE(probe.isRemovable({8, 33}));
    EXPECT_TRUE(probe.isRemovable({253, 0}));
    EXPECT_FALSE(probe.isRemovable({253, 1}));
    EXPECT_FALSE(probe.isRemovable({9, 9}));
    EXPECT_EQ(probe.blockDeviceOf("/dev/null"), std::nullopt); // a character device
}
