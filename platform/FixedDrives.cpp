#include "FixedDrives.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace FixedDrives {

namespace {

struct Mount {
  QString device;
  QString point;  // ends with "/"
  QString type;
};

const QSet<QString> kDiskTypes = {"ext2", "ext3",     "ext4",    "xfs",    "btrfs",  "f2fs",
                                  "jfs",  "reiserfs", "vfat",    "exfat",  "ntfs",   "ntfs3",
                                  "zfs",  "fuseblk",  "hfsplus", "nilfs2", "overlay"};
const QSet<QString> kNetworkTypes = {"nfs",        "nfs4",        "cifs",      "smb3",           "smbfs",
                                     "ncpfs",      "afs",         "9p",        "ceph",           "glusterfs",
                                     "fuse.sshfs", "fuse.rclone", "fuse.s3fs", "fuse.gvfsd-fuse"};
const QSet<QString> kRamTypes = {"tmpfs", "ramfs"};

QString& mountTablePath() {
  static QString path;
  return path;
}

// /proc/mounts writes blanks and the like as octal escapes ("\040").
QString unescape(const QByteArray& field) {
  QByteArray out;
  for (qsizetype i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      bool ok = false;
      const int code = field.mid(i + 1, 3).toInt(&ok, 8);
      if (ok && code < 256) {
        out.append(char(code));
        i += 3;
        continue;
      }
    }
    out.append(field[i]);
  }
  return QFile::decodeName(out);
}

QList<Mount> readMounts() {
  const QString path = mountTablePath().isEmpty() ? QStringLiteral("/proc/self/mounts") : mountTablePath();
  QFile file(path);
  QList<Mount> mounts;
  if (!file.open(QIODevice::ReadOnly)) return mounts;
  while (!file.atEnd()) {
    const QList<QByteArray> fields = file.readLine().simplified().split(' ');
    if (fields.size() < 3) continue;
    Mount m{unescape(fields[0]), unescape(fields[1]), QString::fromLatin1(fields[2])};
    if (!m.point.endsWith('/')) m.point += '/';
    mounts.append(m);
  }
  return mounts;
}

bool isNetwork(const QString& type) { return kNetworkTypes.contains(type); }

bool isDrive(const Mount& m) { return kDiskTypes.contains(m.type) || isNetwork(m.type); }

// The block device's own flag, or for a partition its disk's.
bool isRemovableDevice(const QString& device) {
  if (!device.startsWith(QLatin1String("/dev/"))) return false;
  const QString block = QStringLiteral("/sys/class/block/") + QFileInfo(device).fileName();
  for (const QString& flag : {block + "/removable", block + "/../removable"}) {
    QFile file(flag);
    if (file.open(QIODevice::ReadOnly)) return file.readAll().trimmed() == "1";
  }
  return false;
}

// The mount that holds `path`: the last mounted one with the longest point.
const Mount* mountOf(const QList<Mount>& mounts, const QString& path) {
  const Mount* best = nullptr;
  for (const Mount& m : mounts)
    if (path.startsWith(m.point) && (!best || m.point.size() >= best->point.size())) best = &m;
  return best;
}

}  // namespace

QStringList logicalDriveStrings() {
  QStringList roots;
  for (const Mount& m : readMounts())
    if (isDrive(m) && !roots.contains(m.point)) roots.append(m.point);
  if (roots.removeAll(QStringLiteral("/")) > 0) roots.prepend(QStringLiteral("/"));
  return roots;
}

int driveType(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists()) return DriveType::NoRootDir;
  QString absolute = info.absoluteFilePath();
  if (!absolute.endsWith('/')) absolute += '/';
  const QList<Mount> mounts = readMounts();
  const Mount* m = mountOf(mounts, absolute);
  if (!m) return DriveType::Unknown;
  if (isNetwork(m->type)) return DriveType::Remote;
  if (kRamTypes.contains(m->type)) return DriveType::RamDisk;
  if (!kDiskTypes.contains(m->type)) return DriveType::Unknown;
  return isRemovableDevice(m->device) ? DriveType::Removable : DriveType::Fixed;
}

void setMountTable(const QString& path) { mountTablePath() = path; }

}  // namespace FixedDrives
