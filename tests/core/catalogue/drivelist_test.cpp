// Guards the drive list on Linux: which mounts become drives, their order, kinds and root
// paths; that bind mounts, images, system mounts and hidden mounts stay out; that remote
// mounts are never looked at; and that odd mount-point bytes survive into DriveRoots.
#include "catalogue/drivelist.h"

#include <gtest/gtest.h>
#include <map>
#include <set>

namespace {

class FakeProbe final : public BlockDeviceProbe {
public:
    std::set<DeviceNumber> removable;
    std::map<std::string, DeviceNumber> nodes;
    std::set<std::string> files;
    mutable std::vector<std::string> looked;

    bool isRemovable(DeviceNumber d) const override { return removable.count(d) > 0; }
    std::optional<DeviceNumber> blockDeviceOf(const std::string &node) const override
    {
        const auto it = nodes.find(node);
        return it == nodes.end() ? std::nullopt : std::optional(it->second);
    }
    bool isDirectory(const std::string &path) const override
    {
        looked.push_back(path);
        return files.count(path) == 0;
    }
};

const QString kFixed = QStringLiteral(":  Is A Hard/Non-Removable Drive");
const QString kRemovable = QStringLiteral(":  Is A Removable Drive");

// A desktop: NVMe disk, USB stick and USB disk, a DVD, an NFS share, tmpfs, a bind of part
// of /home that sorts before it, one virtual file system at and below each system folder.
constexpr char kDesktop[] = R"(22 1 259:2 / / rw,relatime shared:1 - ext4 /dev/nvme0n1p2 rw,errors=remount-ro
23 22 0:21 / /proc rw,nosuid,nodev,noexec,relatime shared:12 - proc proc rw
24 22 0:22 / /sys rw,nosuid,nodev,noexec,relatime shared:2 - sysfs sysfs rw
25 22 0:5 / /dev rw,nosuid,relatime shared:8 - devtmpfs udev rw,size=8013724k,nr_inodes=2003431,mode=755
27 22 0:24 / /run rw,nosuid,nodev,noexec,relatime shared:5 - tmpfs tmpfs rw,size=1609004k,mode=755
30 22 259:1 / /boot/efi rw,relatime shared:30 - vfat /dev/nvme0n1p1 rw,fmask=0077,dmask=0077
31 22 259:3 / /home rw,relatime shared:31 - ext4 /dev/nvme0n1p3 rw
32 22 0:40 / /tmp rw,nosuid,nodev shared:32 - tmpfs tmpfs rw,size=8044976k
33 22 259:3 /ann/backup /backup rw,relatime shared:31 - ext4 /dev/nvme0n1p3 rw
34 27 0:45 / /run/user/1000 rw,nosuid,nodev,relatime shared:300 - tmpfs tmpfs rw,size=1609000k,mode=700,uid=1000
36 22 8:17 / /media/user/STICK rw,nosuid,nodev,relatime shared:400 - vfat /dev/sdb1 rw,uid=1000
37 27 8:33 / /run/media/ann/DATA rw,nosuid,nodev,relatime shared:410 - ext4 /dev/sdc1 rw
38 22 11:0 / /media/user/DVD ro,nosuid,nodev,relatime shared:420 - iso9660 /dev/sr0 ro,nojoliet,check=s
39 22 0:60 / /mnt/nas rw,relatime shared:430 - nfs4 nas.local:/export rw,vers=4.2,addr=192.168.1.5
40 22 8:49 / /media/user/My\040Disk rw,relatime shared:440 - exfat /dev/sdd1 rw
)";

// Inside a container: overlay root, the kernel's file systems, volumes and single files
// bound in from the host's disk.
constexpr char kContainer[] =
    R"(612 540 0:52 / / rw,relatime master:300 - overlay overlay rw,lowerdir=/var/lib/docker/overlay2/l/AB:/var/lib/docker/overlay2/l/CD,upperdir=/var/lib/docker/overlay2/12/diff
