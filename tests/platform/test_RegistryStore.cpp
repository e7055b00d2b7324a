#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <atomic>
#include <thread>

#include "RegistryStore.h"
#include "ReplaceFile.h"
#include "TestEnv.h"

namespace {

constexpr quint32 kUser = 0x80000001;
constexpr quint32 kMachine = 0x80000002;

using TestEnv::readFile;
using TestEnv::writeFile;

RegValue text(const QByteArray& t) { return {RegType::Sz, t + '\0'}; }
RegValue dword(quint32 n) {
  QByteArray data(4, '\0');
  for (int i = 0; i < 4; ++i) data[i] = char((n >> (8 * i)) & 0xFF);
  return {RegType::Dword, data};
}

// The copies kept beside the user's file.
QStringList asideFiles() {
  return QDir(RegistryStore::folderOf(kUser)).entryList({"HKEY_CURRENT_USER.reg.damaged-*"}, QDir::Files);
}

QStringList names(const QList<std::pair<QString, RegValue>>& values) {
  QStringList out;
  for (const auto& entry : values) out.append(entry.first);
  return out;
}

// Sets an environment variable for one test and puts the old value back afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const QByteArray& value)
      : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
    if (value.isNull())
      qunsetenv(name);
    else
      qputenv(name, value);
  }
  ~ScopedEnv() {
    if (had_)
      qputenv(name_, old_);
    else
      qunsetenv(name_);
  }

 private:
  const char* name_;
  QByteArray old_;
  bool had_;
};

// Puts `call` in place of fsync for one test.
class ScopedSyncCall {
 public:
  explicit ScopedSyncCall(std::function<int(int)> call) { setSyncCall(std::move(call)); }
  ~ScopedSyncCall() { setSyncCall({}); }
};

int failingSync(int) { return -1; }

}  // namespace

TEST(RegistryStoreFolder, RegistryDirNamesTheFolderOfEveryRoot) {
  const QString dir = qEnvironmentVariable("KVT_REGISTRY_DIR");
  EXPECT_EQ(RegistryStore(kUser).filePath(), dir + "/HKEY_CURRENT_USER.reg");
  EXPECT_EQ(RegistryStore(kMachine).filePath(), dir + "/HKEY_LOCAL_MACHINE.reg");
  EXPECT_EQ(RegistryStore(0x80000003).filePath(), dir + "/HKEY_USERS.reg");
}

TEST(RegistryStoreFolder, WithoutRegistryDirUserGoesToConfigAndMachineToEtc) {
  ScopedEnv noDir("KVT_REGISTRY_DIR", QByteArray());
  ScopedEnv config("XDG_CONFIG_HOME", "/somewhere/config");
  EXPECT_EQ(RegistryStore::folderOf(kUser), "/somewhere/config/kvt");
  EXPECT_EQ(RegistryStore::folderOf(kMachine), "/etc/kvt");
  ScopedEnv noConfig("XDG_CONFIG_HOME", QByteArray());
  EXPECT_EQ(RegistryStore::folderOf(kUser), QDir::homePath() + "/.config/kvt");
}

TEST(RegistryStoreFolder, UnknownRootOpensNothing) {
  RegistryStore store(0x12345678);
  EXPECT_FALSE(store.openKey("Software", true));
  EXPECT_FALSE(store.setValue("Software", "a", text("b")));
}

TEST(RegistryStoreFormat, TypedValuesAreWrittenByteForByte) {
  RegistryStore store(kUser);
  ASSERT_TRUE(store.setValue("Software\\Kvt", "Name", text("Say \"hi\" C:\\tmp \xe9")));
  ASSERT_TRUE(store.setValue("Software\\Kvt", "", text("default")));
  ASSERT_TRUE(store.setValue("Software\\Kvt", "Count", dword(42)));
  ASSERT_TRUE(store.setValue("Software\\Kvt", "Blob", {RegType::Binary, QByteArray("\x00\xff\x10", 3)}));
  ASSERT_TRUE(store.setValue("Software\\Kvt", "Path", {RegType::ExpandSz, QByteArray("%TEMP%\\x\0", 9)}));
  ASSERT_TRUE(store.setValue("Software\\Kvt", "List", {RegType::MultiSz, QByteArray("a\0b\0\0", 5)}));
  ASSERT_TRUE(store.setValue("Software\\Kvt\\Sub", "Odd", {0x0b, QByteArray("\x01", 1)}));
  const QByteArray expected =
      "REGEDIT4\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\Software]\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\Software\\Kvt]\r\n"
      "\"Name\"=\"Say \\\"hi\\\" C:\\\\tmp \xe9\"\r\n"
      "@=\"default\"\r\n"
      "\"Count\"=dword:0000002a\r\n"
      "\"Blob\"=hex:00,ff,10\r\n"
      "\"Path\"=hex(2):25,54,45,4d,50,25,5c,78,00\r\n"
      "\"List\"=hex(7):61,00,62,00,00\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\Software\\Kvt\\Sub]\r\n"
      "\"Odd\"=hex(b):01\r\n"
      "\r\n";
  EXPECT_EQ(readFile(store.filePath()), expected);
}

