#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLocale>

#include "MLRuntime.h"
#include "MlStringModule.h"
#include "RegObj.h"
#include "RegistryStore.h"
#include "TestEnv.h"
#include "modLumasetCommon.h"

namespace {

const QString kBase = "Software\\Pelva\\Skyplain Vondir\\Vondir Submit\\";
const QString kKey = kBase + "Settings";

RegValue stored(const QString& key, const QString& name) {
  return RegistryStore(HKEY_CURRENT_USER).queryValue(key, name).value_or(RegValue{0, {}});
}

RegValue text(const QByteArray& t) { return {RegType::Sz, t + '\0'}; }
RegValue expandable(const QByteArray& t) { return {RegType::ExpandSz, t + '\0'}; }
RegValue dword(qint32 n) {
  QByteArray data(4, '\0');
  for (int i = 0; i < 4; ++i) data[i] = char((quint32(n) >> (8 * i)) & 0xFF);
  return {RegType::Dword, data};
}

void putRaw(const QString& key, const QString& name, const RegValue& value) {
  ASSERT_TRUE(RegistryStore(HKEY_CURRENT_USER).setValue(key, name, value));
}

QString userFile() { return RegistryStore(HKEY_CURRENT_USER).filePath(); }

class RegObjTest : public ::testing::Test {
 protected:
  RegObjTest() { reg.setKey(kKey); }
  RegObj reg;
};

}  // namespace

// --- Writing by the value's own type ---

TEST_F(RegObjTest, ValuesAreTypedByTheirOwnType) {
  EXPECT_TRUE(reg.setValue("bin", QByteArray("\x00\x01\xff", 3)));
  EXPECT_TRUE(reg.setValue("list", QStringList{"a", "b"}));
  EXPECT_TRUE(reg.setValue("mixed", QVariantList{1, "x", true}));
  EXPECT_TRUE(reg.setValue("int", 42));
  EXPECT_TRUE(reg.setValue("short", QVariant::fromValue<short>(-2)));
  EXPECT_TRUE(reg.setValue("text", QString("plain")));
  EXPECT_TRUE(reg.setValue("yes", true));
  EXPECT_TRUE(reg.setValue("big", QVariant::fromValue<qint64>(5000000000)));
  EXPECT_EQ(stored(kKey, "bin"), (RegValue{RegType::Binary, QByteArray("\x00\x01\xff", 3)}));
  EXPECT_EQ(stored(kKey, "list"), (RegValue{RegType::MultiSz, QByteArray("a\0b\0\0", 5)}));
  EXPECT_EQ(stored(kKey, "mixed"), (RegValue{RegType::MultiSz, QByteArray("1\0x\0True\0\0", 10)}));
  EXPECT_EQ(stored(kKey, "int"), dword(42));
  EXPECT_EQ(stored(kKey, "short"), dword(-2));
  EXPECT_EQ(stored(kKey, "text"), text("plain"));
  EXPECT_EQ(stored(kKey, "yes"), text("True"));
  EXPECT_EQ(stored(kKey, "big"), text("5000000000"));
}

TEST_F(RegObjTest, NumbersAsTextUseAPointAndNoGroupingWhateverTheLocale) {
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_TRUE(reg.setValue("double", 1234567.25));
  putRaw(kKey, "existing", text("old"));
  EXPECT_TRUE(reg.setValue("existing", 0.1 + 0.2));
  EXPECT_TRUE(reg.setValue("float", QVariant::fromValue<float>(2.5f)));
  QLocale::setDefault(saved);
  EXPECT_EQ(stored(kKey, "double"), text("1234567.25"));
  EXPECT_EQ(stored(kKey, "existing"), text("0.3"));
  EXPECT_EQ(stored(kKey, "float"), text("2.5"));
  EXPECT_EQ(reg.value("double").toString().toDouble(), 1234567.25);
}

TEST_F(RegObjTest, OptionOneWritesNumbersAsText) {
  reg.setOptions(1);
  EXPECT_TRUE(reg.setValue("int", 42));
  EXPECT_TRUE(reg.setValue("yes", false));
  EXPECT_EQ(stored(kKey, "int"), text("42"));
  EXPECT_EQ(stored(kKey, "yes"), text("False"));
}

TEST_F(RegObjTest, OptionsOutOfRangeAreIgnored) {
  reg.setOptions(1);
  reg.setOptions(16);
  reg.setOptions(-1);
  EXPECT_TRUE(reg.setValue("int", 7));
  EXPECT_EQ(stored(kKey, "int"), text("7"));
}

