#include <gtest/gtest.h>

#include <QFile>

#include "CBootstrapConfig.h"
#include "FixedDrives.h"
#include "PrerequisiteSearch.h"
#include "RegistryStore.h"
#include "TestEnv.h"
#include "VersionBlockWriter.h"

namespace {

constexpr quint32 kHklm = 0x80000002;
constexpr quint32 kHkcu = 0x80000001;

class PrerequisiteDetection : public ::testing::Test {
 protected:
  void SetUp() override {
    system_ = TestEnv::freshDir("system");
    qputenv("KVT_SYSTEM_FOLDER", system_.toUtf8());
  }

  void writeVersioned(const QString& path, quint16 a, quint16 b, quint16 c = 0, quint16 d = 0) {
    ASSERT_TRUE(VersionBlockWriter::writeFile(
        path, VersionBlockWriter::inFile(VersionBlockWriter::block(a, b, c, d))));
  }

  // One prerequisite, detected.
  int detect(PrerequisiteInfo info) {
    config_.prerequisites = {info};
    config_.DetectAll();
    return config_.states.value(0, -1);
  }

  static PrerequisiteInfo prerequisite(int searchType, const QString& searchString,
                                       const QString& verMin = {}, const QString& verMax = {},
                                       int kind = PrerequisiteKind::SetupFile) {
    PrerequisiteInfo info;
    info.name = "P";
    info.location = "p.exe";
    info.kind = kind;
    info.searchType = searchType;
    info.searchString = searchString;
    info.verMin = verMin;
    info.verMax = verMax;
    return info;
  }

  static void setRegistryValue(quint32 root, const QString& key, const QString& name, const QByteArray& data,
                               quint32 type = RegType::Sz) {
    ASSERT_TRUE(RegistryStore(root).setValue(key, name, RegValue{type, data}));
  }

  QString system_;
  CBootstrapConfig config_;
};

}  // namespace

TEST_F(PrerequisiteDetection, AFileInTheSystemFolderAgainstItsMinimum) {
  const PrerequisiteInfo vb = prerequisite(SearchType::File, "[SystemFolder]msvbvm60.dll", "6.0");
  EXPECT_EQ(detect(vb), PrerequisiteState::Install) << "missing";
  EXPECT_TRUE(config_.foundVersions[0].isEmpty());

  writeVersioned(system_ + "/msvbvm60.dll", 6, 0, 8169, 4);
  EXPECT_EQ(detect(vb), PrerequisiteState::NothingToDo);
  EXPECT_EQ(config_.foundVersions[0], QStringList{"6.0.8169.4"});

  writeVersioned(system_ + "/msvbvm60.dll", 5, 1);
  EXPECT_EQ(detect(vb), PrerequisiteState::Install) << "too old";

  VersionBlockWriter::writeFile(system_ + "/msvbvm60.dll", "no version block here");
  EXPECT_EQ(detect(vb), PrerequisiteState::Install) << "without a version block";
  EXPECT_EQ(config_.foundVersions[0], QStringList{"0.0.0.0"});
}

TEST_F(PrerequisiteDetection, FileNamesAreMatchedWithoutRegardToCase) {
  writeVersioned(system_ + "/MSVBVM60.DLL", 6, 0);
  EXPECT_EQ(detect(prerequisite(SearchType::File, "[SystemFolder]msvbvm60.dll", "6.0")),
            PrerequisiteState::NothingToDo);
}

TEST_F(PrerequisiteDetection, ABareNameIsSearchedOnEveryFixedDriveToItsDepth) {
  const QString drives = TestEnv::freshDir("drives");
  QFile table(drives + "/mounts");
  ASSERT_TRUE(table.open(QIODevice::WriteOnly));
  table.write(
      ("/dev/kvt-c " + drives + "/c ext4 rw 0 0\n/dev/kvt-d " + drives + "/d ext4 rw 0 0\n").toUtf8());
  table.close();
  FixedDrives::setMountTable(drives + "/mounts");

  writeVersioned(drives + "/d/a/b/c/tool.dll", 9, 0);
  EXPECT_TRUE(PrerequisiteSearch::SearchFiles("tool.dll?2").isEmpty()) << "three levels down";
  EXPECT_EQ(PrerequisiteSearch::SearchFiles("tool.dll?3"), QStringList{"9.0.0.0"});

  writeVersioned(drives + "/d/a/b/tool.dll", 2, 0);
  EXPECT_EQ(PrerequisiteSearch::SearchFiles("tool.dll?2"), QStringList{"2.0.0.0"});
  EXPECT_TRUE(PrerequisiteSearch::SearchFiles("tool.dll").isEmpty());

  writeVersioned(drives + "/c/x/tool.dll", 1, 0);
  EXPECT_EQ(PrerequisiteSearch::SearchFiles("tool.dll?2"), QStringList{"1.0.0.0"})
      << "the first drive ends it";
  FixedDrives::setMountTable({});
}

TEST_F(PrerequisiteDetection, AFolderWithDepthSearchesItsSubfolders) {
  writeVersioned(system_ + "/sub/deeper/lib.dll", 3, 1);
  EXPECT_EQ(PrerequisiteSearch::SearchFiles("[SystemFolder]lib.dll?2"), QStringList{"3.1.0.0"});
  EXPECT_EQ(PrerequisiteSearch::SearchFiles("[SystemFolder]sub\\lib.dll?1"), QStringList{"3.1.0.0"});
  EXPECT_TRUE(PrerequisiteSearch::SearchFiles("[SystemFolder]lib.dll?1").isEmpty());
  EXPECT_TRUE(PrerequisiteSearch::SearchFiles("[SystemFolder]lib.dll").isEmpty());
}