TEST(RegistryStoreFormat, TextWithLineBreakOrWithoutNulIsKeptAsHex) {
  RegistryStore store(kUser);
  ASSERT_TRUE(store.setValue("K", "multi", text("a\r\nb")));
  ASSERT_TRUE(store.setValue("K", "bare", {RegType::Sz, "x"}));
  RegistryStore fresh(kUser);
  EXPECT_EQ(fresh.queryValue("K", "multi"), text("a\r\nb"));
  EXPECT_EQ(fresh.queryValue("K", "bare"), (RegValue{RegType::Sz, "x"}));
}

TEST(RegistryStoreFormat, FreshStoreReadsBackWhatWasWritten) {
  const QList<std::pair<QString, RegValue>> written = {
      {"Zeta", text("last letter")},
      {"alpha", dword(0xfffffffe)},
      {"", text("")},
      {"bin", {RegType::Binary, QByteArray()}},
      {"quote\"back\\slash", text("\\\"")},
      {QString::fromLatin1("M\xfcnchen"), text("\xe4\xf6\xfc")},
      {"list", {RegType::MultiSz, QByteArray(2, '\0')}}};
  {
    RegistryStore store(kUser);
    for (const auto& [name, value] : written) ASSERT_TRUE(store.setValue("A\\B", name, value));
  }
  RegistryStore fresh(kUser);
  EXPECT_EQ(fresh.values("A\\B"), written);
}

TEST(RegistryStoreFormat, HandWrittenFileWithCommentsAndContinuedHexIsRead) {
  writeFile(RegistryStore(kUser).filePath(),
            "REGEDIT4\n\n; a comment\n[HKEY_CURRENT_USER\\Software\\\\X]\n"
            "\"Data\"=hex:01,02,\\\n  03,04\n\"Text\"=\"ends in \\\\\"\n@=dword:00000007\n");
  RegistryStore store(kUser);
  EXPECT_EQ(store.queryValue("Software\\X", "data"),
            (RegValue{RegType::Binary, QByteArray("\x01\x02\x03\x04")}));
  EXPECT_EQ(store.queryValue("Software\\X", "TEXT"), text("ends in \\"));
  EXPECT_EQ(store.queryValue("Software\\X", ""), dword(7));
}

TEST(RegistryStoreFormat, StringEndingInBackslashIsNotAContinuation) {
  RegistryStore store(kUser);
  ASSERT_TRUE(store.setValue("K", "a", text("x=hex\\")));
  ASSERT_TRUE(store.setValue("K", "b", text("next")));
  RegistryStore fresh(kUser);
  EXPECT_EQ(fresh.queryValue("K", "a"), text("x=hex\\"));
  EXPECT_EQ(fresh.queryValue("K", "b"), text("next"));
}

TEST(RegistryStoreFormat, NamesWithLineBreaksAreRefused) {
  RegistryStore store(kUser);
  ASSERT_TRUE(store.setValue("K", "a", text("1")));
  EXPECT_FALSE(store.setValue("K", "two\nlines", text("2")));
  EXPECT_FALSE(store.setValue("K\r\n[x]", "b", text("2")));
  EXPECT_FALSE(store.openKey("K\nL", true));
  EXPECT_EQ(RegistryStore(kUser).values("K").size(), 1);
}

TEST(RegistryStoreKeys, NamesAreComparedWithoutCaseAndKeptAsWritten) {
  RegistryStore store(kUser);
  ASSERT_TRUE(store.setValue("Software\\Kvt", "Width", dword(1)));
  ASSERT_TRUE(store.setValue("SOFTWARE\\kvt", "WIDTH", dword(2)));
  const auto values = store.values("software\\KVT");
  ASSERT_EQ(values.size(), 1);
  EXPECT_EQ(values[0].first, "Width");
  EXPECT_EQ(values[0].second, dword(2));
  EXPECT_EQ(store.subKeys("Software"), QStringList{"Kvt"});
}