// Options up to 15 are taken whole, with all four bits at 15; one past it is ignored.
TEST(RegObjOptions, FifteenTurnsOnEveryOptionAndSixteenIsIgnored) {
  putRaw(kKey, "list", {RegType::MultiSz, QByteArray("a\0b\0\0", 5)});
  putRaw(kKey, "path", expandable("%TEMP%/x"));
  putRaw(kKey, "blob", {RegType::Binary, QByteArray("\x01", 1)});
  const struct {
    QList<int> set;
    bool on;
  } cases[] = {{{15}, true}, {{16}, false}, {{15, 16}, true}};
  int round = 0;
  for (const auto& [set, on] : cases) {
    const QString number = QStringLiteral("number%1").arg(++round);
    SCOPED_TRACE(number.toStdString());
    RegObj reg;
    reg.setKey(kKey);
    for (const int each : set) reg.setOptions(each);
    ASSERT_TRUE(reg.setValue(number, 42));
    EXPECT_EQ(stored(kKey, number), on ? text("42") : dword(42));
    EXPECT_EQ(reg.value("list"),
              on ? QVariant(QStringList{"a", "b"}) : QVariant(QString("a") + QChar(0) + "b"));
    EXPECT_EQ(reg.value("path"), QVariant(on ? qEnvironmentVariable("TEMP") + "/x" : QString("%TEMP%/x")));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(reg.setValue("blob", QString("text")));
    const std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_EQ(shown.find("Registry Error: Existing value has unsupported data type") != std::string::npos,
              on);
  }
}

TEST_F(RegObjTest, DefaultValueIsAlwaysText) {
  EXPECT_TRUE(reg.setValue("", 5));
  EXPECT_EQ(stored(kKey, ""), text("5"));
  EXPECT_EQ(reg.value(""), QVariant(QString("5")));
  EXPECT_FALSE(reg.setValue("", QStringList{"a"}));
}

// --- Writing against an existing value ---

TEST_F(RegObjTest, IntegerWrittenOverTextStaysText) {
  putRaw(kKey, "width", text("wide"));
  EXPECT_TRUE(reg.setValue("width", 800));
  EXPECT_EQ(stored(kKey, "width"), text("800"));
}

TEST_F(RegObjTest, TextWrittenOverDwordBecomesItsInteger) {
  putRaw(kKey, "count", dword(1));
  EXPECT_TRUE(reg.setValue("count", QString(" 17 ")));
  EXPECT_EQ(stored(kKey, "count"), dword(17));
  EXPECT_TRUE(reg.setValue("count", QString("2.5")));
  EXPECT_EQ(stored(kKey, "count"), dword(2));
  EXPECT_TRUE(reg.setValue("count", true));
  EXPECT_EQ(stored(kKey, "count"), dword(-1));
  EXPECT_TRUE(reg.setValue("count", 3.5));
  EXPECT_EQ(stored(kKey, "count"), dword(4));
}

TEST_F(RegObjTest, ValueThatDoesNotConvertToTheExistingTypeIsRefused) {
  putRaw(kKey, "count", dword(9));
  EXPECT_FALSE(reg.setValue("count", QString("nine")));
  EXPECT_FALSE(reg.setValue("count", QString()));
  EXPECT_FALSE(reg.setValue("count", QVariant::fromValue<qint64>(1LL << 40)));
  EXPECT_FALSE(reg.setValue("count", QStringList{"1"}));
  EXPECT_FALSE(reg.setValue("count", QVariant::fromValue(nullptr)));
  putRaw(kKey, "name", text("n"));
  EXPECT_FALSE(reg.setValue("name", QByteArray("x")));
  EXPECT_EQ(stored(kKey, "count"), dword(9));
  EXPECT_EQ(stored(kKey, "name"), text("n"));
}

TEST_F(RegObjTest, ExistingMultiStringTakesTheNewValuesOwnType) {
  putRaw(kKey, "list", {RegType::MultiSz, QByteArray("a\0\0", 3)});
  EXPECT_TRUE(reg.setValue("list", 3));
  EXPECT_EQ(stored(kKey, "list"), dword(3));
}

