#pragma once

#include <QString>
#include <QStringList>

// Drives as the setup sees them: the mount points of disk and network file
// systems, each ending with "/", "/" first.
namespace FixedDrives {

// The kinds of drive GetDriveTypeA tells apart.
namespace DriveType {
constexpr int Unknown = 0;
constexpr int NoRootDir = 1;
constexpr int Removable = 2;
constexpr int Fixed = 3;
constexpr int Remote = 4;
constexpr int RamDisk = 6;
}  // namespace DriveType

// The roots of every drive, "/" first, then in mount order.
QStringList logicalDriveStrings();

// The kind of drive `path` lies on; NoRootDir when it does not exist.
int driveType(const QString& path);

// Reads the mounts from `path` in place of /proc/self/mounts; empty restores it.
void setMountTable(const QString& path);

}  // namespace FixedDrives