TEST(RegistryStoreKeys, DoubledBackslashNamesTheSameKey) {
  RegistryStore store(kUser);
  ASSERT_TRUE(store.setValue("Software\\Pelva\\\\Printers", "a", text("1")));
  EXPECT_EQ(store.queryValue("Software\\Pelva\\Printers", "a"), text("1"));
  EXPECT_EQ(store.queryValue("\\Software\\\\Pelva\\Printers\\", "a"), text("1"));
  EXPECT_EQ(store.subKeys("Software\\Pelva"), QStringList{"Printers"});
}

TEST(RegistryStoreKeys, ValuesKeepInsertionOrderAndSubKeysAreSortedWithoutCase) {
  RegistryStore store(kUser);
  for (const char* name : {"z", "B", "a", "C"}) ASSERT_TRUE(store.setValue("K", name, text(name)));
  for (const char* name : {"beta", "Alpha", "gamma", "Delta"})
    ASSERT_TRUE(store.openKey(QString("K\\") + name, true));
  ASSERT_TRUE(store.openKey("K\\Alpha\\Deeper", true));
  EXPECT_EQ(names(store.values("K")), (QStringList{"z", "B", "a", "C"}));
  EXPECT_EQ(store.subKeys("K"), (QStringList{"Alpha", "beta", "Delta", "gamma"}));
}

TEST(RegistryStoreKeys, KeyInfoCountsAndMeasures) {
  RegistryStore store(kUser);
  ASSERT_TRUE(store.setValue("K", "longname", text("12345")));
  ASSERT_TRUE(store.setValue("K", "x", dword(3)));
  ASSERT_TRUE(store.openKey("K\\Child", true));
  ASSERT_TRUE(store.openKey("K\\Child\\Grandchild", true));
  const auto info = store.keyInfo("K");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->subKeys, 1);
  EXPECT_EQ(info->values, 2);
  EXPECT_EQ(info->longestSubKeyName, 5);
  EXPECT_EQ(info->longestValueName, 8);
  EXPECT_EQ(info->longestValueData, 6);
  EXPECT_FALSE(store.keyInfo("Missing"));
}

TEST(RegistryStoreKeys, DeleteKeyTakesItsSubKeysButNotItsNeighbours) {
  RegistryStore store(kUser);
  ASSERT_TRUE(store.setValue("Base\\Printers\\One\\Media", "a", text("1")));
  ASSERT_TRUE(store.setValue("Base\\PrintersOld", "b", text("2")));
  ASSERT_TRUE(store.setValue("Base", "c", text("3")));
  EXPECT_TRUE(store.deleteKey("base\\printers"));
  RegistryStore fresh(kUser);
  EXPECT_FALSE(fresh.keyInfo("Base\\Printers\\One"));
  EXPECT_FALSE(fresh.keyInfo("Base\\Printers"));
  EXPECT_EQ(fresh.subKeys("Base"), QStringList{"PrintersOld"});
  EXPECT_EQ(fresh.queryValue("Base", "c"), text("3"));
  EXPECT_FALSE(fresh.deleteKey("Base\\Printers"));
}

TEST(RegistryStoreKeys, DeleteValueOfMissingValueFails) {
  RegistryStore store(kUser);
  ASSERT_TRUE(store.setValue("K", "a", text("1")));
  EXPECT_FALSE(store.deleteValue("K", "b"));
  EXPECT_FALSE(store.deleteValue("Other", "a"));
  EXPECT_TRUE(store.deleteValue("K", "A"));
  EXPECT_FALSE(RegistryStore(kUser).queryValue("K", "a"));
}

TEST(RegistryStoreKeys, ReadingAMissingKeyOfAMissingFolderCreatesNothing) {
  const QString dir = TestEnv::sandbox() + "/not-there";
  ScopedEnv registry("KVT_REGISTRY_DIR", QFile::encodeName(dir));
  RegistryStore store(kMachine);
  EXPECT_FALSE(store.openKey("Software\\Kvt", false));
  EXPECT_FALSE(store.queryValue("Software\\Kvt", "a"));
  EXPECT_TRUE(store.values("Software\\Kvt").isEmpty());
  EXPECT_FALSE(QFileInfo::exists(dir));
}

TEST(RegistryStoreDurability, FileThatIsNotRegistryTextIsKeptAsideAndReported) {
  RegistryStore store(kUser);
  const QByteArray damaged = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n";
  writeFile(store.filePath(), damaged);
  QStringList reports;
  store.setReporter([&](const QString& message) { reports.append(message); });
  ASSERT_TRUE(store.setValue("K", "b", text("new")));
  ASSERT_EQ(reports.size(), 1);
  EXPECT_TRUE(reports[0].startsWith("RegistryStore-Load: Damaged registry file kept as "));
  const QStringList aside = asideFiles();
  ASSERT_EQ(aside.size(), 1);
  EXPECT_TRUE(reports[0].contains(aside[0]));
  EXPECT_EQ(readFile(RegistryStore::folderOf(kUser) + "/" + aside[0]), damaged);
  EXPECT_EQ(RegistryStore(kUser).queryValue("K", "b"), text("new"));
}