613 612 0:55 / /proc rw,nosuid,nodev,noexec,relatime - proc proc rw
614 612 0:56 / /dev rw,nosuid - tmpfs tmpfs rw,size=65536k,mode=755
616 612 0:58 / /sys ro,nosuid,nodev,noexec,relatime - sysfs sysfs ro
620 612 254:1 /var/lib/docker/volumes/data/_data /data rw,relatime - ext4 /dev/vda1 rw
621 612 254:1 /var/lib/docker/containers/abc/resolv.conf /etc/resolv.conf rw,relatime - ext4 /dev/vda1 rw
622 612 254:1 /var/lib/docker/containers/abc/hostname /etc/hostname rw,relatime - ext4 /dev/vda1 rw
623 612 254:1 /var/lib/docker/containers/abc/hosts /etc/hosts rw,relatime - ext4 /dev/vda1 rw
624 612 254:1 /var/log/app /srv/logs rw,relatime - ext4 /dev/vda1 rw
543 613 0:56 /null /proc/kcore rw,nosuid - tmpfs tmpfs rw,size=65536k,mode=755
)";

// A laptop on btrfs subvolumes with snaps: loop-mounted squashfs images and a snap's bind
// of a folder of the root subvolume.
constexpr char kSnaps[] = R"(25 1 0:35 /@ / rw,relatime shared:1 - btrfs /dev/sda2 rw,ssd,subvolid=256,subvol=/@
26 25 0:35 /@home /home rw,relatime shared:2 - btrfs /dev/sda2 rw,ssd,subvolid=257,subvol=/@home
27 25 8:1 / /boot/efi rw,relatime shared:3 - vfat /dev/sda1 rw
28 25 7:1 / /snap/core22/1122 ro,nodev,relatime shared:4 - squashfs /dev/loop1 ro
29 25 7:2 / /snap/firefox/4173 ro,nodev,relatime shared:5 - squashfs /dev/loop2 ro
30 25 0:35 /@/usr/share/hunspell /var/snap/firefox/common/host-hunspell ro,relatime shared:6 - btrfs /dev/sda2 rw,ssd,subvolid=256,subvol=/@
31 25 0:35 /@home/ann/Music /srv/music rw,relatime shared:7 - btrfs /dev/sda2 rw,ssd,subvolid=257,subvol=/@home
32 25 7:3 / /mnt/image rw,relatime shared:8 - ext4 /dev/loop3 rw
)";

} // namespace

TEST(DriveList, DesktopListsStorageInByteOrderWithRootsByPosition)
{
    FakeProbe probe;
    probe.removable = {{8, 17}, {8, 33}, {8, 49}};
    DriveTables t;
    t.SelectedDrives[3] = QStringLiteral("/home/");
    const QStringList lines = GetDrives(t, kDesktop, probe);
    EXPECT_EQ(lines, QStringList({"/" + kFixed, "/boot/efi" + kFixed, "/home" + kFixed,
                                  "/media/user/DVD:  Is A CD-ROM Drive", "/media/user/My Disk" + kRemovable,
                                  "/media/user/STICK" + kRemovable, "/mnt/nas:  Is A Remote/Network Drive",
                                  "/run/media/ann/DATA" + kRemovable, "/tmp:  Is A RAM Drive"}));
    const QStringList roots{
        "/",         "/boot/efi/",           "/home/", "/media/user/DVD/", "/media/user/My Disk/", "/media/user/STICK/",
        "/mnt/nas/", "/run/media/ann/DATA/", "/tmp/"};
    for (std::size_t p = 0; p < std::size_t(kMaxDrives); ++p) {
        EXPECT_EQ(t.DriveRoots[p], p < 9 ? roots[qsizetype(p)] : QStringLiteral(" ")) << p;
        EXPECT_EQ(t.SelectedDrives[p], QStringLiteral(" ")) << p;
    }
}

TEST(DriveList, ContainerOffersItsOverlayRootAndVolumesButNotBoundFiles)
{
    FakeProbe probe;
    probe.files = {"/etc/hosts", "/etc/hostname", "/etc/resolv.conf"};
    DriveTables t;
    EXPECT_EQ(GetDrives(t, kContainer, probe), QStringList({"/" + kFixed, "/data" + kFixed, "/srv/logs" + kFixed}));
}

TEST(DriveList, SnapImagesAndBindsInsideListedSubvolumesAreLeftOut)
{
    DriveTables t;
    EXPECT_EQ(GetDrives(t, kSnaps, FakeProbe()), QStringList({"/" + kFixed, "/boot/efi" + kFixed, "/home" + kFixed}));
}