TEST_F(PrerequisiteDetection, SubkeyNamesAreTheFoundVersions) {
  RegistryStore hklm(kHklm);
  for (const char* key : {"Software\\Runtime\\1.0", "Software\\Runtime\\2.5", "Software\\Runtime\\beta"})
    ASSERT_TRUE(hklm.openKey(key, true));
  EXPECT_EQ(detect(prerequisite(SearchType::RegistryKey, "HKLM\\Software\\Runtime", "", "2.0")),
            PrerequisiteState::NothingToDo);
  EXPECT_EQ(config_.foundVersions[0], QStringList({"1.0", "2.5", "beta"}));
  EXPECT_EQ(detect(prerequisite(SearchType::RegistryKey, "HKLM\\Software\\Runtime", "3.0", "",
                                PrerequisiteKind::Download)),
            PrerequisiteState::Download);
  EXPECT_EQ(detect(prerequisite(SearchType::RegistryKey, "HKLM\\Software\\Missing", "", "",
                                PrerequisiteKind::WebSite)),
            PrerequisiteState::OpenSite);
  EXPECT_EQ(detect(prerequisite(SearchType::RegistryKey, "HKCU\\Software\\Runtime")),
            PrerequisiteState::Install);
  EXPECT_TRUE(PrerequisiteSearch::SearchRegistry("HKLM").isEmpty());
}

TEST_F(PrerequisiteDetection, RegistryValueForms) {
  setRegistryValue(kHkcu, "Software\\R", "Version", "4.2\0", RegType::Sz);
  setRegistryValue(kHkcu, "Software\\R", "Raw", "1.5", RegType::Binary);
  setRegistryValue(kHkcu, "Software\\R", "Long", QByteArray(261, '7'), RegType::Binary);
  setRegistryValue(kHkcu, "Software\\R", "Fits", QByteArray(259, '7') + '\0');
  const std::pair<const char*, QStringList> cases[] = {
      {"HKCU\\Software\\R\\\\Version\\", {"4.2"}},
      {"HKCU\\Software\\R\\\\Version\\4.2\\", {"4.2"}},
      {"HKCU\\Software\\R\\\\Version\\4.20\\", {}},
      {"HKCU\\Software\\R\\\\Missing\\", {}},
      {"HKCU\\Software\\R\\\\Raw\\", {"1.5"}},
      {"HKCU\\Software\\R\\\\Long\\", {}},
      {"HKCU\\Software\\R\\\\Fits\\", {QString(259, '7')}},
      {"HKLM\\Software\\R\\\\Version\\", {}},
  };
  for (const auto& [search, found] : cases)
    EXPECT_EQ(PrerequisiteSearch::SearchRegistry(search), found) << search;
}

TEST_F(PrerequisiteDetection, PlainValueFormIsRewritten) {
  EXPECT_EQ(PrerequisiteSearch::RegistryValueSearch("HKCU\\Software\\R\\Version"),
            "HKCU\\Software\\R\\\\Version\\");
  EXPECT_EQ(PrerequisiteSearch::RegistryValueSearch("nothing"), "");
  setRegistryValue(kHkcu, "Software\\R", "Version", "4.2\0");
  EXPECT_EQ(detect(prerequisite(SearchType::RegistryValue, "HKCU\\Software\\R\\Version", "4.0")),
            PrerequisiteState::NothingToDo);
  EXPECT_EQ(detect(prerequisite(SearchType::RegistryValue, "Version", "4.0")), PrerequisiteState::Install);
  EXPECT_EQ(detect(prerequisite(7, "HKCU\\Software\\R\\Version")), PrerequisiteState::Install);
}

TEST_F(PrerequisiteDetection, TargetSystemAndWork) {
  writeVersioned(system_ + "/msi.dll", 3, 1, 4000, 2435);
  PrerequisiteInfo forNt = prerequisite(SearchType::File, "[systemfolder]MSI.dll", "4.5");
  forNt.targetOS = 1;
  PrerequisiteInfo for95 = forNt;
  for95.targetOS = 0;
  config_.prerequisites = {forNt, for95};
  config_.DetectAll();
  EXPECT_EQ(config_.states, QList<int>({PrerequisiteState::Install, PrerequisiteState::NotForThisSystem}));
  EXPECT_TRUE(config_.HasWork());
  EXPECT_TRUE(config_.HasMsiPrerequisite());

  config_.prerequisites = {for95};
  config_.DetectAll();
  EXPECT_FALSE(config_.HasWork());
  EXPECT_FALSE(config_.HasMsiPrerequisite());

  EXPECT_EQ(CBootstrapConfig::GetMsiDllVersion().Format(), "3.1.4000.2435");
  QFile::remove(system_ + "/msi.dll");
  EXPECT_TRUE(CBootstrapConfig::GetMsiDllVersion().IsEmpty());
}

TEST_F(PrerequisiteDetection, RedetectOneSeesAnInstall) {
  config_.prerequisites = {prerequisite(SearchType::File, "[SystemFolder]a.dll", "1.0"),
                           prerequisite(SearchType::File, "[SystemFolder]b.dll", "1.0")};
  config_.DetectAll();
  writeVersioned(system_ + "/a.dll", 1, 0);
  writeVersioned(system_ + "/b.dll", 1, 0);
  config_.RedetectOne(1);
  EXPECT_EQ(config_.states, QList<int>({PrerequisiteState::Install, PrerequisiteState::NothingToDo}));
}