TEST(RegistryStoreDurability, FilesThatAreNotRegistryTextAreKeptAsideWhole) {
  const QList<QByteArray> damaged = {"", "Windows Registry Editor Version 5.00\r\n",
                                     "\"a\"=\"b\"\r\nREGEDIT4\r\n", "\x01\x02 binary"};
  for (const QByteArray& bytes : damaged) {
    RegistryStore store(kUser);
    writeFile(store.filePath(), bytes);
    int reports = 0;
    store.setReporter([&](const QString&) { ++reports; });
    EXPECT_TRUE(store.values("K").isEmpty()) << bytes.constData();
    EXPECT_EQ(reports, 1) << bytes.constData();
    EXPECT_FALSE(QFileInfo::exists(store.filePath())) << bytes.constData();
  }
}

// One bad line used to cost every setting of the root.
TEST(RegistryStoreDurability, BadLinesAreSkippedAndEveryOtherValueKept) {
  // Each on line 5 of its file.
  const QList<QByteArray> badLines = {
      "\"a\"=dword:12", "\"a\"=\"unterminated",        "\"a\"=hex:1g",
      "\"a\"=hex:123",  "\"a\"=hex:00000000400000000", "\"a\"=-",
      "just words",     "[HKEY_LOCAL_MACHINE\\K]",
  };
  for (const QByteArray& line : badLines) {
    RegistryStore store(kUser);
    writeFile(store.filePath(), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"before\"=\"1\"\r\n" + line +
                                    "\r\n[HKEY_CURRENT_USER\\K\\Sub]\r\n\"after\"=dword:00000002\r\n");
    QStringList reports;
    store.setReporter([&](const QString& message) { reports.append(message); });
    EXPECT_EQ(store.queryValue("K", "before"), text("1")) << line.constData();
    EXPECT_EQ(store.queryValue("K\\Sub", "after"), dword(2)) << line.constData();
    EXPECT_FALSE(store.queryValue("K", "a")) << line.constData();
    EXPECT_EQ(
        reports,
        QStringList{
            QString("RegistryStore-Load: Line 5 of %1 cannot be read and is skipped.").arg(store.filePath())})
        << line.constData();
    EXPECT_TRUE(asideFiles().isEmpty()) << line.constData();
    QFile::remove(store.filePath());
  }
}

TEST(RegistryStoreDurability, ValuesUnderAHeaderOfAnotherRootAreSkippedWithIt) {
  RegistryStore store(kUser);
  writeFile(store.filePath(),
            "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"lost\"=\"1\"\r\n[HKEY_CURRENT_USER\\K]\r\n\"kept\"="
            "\"2\"\r\n");
  QStringList reports;
  store.setReporter([&](const QString& message) { reports.append(message); });
  EXPECT_EQ(names(store.values("K")), QStringList{"kept"});
  EXPECT_EQ(reports.size(), 2);
}

TEST(RegistryStoreDurability, FileWithBadLinesIsCopiedBeforeTheFirstWriteDropsThem) {
  RegistryStore store(kUser);
  const QByteArray original = "REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r\n\"a\"=dword:12\r\n\"b\"=\"kept\"\r\n";
  writeFile(store.filePath(), original);
  QStringList reports;
  store.setReporter([&](const QString& message) { reports.append(message); });
  ASSERT_TRUE(store.setValue("K", "c", text("new")));
  ASSERT_EQ(reports.size(), 2);
  EXPECT_TRUE(reports[1].startsWith("RegistryStore-Write: Registry file with unreadable lines kept as "));
  const QStringList aside = asideFiles();
  ASSERT_EQ(aside.size(), 1);
  EXPECT_TRUE(reports[1].contains(aside[0]));
  EXPECT_EQ(readFile(RegistryStore::folderOf(kUser) + "/" + aside[0]), original);
  ASSERT_TRUE(store.setValue("K", "d", text("later")));
  EXPECT_EQ(asideFiles().size(), 1);
  RegistryStore fresh(kUser);
  EXPECT_EQ(names(fresh.values("K")), (QStringList{"b", "c", "d"}));
}