TEST(DriveList, OnlyTheMountInViewIsOffered)
{
    // A second stick mounted over the first, and a tmpfs over /mnt hiding /mnt/usb below it.
    const char *text = "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                       "50 20 8:17 / /media/user/STICK rw - vfat /dev/sdb1 rw\n"
                       "51 50 8:33 / /media/user/STICK rw - ext4 /dev/sdc1 rw\n"
                       "52 20 8:49 / /mnt/usb rw - ext4 /dev/sdd1 rw\n"
                       "53 20 0:70 / /mnt rw - tmpfs tmpfs rw\n";
    FakeProbe probe;
    probe.removable = {{8, 17}};
    DriveTables t;
    EXPECT_EQ(GetDrives(t, text, probe),
              QStringList({"/" + kFixed, "/media/user/STICK" + kFixed, "/mnt:  Is A RAM Drive"}));
}

TEST(DriveList, NothingBehindARemoteMountIsLookedAt)
{
    const char *text = "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                       "30 20 0:60 /photos /mnt/nas rw - nfs4 nas:/export rw\n"
                       "31 30 8:1 /srv/cache /mnt/nas/cache rw - ext4 /dev/sda1 rw\n"
                       "32 20 0:61 /share /mnt/smb rw - cifs //srv/share rw\n"
                       "33 20 8:1 /srv/www /var/www rw - ext4 /dev/sda1 rw\n";
    FakeProbe probe;
    DriveTables t;
    EXPECT_EQ(GetDrives(t, text, probe).size(), 3); // the bind below "/" adds nothing
    EXPECT_EQ(probe.looked, std::vector<std::string>({"/var/www"}));
}

TEST(DriveList, AtMostTwentySixDrivesTheFirstInByteOrder)
{
    std::string text;
    for (int i = 29; i >= 0; --i)
        text += std::to_string(100 + i) + " 1 0:" + std::to_string(100 + i) + " / /mnt/d" + char('A' + i / 10) +
                char('0' + i % 10) + " rw - tmpfs tmpfs rw\n";
    DriveTables t;
    const QStringList lines = GetDrives(t, text, FakeProbe());
    ASSERT_EQ(lines.size(), kMaxDrives);
    EXPECT_EQ(lines.first(), "/mnt/dA0:  Is A RAM Drive");
    EXPECT_EQ(lines.last(), "/mnt/dC5:  Is A RAM Drive");
    EXPECT_EQ(t.DriveRoots[25], "/mnt/dC5/");
}

TEST(DriveList, EscapedAndNonUtf8MountPointsKeepTheirBytesInDriveRoots)
{
    const char *text = "20 1 8:1 / /media/ann/Caf\xe9 rw - ext4 /dev/sda1 rw\n"
                       "21 1 8:2 / /media/ann/Cafe\\011tab\\134x rw - ext4 /dev/sda2 rw\n"
                       "22 1 8:3 / /media/ann/\xf0\x9f\x93\xb7 rw - ext4 /dev/sda3 rw\n"
                       "23 1 8:4 / /media/ann/\xef\xbc\xa1 rw - ext4 /dev/sda4 rw\n";
    DriveTables t;
    const QStringList lines = GetDrives(t, text, FakeProbe());
    // Bytes order as unsigned, not as UTF-16: "e" before 0xE9, the fullwidth A (EF BC A1)
    // before the emoji (F0 9F 93 B7) although its UTF-16 unit comes after the surrogates.
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], "/media/ann/Cafe\ttab\\x" + kFixed);
    EXPECT_EQ(lines[1], QString::fromUtf8("/media/ann/Caf\uFFFD") + kFixed);
    EXPECT_EQ(lines[2], QString::fromUtf8("/media/ann/\xef\xbc\xa1") + kFixed);
    EXPECT_EQ(lines[3], QString::fromUtf8("/media/ann/\xf0\x9f\x93\xb7") + kFixed);
    EXPECT_EQ(DriveRootPath(t.DriveRoots[0]), "/media/ann/Cafe\ttab\\x/");
    EXPECT_EQ(DriveRootPath(t.DriveRoots[1]), "/media/ann/Caf\xe9/");
    EXPECT_EQ(DriveRootPath(t.DriveRoots[3]), "/media/ann/\xf0\x9f\x93\xb7/");
    EXPECT_EQ(DriveRootPath(QStringLiteral(" ")), " ");
}