TEST_F(RegObjTest, ExistingValueOfAnotherTypeIsNeverOverwritten) {
  const RegValue binary{RegType::Binary, QByteArray("\x01\x02", 2)};
  putRaw(kKey, "blob", binary);
  reg.setOptions(8);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(reg.setValue("blob", QString("text")));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Registry Error: Existing value has unsupported data type and will not be overwritten"),
            std::string::npos);
  EXPECT_EQ(stored(kKey, "blob"), binary);
}

// --- Environment references ---

TEST_F(RegObjTest, TextNamingAnEnvironmentVariableIsExpandable) {
  ASSERT_TRUE(qEnvironmentVariableIsSet("TEMP"));
  EXPECT_TRUE(reg.setValue("a", QString("%TEMP%\\kvt")));
  EXPECT_TRUE(reg.setValue("b", QString("x%temp%y")));
  EXPECT_TRUE(reg.setValue("c", QString("100%")));
  EXPECT_TRUE(reg.setValue("d", QString("%KVT_SURELY_UNSET_VARIABLE%")));
  EXPECT_TRUE(reg.setValue("e", QString("%TEMP")));
  EXPECT_EQ(stored(kKey, "a"), expandable("%TEMP%\\kvt"));
  EXPECT_EQ(stored(kKey, "b"), expandable("x%temp%y"));
  EXPECT_EQ(stored(kKey, "c"), text("100%"));
  EXPECT_EQ(stored(kKey, "d"), text("%KVT_SURELY_UNSET_VARIABLE%"));
  EXPECT_EQ(stored(kKey, "e"), text("%TEMP"));
}

TEST_F(RegObjTest, ExpandableTextWrittenOverExpandableIsDecidedAnew) {
  putRaw(kKey, "path", expandable("%TEMP%"));
  EXPECT_TRUE(reg.setValue("path", QString("/plain")));
  EXPECT_EQ(stored(kKey, "path"), text("/plain"));
}

TEST_F(RegObjTest, ExpandableTextReadsBackUnexpanded) {
  EXPECT_TRUE(reg.setValue("path", QString("%TEMP%/x")));
  EXPECT_EQ(reg.value("path"), QVariant(QString("%TEMP%/x")));
}

TEST_F(RegObjTest, OptionFourExpandsOnReading) {
  putRaw(kKey, "path", expandable("%TEMP%/x %NOPE_KVT% 5%"));
  reg.setOptions(4);
  EXPECT_EQ(reg.value("path"), QVariant(qEnvironmentVariable("TEMP") + "/x %NOPE_KVT% 5%"));
}

// --- Reading ---

TEST_F(RegObjTest, ValuesReadBackInTheirTypes) {
  putRaw(kKey, "text", text("caf\xe9"));
  putRaw(kKey, "count", dword(-5));
  putRaw(kKey, "bin", {RegType::Binary, QByteArray("\x00\x07", 2)});
  putRaw(kKey, "list", {RegType::MultiSz, QByteArray("a\0b\0\0", 5)});
  putRaw(kKey, "odd", {0x0b, QByteArray(8, '\0')});
  EXPECT_EQ(reg.value("TEXT"), QVariant(QString::fromLatin1("caf\xe9")));
  EXPECT_EQ(reg.value("count"), QVariant(-5));
  EXPECT_EQ(reg.value("bin"), QVariant(QByteArray("\x00\x07", 2)));
  EXPECT_EQ(reg.value("list"), QVariant(QString("a") + QChar(0) + "b"));
  EXPECT_EQ(reg.value("odd"), QVariant(QString("(unsupported data format)")));
  EXPECT_FALSE(reg.value("missing").isValid());
}

TEST_F(RegObjTest, OptionTwoReadsMultiStringsAsArrays) {
  putRaw(kKey, "list", {RegType::MultiSz, QByteArray("a\0b\0\0", 5)});
  putRaw(kKey, "none", {RegType::MultiSz, QByteArray(2, '\0')});
  reg.setOptions(2);
  EXPECT_EQ(reg.value("list"), QVariant(QStringList{"a", "b"}));
  EXPECT_EQ(reg.value("none"), QVariant(QStringList()));
}

TEST_F(RegObjTest, MultiStringWrittenAndReadAsArrayRoundTrips) {
  reg.setOptions(2);
  const QStringList list{"first", QString::fromLatin1("d\xe9j\xe0")};
  EXPECT_TRUE(reg.setValue("list", list));
  // As in the registry, an empty string ends the list.
  EXPECT_TRUE(reg.setValue("gap", QStringList{"a", "", "b"}));
  RegObj fresh;
  fresh.setKey(kKey);
  fresh.setOptions(2);
  EXPECT_EQ(fresh.value("list"), QVariant(list));
  EXPECT_EQ(fresh.value("gap"), QVariant(QStringList{"a"}));
}