TEST(RegistryStoreDurability, NoTemporaryOrPartialFileIsLeftBehind) {
  RegistryStore store(kUser);
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(store.setValue("K", QString("v%1").arg(i), dword(i)));
  const QStringList files = QDir(RegistryStore::folderOf(kUser)).entryList(QDir::Files | QDir::Hidden);
  EXPECT_EQ(files, (QStringList{"HKEY_CURRENT_USER.reg", "HKEY_CURRENT_USER.reg.lock"}));
}

TEST(RegistryStoreDurability, UnwritableFolderRefusesWritesButStillReads) {
  const QString dir = TestEnv::freshDir("readonly");
  {
    ScopedEnv registry("KVT_REGISTRY_DIR", QFile::encodeName(dir));
    ASSERT_TRUE(RegistryStore(kUser).setValue("K", "a", text("1")));
  }
  QString blocked = dir;
  if (::geteuid() == 0) {
    // Permissions do not stop root: use a folder below a regular file instead.
    blocked = dir + "/HKEY_CURRENT_USER.reg/sub";
  } else {
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner);
  }
  ScopedEnv registry("KVT_REGISTRY_DIR", QFile::encodeName(blocked));
  RegistryStore store(kUser);
  EXPECT_FALSE(store.openKey("K", true));
  EXPECT_FALSE(store.setValue("K", "b", text("2")));
  EXPECT_FALSE(store.openKey("New", false));
  if (::geteuid() != 0) {
    EXPECT_TRUE(store.openKey("K", false));
    EXPECT_EQ(store.queryValue("K", "a"), text("1"));
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }
}

TEST(RegistryStoreDurability, ReadOnlyFileRefusesWrites) {
  RegistryStore store(kUser);
  ASSERT_TRUE(store.setValue("K", "a", text("1")));
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
  QFile::setPermissions(store.filePath(), QFile::ReadOwner);
  EXPECT_FALSE(store.setValue("K", "b", text("2")));
  EXPECT_FALSE(store.openKey("K", true));
  EXPECT_EQ(store.queryValue("K", "a"), text("1"));
}

namespace {

constexpr int kValuesPerWriter = 500;
const char* const kWriterDirVariable = "KVT_TEST_REGISTRY_WRITER_DIR";

void writeValues(const QString& prefix) {
  RegistryStore store(kUser);
  for (int i = 0; i < kValuesPerWriter; ++i)
    ASSERT_TRUE(store.setValue("Shared\\Key", prefix + QString::number(i), dword(i)));
}

}  // namespace

// The second process of the concurrency case; does nothing when run on its own.
TEST(RegistryStoreConcurrency, WriterHelper) {
  const QByteArray dir = qgetenv(kWriterDirVariable);
  if (dir.isEmpty()) GTEST_SKIP() << "only run as the second writer";
  qputenv("KVT_REGISTRY_DIR", dir);
  writeValues("child");
}

TEST(RegistryStoreConcurrency, TwoProcessesWritingOneKeyLoseNothing) {
  QProcess child;
  TestEnv::startSelf(child, "RegistryStoreConcurrency.WriterHelper",
                     {{kWriterDirVariable, qEnvironmentVariable("KVT_REGISTRY_DIR")}});
  ASSERT_TRUE(child.waitForStarted());
  writeValues("parent");
  ASSERT_TRUE(child.waitForFinished(60000));
  EXPECT_EQ(child.exitCode(), 0);
  QHash<QString, RegValue> found;
  for (const auto& [name, value] : RegistryStore(kUser).values("Shared\\Key")) found.insert(name, value);
  EXPECT_EQ(found.size(), 2 * kValuesPerWriter);
  for (const char* prefix : {"parent", "child"})
    for (int i = 0; i < kValuesPerWriter; ++i) EXPECT_EQ(found.value(prefix + QString::number(i)), dword(i));
}

TEST(RegistryStoreCache, ReadsOfAnUnchangedFileParseItOnce) {
  RegistryStore writer(kUser);
  ASSERT_TRUE(writer.setValue("K", "a", text("1")));
  const int before = RegistryStore::parseCount();
  for (int i = 0; i < 5; ++i) {
    RegistryStore store(kUser);
    EXPECT_EQ(store.queryValue("K", "a"), text("1"));
    EXPECT_EQ(store.subKeys("").size(), 1);
    EXPECT_TRUE(store.keyInfo("K"));
  }
  EXPECT_EQ(RegistryStore::parseCount(), before);
}

