#include <gtest/gtest.h>

#include <QFile>

#include "CBootstrapConfig.h"
#include "PrivateProfile.h"
#include "TestEnv.h"

namespace {

QString writeConfig(const QByteArray& text) {
  const QString path = TestEnv::freshDir("cfg") + "/setup.ini";
  QFile file(path);
  file.open(QIODevice::WriteOnly);
  file.write(text);
  return path;
}

CBootstrapConfig load(const QByteArray& text) {
  CBootstrapConfig config;
  config.LoadConfiguration(writeConfig(text));
  return config;
}

const QByteArray kSearch = "SearchType=0\r\nSearchString=[SystemFolder]x.dll\r\n";
const QByteArray kApp = "SetupFile=x.exe\r\n" + kSearch;

}  // namespace

TEST(CBootstrapConfig, ReadsTheUsualPayloadFile) {
  const CBootstrapConfig config = load(
      "[GeneralOptions]\r\nOptions=q\r\n[PREREQUISITES]\r\nApp1=Visual Basic 6 Runtime\r\n"
      "[App1]\r\nSetupFile=vbrun60sp6.exe\r\nCommandLine=/Q\r\nSearchType=0\r\n"
      "SearchString=[SystemFolder]msvbvm60.dll\r\nVerMin=6.0\r\n");
  EXPECT_EQ(config.Options, "q");
  EXPECT_TRUE(config.HasOption("q"));
  EXPECT_FALSE(config.HasOption("b"));
  EXPECT_FALSE(config.HasOption("Q"));
  ASSERT_EQ(config.prerequisites.size(), 1);
  const PrerequisiteInfo& app = config.prerequisites[0];
  EXPECT_EQ(app.name, "Visual Basic 6 Runtime");
  EXPECT_EQ(app.location, "vbrun60sp6.exe");
  EXPECT_EQ(app.kind, PrerequisiteKind::SetupFile);
  EXPECT_EQ(app.commandLine, "/Q");
  EXPECT_EQ(app.searchType, SearchType::File);
  EXPECT_EQ(app.searchString, "[SystemFolder]msvbvm60.dll");
  EXPECT_EQ(app.verMin, "6.0");
  EXPECT_EQ(app.verMax, "");
  EXPECT_EQ(app.targetOS, 2);
  EXPECT_EQ(app.exactSize, 0);
  EXPECT_EQ(config.states.size(), 1);
  EXPECT_EQ(config.foundVersions.size(), 1);
}

TEST(CBootstrapConfig, ReadsEveryKeyWithoutRegardToCaseAndTrimmed) {
  const CBootstrapConfig config = load(
      "[generaloptions]\nMainAppCmdLine = /qb \nOptions=bh\nProductCode={1234}\nMinWIVer=2.0\n"
      "DownloadFolder=[TempFolder]dl\nMainAppURL=http://h/p.msi\nLanguageList=1033\n"
      "ExtractionFolder=[TempFolder]x\nKeepFiles=minimum\n"
      "[Prerequisites]\napp1=Runtime\n[APP1]\nTARGETOS=1\nurl=http://h/r.exe\nOpenSite=http://h/\n"
      "ExactSize=123456789012\nMD5=0123456789abcdef0123456789abcdef\nCommandLine=/s\nOptions=o\nFolder=rt\n"
      "SearchType=2\nVerMin=1.0\nVerMax=2.0\nSearchString=HKLM\\Software\\R\\Version\n");
  EXPECT_EQ(config.MainAppCmdLine, "/qb");
  EXPECT_EQ(config.ProductCode, "{1234}");
  EXPECT_EQ(config.MinWIVer, "2.0");
  EXPECT_EQ(config.MainAppURL, "http://h/p.msi");
  EXPECT_EQ(config.LanguageList, "1033");
  EXPECT_EQ(config.ExtractionFolder, "[TempFolder]x/");
  EXPECT_EQ(config.KeepFiles, KeepFilesMode::Minimum);
  ASSERT_EQ(config.prerequisites.size(), 1);
  const PrerequisiteInfo& app = config.prerequisites[0];
  EXPECT_EQ(app.kind, PrerequisiteKind::Download);
  EXPECT_EQ(app.location, "http://h/r.exe");
  EXPECT_EQ(app.targetOS, 1);
  EXPECT_EQ(app.exactSize, 123456789012);
  EXPECT_EQ(app.md5, "0123456789abcdef0123456789abcdef");
  EXPECT_EQ(app.options, "o");
  EXPECT_EQ(app.folder, "rt");
  EXPECT_EQ(app.searchType, SearchType::RegistryValue);
  EXPECT_EQ(app.verMax, "2.0");
}

TEST(CBootstrapConfig, SetupFileWinsOverUrlAndOpenSiteOverNothing) {
  const CBootstrapConfig config =
      load("[PREREQUISITES]\nApp1=A\nApp2=B\n[App1]\nUrl=http://h/a.exe\nSetupFile=a.exe\n" + kSearch +
           "[App2]\nOpenSite=http://h/b\n" + kSearch);
  ASSERT_EQ(config.prerequisites.size(), 2);
  EXPECT_EQ(config.prerequisites[0].kind, PrerequisiteKind::SetupFile);
  EXPECT_EQ(config.prerequisites[0].location, "a.exe");
  EXPECT_EQ(config.prerequisites[1].kind, PrerequisiteKind::WebSite);
  EXPECT_EQ(config.prerequisites[1].location, "http://h/b");
}