TEST_F(RegObjTest, AllValuesComeInTheOrderWritten) {
  EXPECT_TRUE(reg.setValue("zebra", 1));
  EXPECT_TRUE(reg.setValue("Apple", QString("a")));
  EXPECT_TRUE(reg.setValue("mango", 3));
  EXPECT_TRUE(reg.setValue("ZEBRA", 4));
  const auto all = reg.AllValues();
  ASSERT_EQ(all.size(), 3);
  EXPECT_EQ(all[0], qMakePair(QString("zebra"), QVariant(4)));
  EXPECT_EQ(all[1], qMakePair(QString("Apple"), QVariant(QString("a"))));
  EXPECT_EQ(all[2], qMakePair(QString("mango"), QVariant(3)));
  EXPECT_EQ(reg.ValueCount(), 3);
}

TEST_F(RegObjTest, EmptyKeysListNothing) {
  EXPECT_TRUE(reg.AllValues().isEmpty());
  EXPECT_TRUE(reg.AllKeys().isEmpty());
  EXPECT_EQ(reg.ValueCount(), 0);
  EXPECT_EQ(reg.KeyCount(), 0);
}

TEST_F(RegObjTest, AllKeysListsSubKeysSortedWithoutCase) {
  for (const char* name : {"beta", "Alpha", "Gamma"}) {
    RegObj child;
    child.setKey(kKey + "\\" + name);
    ASSERT_TRUE(child.haveWritePerms());
  }
  RegObj fresh;
  fresh.setKey(kKey);
  EXPECT_EQ(fresh.AllKeys(), (QStringList{"Alpha", "beta", "Gamma"}));
  EXPECT_EQ(fresh.KeyCount(), 3);
  EXPECT_EQ(fresh.key(), kKey);
}

TEST_F(RegObjTest, DoubledBackslashNamesTheSameKey) {
  RegObj doubled;
  doubled.setKey(kBase + "\\Settings");
  EXPECT_TRUE(doubled.setValue("a", 1));
  EXPECT_EQ(reg.value("a"), QVariant(1));
  RegObj parent;
  parent.setKey(kBase);
  EXPECT_EQ(parent.AllKeys(), QStringList{"Settings"});
}

// --- The cache ---

TEST_F(RegObjTest, TwoReadsCostOneEnumeration) {
  putRaw(kKey, "a", dword(1));
  putRaw(kKey, "b", dword(2));
  const int before = RegObj::enumerationCount();
  EXPECT_EQ(reg.value("a"), QVariant(1));
  EXPECT_EQ(reg.value("b"), QVariant(2));
  EXPECT_EQ(RegObj::enumerationCount() - before, 1);
}

TEST_F(RegObjTest, WriteBetweenReadsMakesTheNextReadEnumerateAgain) {
  putRaw(kKey, "a", dword(1));
  const int before = RegObj::enumerationCount();
  EXPECT_EQ(reg.value("a"), QVariant(1));
  EXPECT_TRUE(reg.setValue("b", 2));
  EXPECT_EQ(reg.value("b"), QVariant(2));
  EXPECT_EQ(RegObj::enumerationCount() - before, 2);
}

TEST_F(RegObjTest, CachedValuesHideChangesFromOtherObjectsUntilOwnChange) {
  putRaw(kKey, "a", dword(1));
  EXPECT_EQ(reg.value("a"), QVariant(1));
  RegObj other;
  other.setKey(kKey);
  EXPECT_TRUE(other.setValue("a", 2));
  EXPECT_EQ(reg.value("a"), QVariant(1));
  EXPECT_TRUE(reg.setValue("c", 3));
  EXPECT_EQ(reg.value("a"), QVariant(2));
}

// --- Empty and missing ---

TEST(RegObjEmpty, WritingEmptyWritesNothingAndOpensNothing) {
  RegObj reg;
  reg.setKey(kKey);
  EXPECT_TRUE(reg.setValue("a", QVariant()));
  EXPECT_FALSE(QFileInfo::exists(userFile()));
  EXPECT_FALSE(QFileInfo::exists(userFile() + ".lock"));
}