TEST(RegistryStoreCache, WritesOfThisProcessNeedNoNewParse) {
  RegistryStore store(kUser);
  ASSERT_TRUE(store.setValue("K", "a", text("1")));
  const int before = RegistryStore::parseCount();
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(store.setValue("K", QString("v%1").arg(i), dword(i)));
  ASSERT_TRUE(store.deleteValue("K", "v3"));
  EXPECT_EQ(store.values("K").size(), 20);
  EXPECT_EQ(RegistryStore::parseCount(), before);
  EXPECT_EQ(readFile(store.filePath()).count("dword:"), 19);
}

TEST(RegistryStoreCache, AChangeOnDiskIsSeenAtTheNextRead) {
  RegistryStore store(kUser);
  ASSERT_TRUE(store.setValue("K", "a", text("1")));
  ASSERT_EQ(store.queryValue("K", "a"), text("1"));
  // Another program replaces the file, and one edits it in place to the same size.
  writeFile(store.filePath() + ".new", "REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r\n\"a\"=\"2\"\r\n");
  ASSERT_EQ(::rename(QFile::encodeName(store.filePath() + ".new").constData(),
                     QFile::encodeName(store.filePath()).constData()),
            0);
  EXPECT_EQ(store.queryValue("K", "a"), text("2"));
  ::usleep(20000);
  writeFile(store.filePath(), "REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r\n\"a\"=\"3\"\r\n");
  EXPECT_EQ(store.queryValue("K", "a"), text("3"));
  ASSERT_TRUE(store.setValue("K", "b", text("4")));
  EXPECT_EQ(names(RegistryStore(kUser).values("K")), (QStringList{"a", "b"}));
}

TEST(RegistryStoreCache, AFailedWriteIsNotServedAfterwards) {
  RegistryStore store(kUser);
  ASSERT_TRUE(store.setValue("K", "a", text("1")));
  const QByteArray before = readFile(store.filePath());
  {
    const ScopedSyncCall failing(failingSync);
    EXPECT_FALSE(store.setValue("K", "b", text("2")));
  }
  EXPECT_FALSE(store.queryValue("K", "b"));
  EXPECT_EQ(store.queryValue("K", "a"), text("1"));
  EXPECT_EQ(readFile(store.filePath()), before);
  EXPECT_EQ(QDir(RegistryStore::folderOf(kUser)).entryList(QDir::Files | QDir::Hidden),
            (QStringList{"HKEY_CURRENT_USER.reg", "HKEY_CURRENT_USER.reg.lock"}));
}

// Each sync is told apart by the file its descriptor stands for, and by what the
// store's file held at that moment.
TEST(RegistryStoreDurability, AWriteSyncsItsTemporaryFileBeforeRenamingItThenTheFolder) {
  RegistryStore store(kUser);
  ASSERT_TRUE(store.setValue("K", "a", text("1")));
  QList<std::pair<QString, QByteArray>> syncs;
  bool written = false;
  {
    const ScopedSyncCall recording([&](int fd) {
      syncs.append(
          {QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(fd)), readFile(store.filePath())});
      return ::fsync(fd);
    });
    written = store.setValue("K", "b", text("2"));
  }
  ASSERT_TRUE(written);
  ASSERT_EQ(syncs.size(), 2);
  EXPECT_TRUE(QFileInfo(syncs[0].first).fileName().startsWith("HKEY_CURRENT_USER.reg.saving-"));
  EXPECT_FALSE(syncs[0].second.contains("\"b\"="));
  EXPECT_EQ(syncs[1].first, QFileInfo(RegistryStore::folderOf(kUser)).canonicalFilePath());
  EXPECT_TRUE(syncs[1].second.contains("\"b\"="));
}

// Binary data as regedit exports it: wrapped over continuation lines. Reading
// it used to take time that grew with the square of its length.
TEST(RegistryStoreFormat, MegabyteOfContinuedHexReadsBack) {
  QByteArray data(1024 * 1024, '\0');
  for (qsizetype i = 0; i < data.size(); ++i) data[i] = char(i * 7);
  QByteArray file = "REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r\n\"Blob\"=hex:";
  for (qsizetype i = 0; i < data.size(); ++i) {
    file += QByteArray::number(quint8(data[i]), 16).rightJustified(2, '0');
    if (i + 1 < data.size()) file += (i % 25 == 24) ? ",\\\r\n  " : ",";
  }
  file += "\r\n\"After\"=\"x\"\r\n";
  RegistryStore store(kUser);
  writeFile(store.filePath(), file);
  EXPECT_EQ(store.queryValue("K", "Blob"), (RegValue{RegType::Binary, data}));
  EXPECT_EQ(store.queryValue("K", "After"), text("x"));
}