TEST(CBootstrapConfig, TheFirstMissingOrIncompleteAppEndsTheList) {
  struct Case {
    const char* name;
    QByteArray second;
  };
  const Case cases[] = {
      {"no location", "SearchType=0\nSearchString=x\n"},
      {"no SearchType", "SetupFile=b.exe\nSearchString=x\n"},
      {"no SearchString", "SetupFile=b.exe\nSearchType=0\n"},
  };
  for (const Case& c : cases) {
    const CBootstrapConfig config = load("[PREREQUISITES]\nApp1=A\nApp2=B\nApp3=C\n[App1]\n" + kApp +
                                         "[App2]\n" + c.second + "[App3]\n" + kApp);
    EXPECT_EQ(config.prerequisites.size(), 1) << c.name;
  }
  const CBootstrapConfig gap = load("[PREREQUISITES]\nApp1=A\nApp3=C\n[App1]\n" + kApp + "[App3]\n" + kApp);
  EXPECT_EQ(gap.prerequisites.size(), 1);
}

TEST(CBootstrapConfig, KeepFilesIsComparedExactly) {
  const std::pair<QByteArray, int> cases[] = {{"complete", KeepFilesMode::Complete},
                                              {"minimum", KeepFilesMode::Minimum},
                                              {"Complete", KeepFilesMode::Nothing},
                                              {"all", KeepFilesMode::Nothing},
                                              {"", KeepFilesMode::Nothing}};
  for (const auto& [value, mode] : cases)
    EXPECT_EQ(load("[GeneralOptions]\nKeepFiles=" + value + "\n").KeepFiles, mode) << value.constData();
  EXPECT_EQ(load("").KeepFiles, KeepFilesMode::Nothing);
}

TEST(CBootstrapConfig, LoadingReadsTheFileOnce) {
  QByteArray text = "[GeneralOptions]\nOptions=q\n[PREREQUISITES]\n";
  for (int n = 1; n <= 50; ++n)
    text += "App" + QByteArray::number(n) + "=Runtime " + QByteArray::number(n) + "\n";
  for (int n = 1; n <= 50; ++n) text += "[App" + QByteArray::number(n) + "]\n" + kApp;
  const QString path = writeConfig(text);
  const int before = PrivateProfile::readCount();
  CBootstrapConfig config;
  config.LoadConfiguration(path);
  EXPECT_EQ(config.prerequisites.size(), 50);
  EXPECT_EQ(config.prerequisites.last().name, "Runtime 50");
  EXPECT_EQ(PrivateProfile::readCount(), before + 1);
}

TEST(CBootstrapConfig, AValueThatFillsTheBufferCountsAsMissing) {
  const QString path = writeConfig("[S]\nA258=" + QByteArray(258, 'a') + "\nA259=" + QByteArray(259, 'a') +
                                   "\nA300=" + QByteArray(300, 'a') + "\nEmpty=\nNF=NOT FOUND\nnf=x\n");
  EXPECT_EQ(CBootstrapConfig::ReadIniValue("S", "A258", path).value_or("?").size(), 258);
  EXPECT_FALSE(CBootstrapConfig::ReadIniValue("S", "A259", path));
  EXPECT_FALSE(CBootstrapConfig::ReadIniValue("S", "A300", path));
  EXPECT_EQ(CBootstrapConfig::ReadIniValue("S", "Empty", path), QString(""));
  EXPECT_FALSE(CBootstrapConfig::ReadIniValue("S", "NF", path));
  EXPECT_FALSE(CBootstrapConfig::ReadIniValue("S", "Other", path));
  EXPECT_FALSE(CBootstrapConfig::ReadIniValue("T", "Empty", path));
  EXPECT_FALSE(CBootstrapConfig::ReadIniValue("S", "A", path + ".missing"));
}

TEST(CBootstrapConfig, ParseDecimalReadsLeadingDigitsOnly) {
  const std::pair<const char*, qint64> cases[] = {
      {"", 0},   {"abc", 0}, {"42", 42}, {"42kb", 42},
      {" 7", 0}, {"-3", 0},  {"007", 7}, {"99999999999999999999999", INT64_MAX}};
  for (const auto& [text, value] : cases) EXPECT_EQ(CBootstrapConfig::ParseDecimal(text), value) << text;
}

TEST(CBootstrapConfig, FoldersAreExpandedOnce) {
  qputenv("KVT_DL", "/srv/first");
  CBootstrapConfig config =
      load("[GeneralOptions]\nDownloadFolder=%KVT_DL%\\sub\\\nExtractionFolder=[WindowsVolume]x\n");
  EXPECT_EQ(config.GetDownloadFolder(), "/srv/first/sub/");
  qputenv("KVT_DL", "/srv/second");
  EXPECT_EQ(config.GetDownloadFolder(), "/srv/first/sub/");
  EXPECT_EQ(config.GetExtractionFolder(), "/x/");
}
