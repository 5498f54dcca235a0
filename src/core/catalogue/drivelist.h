#pragma once
// The drives the drive list offers: the mounted file systems that hold files a user would
// catalogue, one line each, with the root path of every line by list position.

#include "catalogue/walk.h"
#include "platform/mounts.h"

#include <QString>
#include <QStringList>
#include <array>
#include <string>
#include <string_view>

struct DriveTables {
    std::array<QString, kMaxDrives> DriveRoots;
    std::array<QString, kMaxDrives> SelectedDrives;
};

// What follows the mount point on a drive's line (":  Is A RAM Drive"); empty for None.
[[nodiscard]] QString DriveTypeText(DriveType type);

// Resets both tables to " ", then returns the lines to append to the list, in byte order
// of the mount point, at most kMaxDrives, and fills DriveRoots for them ("/", "/home/").
// A mount out of view (another stacked on it or on a folder above it) is not offered, nor
// one whose files another offered mount of the same file system already shows.
// A line shows bytes that are not UTF-8 as U+FFFD; DriveRoots keeps them (DriveRootPath).
QStringList GetDrives(DriveTables &tables, std::string_view mountInfo, const BlockDeviceProbe &probe);
// The same for this machine.
QStringList GetDrives(DriveTables &tables);

// The path to walk for a DriveRoots (or SelectedDrives) entry, with the mount point's
// real bytes even where they are not UTF-8.
[[nodiscard]] std::string DriveRootPath(const QString &root);