// An editor that rewrites the file in place, to the same size, and puts its
// modification time back: only the change time (or, within the same clock
// tick, the contents) tell the cache the file changed.
TEST(RegistryStoreCache, AFileRewrittenInPlaceWithItsOldTimesIsSeenChanged) {
  RegistryStore store(kUser);
  writeFile(store.filePath(), "REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r\n\"a\"=\"1\"\r\n");
  ASSERT_EQ(store.queryValue("K", "a"), text("1"));
  TestEnv::rewriteKeepingTimes(store.filePath(), "REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r\n\"a\"=\"2\"\r\n");
  EXPECT_EQ(store.queryValue("K", "a"), text("2"));
  ASSERT_TRUE(store.setValue("K", "b", text("3")));
  RegistryStore fresh(kUser);
  EXPECT_EQ(fresh.queryValue("K", "a"), text("2"));
  EXPECT_EQ(fresh.queryValue("K", "b"), text("3"));
}

TEST(RegistryStoreCache, ReadsOfOneChainLookAtTheFileOnce) {
  RegistryStore store(kUser);
  ASSERT_TRUE(store.setValue("K", "a", text("1")));
  const auto replaceWith = [&](const QByteArray& value) {
    writeFile(store.filePath() + ".new", "REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r\n\"a\"=\"" + value + "\"\r\n");
    ASSERT_EQ(::rename(QFile::encodeName(store.filePath() + ".new").constData(),
                       QFile::encodeName(store.filePath()).constData()),
              0);
  };
  {
    const RegistryStore::Chain chain(store);
    EXPECT_EQ(store.queryValue("K", "a"), text("1"));
    replaceWith("2");
    EXPECT_EQ(store.queryValue("K", "a"), text("1"));
    // A write of the chain reads the file under the lock, and later reads see what it wrote.
    ASSERT_TRUE(store.setValue("K", "b", text("3")));
    EXPECT_EQ(store.queryValue("K", "a"), text("2"));
    replaceWith("4");
    EXPECT_EQ(store.queryValue("K", "b"), text("3"));
  }
  EXPECT_EQ(store.queryValue("K", "a"), text("4"));
  EXPECT_FALSE(store.queryValue("K", "b"));
}

TEST(RegistryStoreFormat, LineLongerThanAReadBlockIsReadWhole) {
  const QByteArray longText(3 * 1024 * 1024 / 2, 'x');
  RegistryStore store(kUser);
  writeFile(store.filePath(),
            "REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r\n\"Long\"=\"" + longText + "\"\r\n\"After\"=\"y\"");
  EXPECT_EQ(store.queryValue("K", "Long"), text(longText));
  EXPECT_EQ(store.queryValue("K", "After"), text("y"));
}

// Every level is written with its full path: a hostile depth would make the file grow with its square.
TEST(RegistryStoreKeys, KeysAreAtMost512LevelsDeep) {
  const auto levels = [](int depth) {
    QStringList parts;
    for (int i = 0; i < depth; ++i) parts.append(QString("L%1").arg(i));
    return parts.join('\\');
  };
  RegistryStore store(kUser);
  EXPECT_TRUE(store.setValue(levels(512), "a", text("1")));
  EXPECT_FALSE(store.setValue(levels(513), "a", text("1")));
  EXPECT_FALSE(store.openKey(levels(513), true));
  EXPECT_FALSE(store.keyInfo(levels(512) + "\\L512"));

  writeFile(store.filePath(), "REGEDIT4\r\n[HKEY_CURRENT_USER\\" + levels(512).toLatin1() +
                                  "]\r\n\"a\"=\"1\"\r\n[HKEY_CURRENT_USER\\" + levels(513).toLatin1() +
                                  "]\r\n\"b\"=\"2\"\r\n");
  QStringList reports;
  store.setReporter([&](const QString& message) { reports.append(message); });
  EXPECT_EQ(store.queryValue(levels(512), "a"), text("1"));
  EXPECT_FALSE(store.keyInfo(levels(512) + "\\L512"));
  EXPECT_EQ(reports.size(), 2);
}

// --- Batches ---