TEST(RegObjEmpty, NoKeyNameFailsEverything) {
  RegObj reg;
  reg.setOptions(8);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(reg.setValue("a", 1));
  EXPECT_FALSE(reg.value("a").isValid());
  EXPECT_FALSE(reg.haveWritePerms());
  EXPECT_FALSE(reg.DeleteKey());
  EXPECT_TRUE(reg.AllKeys().isEmpty());
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Registry Error: No Key name specified!"), std::string::npos);
  EXPECT_FALSE(QFileInfo::exists(userFile()));
}

TEST(RegObjEmpty, SettingAnEmptyKeyIsIgnored) {
  RegObj reg;
  reg.setKey(kKey);
  reg.setKey("");
  EXPECT_EQ(reg.key(), kKey);
  EXPECT_EQ(reg.root(), HKEY_CURRENT_USER);
}

// --- Deleting ---

TEST_F(RegObjTest, DeleteValueRemovesItAndFailsOnMissing) {
  EXPECT_TRUE(reg.setValue("a", 1));
  EXPECT_TRUE(reg.setValue("b", 2));
  EXPECT_EQ(reg.value("a"), QVariant(1));
  EXPECT_TRUE(reg.DeleteValue("A"));
  EXPECT_FALSE(reg.value("a").isValid());
  EXPECT_EQ(reg.ValueCount(), 1);
  EXPECT_FALSE(reg.DeleteValue("a"));
  EXPECT_FALSE(stored(kKey, "a").type);
}

TEST(RegObjDelete, PathWithoutBackslashDeletesNothing) {
  RegObj reg;
  reg.setKey("Software");
  ASSERT_TRUE(reg.setValue("a", 1));
  EXPECT_FALSE(reg.DeleteKey());
  EXPECT_EQ(reg.key(), "Software");
  EXPECT_EQ(stored("Software", "a"), dword(1));
}

TEST(RegObjDelete, PathEndingInBackslashDeletesNothing) {
  RegObj reg;
  reg.setKey(kBase);
  ASSERT_TRUE(reg.setValue("a", 1));
  EXPECT_FALSE(reg.DeleteKey());
  EXPECT_EQ(stored(kBase, "a"), dword(1));
}

TEST(RegObjDelete, DeletingPrintersTakesItsSubKeysAndLeavesTheObjectOnTheBase) {
  RegObj printer;
  printer.setKey(kBase + "\\Printers\\Plotter\\Media");
  ASSERT_TRUE(printer.setValue("name", QString("Bond")));
  RegObj neighbour;
  neighbour.setKey(kBase + "Window");
  ASSERT_TRUE(neighbour.setValue("width", 800));

  RegObj reg;
  reg.setKey(kBase + "\\Printers");
  ASSERT_TRUE(reg.setValue("count", 1));
  EXPECT_TRUE(reg.DeleteKey());
  EXPECT_EQ(reg.key(), kBase);
  EXPECT_EQ(reg.AllKeys(), QStringList{"Window"});
  EXPECT_FALSE(RegistryStore(HKEY_CURRENT_USER).keyInfo(kBase + "Printers\\Plotter"));
  EXPECT_EQ(stored(kBase + "Window", "width"), dword(800));
}

// --- Roots, permissions and the store underneath ---

TEST(RegObjRoot, MachineRootHasItsOwnFile) {
  RegObj reg;
  reg.setRoot(HKEY_LOCAL_MACHINE);
  reg.setKey(kKey);
  EXPECT_TRUE(reg.setValue("Language", 1036));
  EXPECT_EQ(RegistryStore(HKEY_LOCAL_MACHINE).queryValue(kKey, "Language"), dword(1036));
  EXPECT_FALSE(RegistryStore(HKEY_CURRENT_USER).queryValue(kKey, "Language"));
  reg.setRoot(HKEY_CURRENT_USER);
  EXPECT_FALSE(reg.value("Language").isValid());
}

TEST(RegObjRoot, RootZeroMeansTheUser) {
  RegObj reg;
  reg.setRoot(0);
  reg.setKey(kKey);
  EXPECT_TRUE(reg.setValue("a", 1));
  EXPECT_EQ(stored(kKey, "a"), dword(1));
}

