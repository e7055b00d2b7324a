#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "FixedDrives.h"
#include "FolderProperties.h"
#include "TestEnv.h"

TEST(FolderProperties, ResolvesEveryNameOfTheTable) {
  qputenv("KVT_SYSTEM_FOLDER", "/srv/win/system32");
  qputenv("TMPDIR", "/var/tmp");
  const QString home = qEnvironmentVariable("HOME");
  const std::pair<const char*, QString> cases[] = {
      {"SystemFolder", "/srv/win/system32/"},
      {"WindowsFolder", "/srv/win/"},
      {"WindowsVolume", "/"},
      {"TempFolder", "/var/tmp/"},
      {"ProgramFilesFolder", "/opt/"},
      {"ProgramFiles", "/opt/"},
      {"CommonFilesFolder", "/opt/common/"},
      {"DesktopFolder", QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) + "/"},
      {"AppDataFolder", QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/"},
      {"FavoritesFolder", ""},
      {"StartMenuFolder", QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation) + "/"},
      {"ProgramMenuFolder", QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation) + "/"},
      {"StartupFolder", qEnvironmentVariable("XDG_CONFIG_HOME") + "/autostart/"},
      {"FontsFolder", QStandardPaths::writableLocation(QStandardPaths::FontsLocation) + "/"},
      {"systemfolder", "systemfolder"},
      {"NoSuchFolder", "NoSuchFolder"},
  };
  for (const auto& [name, value] : cases) EXPECT_EQ(ResolveFolderProperty(name), value) << name;
  EXPECT_TRUE(ResolveFolderProperty("DesktopFolder").startsWith(home));
}

TEST(FolderProperties, SystemFolderHasADefault) {
  qunsetenv("KVT_SYSTEM_FOLDER");
  EXPECT_EQ(ResolveFolderProperty("SystemFolder"), "/usr/lib/kvt/system/");
  EXPECT_EQ(ResolveFolderProperty("WindowsFolder"), "/usr/lib/kvt/");
}

TEST(FolderProperties, ExpandsPropertiesAndVariables) {
  qputenv("KVT_SYSTEM_FOLDER", "/sys32");
  qputenv("KVT_DEFINED", "value");
  qunsetenv("KVT_UNDEFINED");
  const std::pair<const char*, const char*> cases[] = {
      {"[SystemFolder]msi.dll", "/sys32/msi.dll"},
      {"a%KVT_DEFINED%b", "avalueb"},
      {"a%KVT_UNDEFINED%b", "ab"},
      {"[Unknown]x", "Unknownx"},
      {"100% sure", "100% sure"},
      {"a[b", "a[b"},
      {"[SystemFolder]%KVT_DEFINED%[x", "/sys32/value[x"},
      {"%%", ""},
      {"[]", ""},
      {"]plain%", "]plain%"},
      {"", ""},
  };
  for (const auto& [text, expanded] : cases) EXPECT_EQ(ExpandFolderProperties(text), expanded) << text;
}

TEST(FolderProperties, FixedDrivesAreLocalDisksWithTheRootFirst) {
  const QString dir = TestEnv::freshDir("drives");
  for (const char* sub : {"c", "d e", "net", "ram"}) QDir(dir).mkpath(sub);
  QFile table(dir + "/mounts");
  ASSERT_TRUE(table.open(QIODevice::WriteOnly));
  table.write(("proc /proc proc rw 0 0\n/dev/kvt-test1 " + dir +
               "/c ext4 rw 0 0\n"
               "server:/x " +
               dir +
               "/net nfs4 rw 0 0\n/dev/kvt-test2 / overlay rw 0 0\n"
               "tmpfs " +
               dir + "/ram tmpfs rw 0 0\n/dev/kvt-test3 " + dir + "/d\\040e xfs rw 0 0\n")
                  .toUtf8());
  table.close();
  FixedDrives::setMountTable(dir + "/mounts");
  EXPECT_EQ(FixedDrives::logicalDriveStrings(),
            QStringList({"/", dir + "/c/", dir + "/net/", dir + "/d e/"}));
  EXPECT_EQ(FixedDrives::driveType(dir + "/net/"), FixedDrives::DriveType::Remote);
  EXPECT_EQ(FixedDrives::driveType(dir + "/ram"), FixedDrives::DriveType::RamDisk);
  EXPECT_EQ(FixedDrives::driveType(dir + "/gone"), FixedDrives::DriveType::NoRootDir);
  EXPECT_EQ(ListFixedDrives(), QStringList({"/", dir + "/c/", dir + "/d e/"}));
  FixedDrives::setMountTable({});
}