TEST(RegistryStoreBatch, ABatchIsOneRewriteAtItsCommitWhateverItHolds) {
  for (const int changes : {0, 1, 50}) {
    SCOPED_TRACE(changes);
    RegistryStore store(kUser);
    ASSERT_TRUE(store.deleteKey("K") || !store.keyInfo("K"));
    ASSERT_TRUE(store.setValue("Old", "x", text("1")));
    const QByteArray before = readFile(store.filePath());
    const int writes = RegistryStore::writeCount();
    RegistryStore::Batch batch(store);
    for (int i = 0; i < changes; ++i) ASSERT_TRUE(store.setValue("K", QString("v%1").arg(i), dword(i)));
    // Nothing reaches the file before the commit; the reads of this thread see the batch.
    EXPECT_EQ(readFile(store.filePath()), before);
    EXPECT_EQ(RegistryStore(kUser).values("K").size(), changes);
    ASSERT_TRUE(batch.commit());
    EXPECT_EQ(RegistryStore::writeCount() - writes, changes == 0 ? 0 : 1);
    EXPECT_EQ(readFile(store.filePath()).count("\"v"), changes);
  }
}

// Opening a key that is there already changes nothing, and must not make the batch forget what did.
TEST(RegistryStoreBatch, AKeyOpenedAfterAChangeLeavesTheChangeToTheCommit) {
  RegistryStore store(kUser);
  ASSERT_TRUE(store.setValue("K", "a", text("old")));
  RegistryStore::Batch batch(store);
  ASSERT_TRUE(store.setValue("K", "a", text("new")));
  ASSERT_TRUE(store.openKey("K", true));
  ASSERT_TRUE(batch.commit());
  EXPECT_TRUE(readFile(store.filePath()).contains("\"a\"=\"new\""));
}

TEST(RegistryStoreBatch, ABatchThatEndsUncommittedChangesNothing) {
  RegistryStore store(kUser);
  ASSERT_TRUE(store.setValue("K", "a", text("1")));
  const QByteArray before = readFile(store.filePath());
  {
    RegistryStore::Batch batch(store);
    ASSERT_TRUE(store.setValue("K", "b", text("2")));
    ASSERT_TRUE(store.deleteValue("K", "a"));
  }
  EXPECT_EQ(readFile(store.filePath()), before);
  EXPECT_EQ(names(store.values("K")), QStringList{"a"});
  EXPECT_EQ(names(RegistryStore(kUser).values("K")), QStringList{"a"});
}

TEST(RegistryStoreBatch, ABatchInsideAnotherWritesOnlyWithTheOutermost) {
  RegistryStore store(kUser);
  const int writes = RegistryStore::writeCount();
  QStringList told;
  RegistryStore::Batch outer(store);
  {
    RegistryStore::Batch inner(store);
    ASSERT_TRUE(store.setValue("K", "a", text("1")));
    inner.whenWritten([&] { told.append("inner"); });
    EXPECT_TRUE(inner.commit());
  }
  EXPECT_EQ(RegistryStore::writeCount(), writes);
  EXPECT_TRUE(told.isEmpty());
  outer.whenWritten([&] { told.append("outer"); });
  ASSERT_TRUE(outer.commit());
  EXPECT_EQ(RegistryStore::writeCount() - writes, 1);
  EXPECT_EQ(told, (QStringList{"inner", "outer"}));
}

TEST(RegistryStoreBatch, ACommitThatFailsDropsTheChangesAndTellsNoOne) {
  RegistryStore store(kUser);
  ASSERT_TRUE(store.setValue("K", "a", text("1")));
  const QByteArray before = readFile(store.filePath());
  RegistryStore::Batch batch(store);
  ASSERT_TRUE(store.setValue("K", "b", text("2")));
  bool told = false;
  batch.whenWritten([&] { told = true; });
  {
    const ScopedSyncCall failing(failingSync);
    EXPECT_FALSE(batch.commit());
  }
  EXPECT_FALSE(told);
  EXPECT_EQ(readFile(store.filePath()), before);
  EXPECT_FALSE(store.queryValue("K", "b"));
  // The batch goes on from the file as it is.
  ASSERT_TRUE(store.setValue("K", "c", text("3")));
  ASSERT_TRUE(batch.commit());
  EXPECT_EQ(names(RegistryStore(kUser).values("K")), (QStringList{"a", "c"}));
}

TEST(RegistryStoreBatch, AnotherThreadWritesAfterTheBatch) {
  RegistryStore store(kUser);
  std::atomic<bool> done{false};
  std::thread other;
  {
    RegistryStore::Batch batch(store);
    ASSERT_TRUE(store.setValue("K", "batch", text("1")));
    other = std::thread([&] {
      RegistryStore(kUser).setValue("K", "thread", text("2"));
      done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(done);
    ASSERT_TRUE(batch.commit());
    EXPECT_FALSE(readFile(store.filePath()).contains("\"thread\""));
  }
  other.join();
  EXPECT_EQ(names(RegistryStore(kUser).values("K")), (QStringList{"batch", "thread"}));
}