TEST(RegObjPermissions, UnwritableRegistryFolderMeansNoWritePermission) {
  const QString dir = TestEnv::freshDir("locked");
  const QString blocked = ::geteuid() == 0 ? dir + "/file/registry" : dir;
  if (::geteuid() == 0) {
    // Permissions do not stop root: a folder below a regular file cannot be made.
    QFile file(dir + "/file");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  } else {
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner);
  }
  const QByteArray saved = qgetenv("KVT_REGISTRY_DIR");
  qputenv("KVT_REGISTRY_DIR", QFile::encodeName(blocked));
  RegObj reg;
  reg.setKey(kKey);
  EXPECT_FALSE(reg.haveWritePerms());
  EXPECT_FALSE(reg.setValue("a", 1));
  EXPECT_FALSE(reg.value("a").isValid());
  qputenv("KVT_REGISTRY_DIR", saved);
  QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(RegObjPermissions, WritableFolderMeansWritePermission) {
  RegObj reg;
  reg.setKey(kKey);
  EXPECT_TRUE(reg.haveWritePerms());
  EXPECT_TRUE(RegistryStore(HKEY_CURRENT_USER).keyInfo(kKey));
}

TEST(RegObjStore, FailedStoreWriteIsReportedAsFailure) {
  RegObj reg;
  reg.setKey(kKey);
  ASSERT_TRUE(reg.haveWritePerms());
  // The folder goes away under the open key: the write cannot land.
  const QString folder = RegistryStore::folderOf(HKEY_CURRENT_USER);
  ASSERT_TRUE(QDir(folder).removeRecursively());
  ASSERT_TRUE(QFile(folder).open(QIODevice::WriteOnly));
  EXPECT_FALSE(reg.setValue("a", 1));
  ASSERT_TRUE(QFile::remove(folder));
}

TEST(RegObjStore, DamagedFileIsKeptAsideAndLogged) {
  const QString log = TestEnv::sandbox() + "/kvt.log";
  gLogging = true;
  gLogFile = log;
  QFile damaged(userFile());
  ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
  damaged.write("not a registry file\r\n");
  damaged.close();
  RegObj reg;
  reg.setKey(kKey);
  EXPECT_TRUE(reg.setValue("a", 1));
  gLogging = false;
  QFile logFile(log);
  ASSERT_TRUE(logFile.open(QIODevice::ReadOnly));
  EXPECT_TRUE(logFile.readAll().contains("RegistryStore-Load: Damaged registry file kept as "));
  const QStringList aside = QDir(RegistryStore::folderOf(HKEY_CURRENT_USER))
                                .entryList({"HKEY_CURRENT_USER.reg.damaged-*"}, QDir::Files);
  EXPECT_EQ(aside.size(), 1);
  EXPECT_EQ(stored(kKey, "a"), dword(1));
}

TEST(RegObjLanguage, LanguageChangeOnlySetsTheLanguage) {
  MLRuntime::RuntimeSupport announcer;
  SetLanguage(9, "English");
  announcer.SetLanguage(1036, "French");
  EXPECT_EQ(gLanguageID, 9);
  RegObj reg;
  reg.setKey(kKey);
  announcer.SetLanguage(1036, "French");
  EXPECT_EQ(gLanguageID, 1036);
  EXPECT_FALSE(QFileInfo::exists(userFile()));
}

// --- Batches ---

TEST(RegObjBatch, WritesOfManyObjectsAreOneChangeOfTheFile) {
  const int writes = RegistryStore::writeCount();
  bool told = false;
  {
    RegObj::Batch batch;
    RegObj first;
    first.setKey(kBase + "First");
    RegObj second;
    second.setKey(kBase + "Second\\Inner");
    EXPECT_TRUE(first.setValue("a", 1));
    EXPECT_TRUE(second.setValue("b", QString("two")));
    EXPECT_TRUE(second.DeleteKey());
    // What the batch holds is what every object reads; the file comes at the commit.
    RegObj reader;
    reader.setKey(kBase + "First");
    EXPECT_EQ(reader.value("a"), QVariant(1));
    EXPECT_FALSE(QFileInfo::exists(userFile()));
    batch.whenWritten([&] { told = true; });
    ASSERT_TRUE(batch.commit());
  }
  EXPECT_TRUE(told);
  EXPECT_EQ(RegistryStore::writeCount() - writes, 1);
  EXPECT_EQ(stored(kBase + "First", "a"), dword(1));
  EXPECT_FALSE(RegistryStore(HKEY_CURRENT_USER).keyInfo(kBase + "Second\\Inner"));
}
