#include <gtest/gtest.h>

#include <QMap>
#include <QProcess>
#include <functional>

#include "PrinterEmulator.h"
#include "RegObj.h"
#include "RegistryStore.h"
#include "ReplaceFile.h"
#include "TestEnv.h"
#include "clsSettings.h"
#include "modLumasetCommon.h"

namespace {

const QString kBase = QStringLiteral("Software\\Pelva\\Skyplain Vondir\\Vondir Submit\\");
// The registry folder of the test that starts a helper process.
const char* const kRegistryVariable = "KVT_TEST_SETTINGS_REGISTRY";
// What a helper process adds to its printers' names.
const char* const kPrefixVariable = "KVT_TEST_SETTINGS_PREFIX";
constexpr int kPrintersEach = 40;
constexpr int kListed = 10;
constexpr int kSaverRounds = 40;

// A printer as another program saves it.
void storePrinter(const QString& name, const QString& address) {
  clsPrinter printer(name, address);
  ASSERT_TRUE(printer.SaveToReg());
}

// The stored printers' names as the registry spells them.
QStringList storedNames() {
  RegObj reg;
  reg.setKey(kBase + QStringLiteral("Printers"));
  return reg.AllKeys();
}

QMap<QString, QString> storedAddresses() {
  clsPrinters printers;
  printers.LoadFromReg();
  QMap<QString, QString> addresses;
  for (const QString& name : printers.names()) addresses.insert(name, printers.printer(name)->address);
  return addresses;
}

class PrintersSave : public ::testing::Test {
 protected:
  void SetUp() override { gRegRoot = kBase; }
  void TearDown() override { setSyncCall({}); }
};

// Runs this test program again as a helper process on the registry of this test.
void startHelper(QProcess& helper, const QString& test, const QString& prefix = QString()) {
  TestEnv::startSelf(
      helper, test,
      {{kRegistryVariable, qEnvironmentVariable("KVT_REGISTRY_DIR")}, {kPrefixVariable, prefix}});
}

// The helper's part: true when the test runs as a helper.
bool takeHelperRegistry() {
  const QByteArray dir = qgetenv(kRegistryVariable);
  if (dir.isEmpty()) return false;
  qputenv("KVT_REGISTRY_DIR", dir);
  gRegRoot = kBase;
  return true;
}

}  // namespace

TEST_F(PrintersSave, OnlyWhatThisProgramChangedIsSaved) {
  for (const char* name : {"Kept", "Edited there", "Deleted there", "Edited here", "Deleted here"})
    storePrinter(name, "10.0.0.1");
  clsSettings here;
  ASSERT_TRUE(here.LoadFromReg());
  {
    clsSettings there;
    ASSERT_TRUE(there.LoadFromReg());
    there.printers.printer("Edited there")->address = "10.0.0.2";
    there.printers.deletePrinter("Deleted there");
    ASSERT_TRUE(there.SaveToReg());
    storePrinter("Added there", "10.0.0.3");
  }
  here.printers.printer("Edited here")->address = "10.0.0.4";
  here.printers.deletePrinter("Deleted here");
  ASSERT_TRUE(here.SaveToReg());
  const QMap<QString, QString> expected{{"Added there", "10.0.0.3"},
                                        {"Edited here", "10.0.0.4"},
                                        {"Edited there", "10.0.0.2"},
                                        {"Kept", "10.0.0.1"}};
  EXPECT_EQ(storedAddresses(), expected);
}

TEST_F(PrintersSave, ARenamedPrinterIsStoredUnderItsNewNameAlone) {
  PrinterEmulator emulator;
  emulator.setReplies(PrinterEmulator::fixture(QStringLiteral("status/full.txt")));
  const QString address = QStringLiteral("127.0.0.1:%1").arg(emulator.port());
  storePrinter("Old name", address);
  storePrinter("Plotter", address);
  clsSettings settings;
  ASSERT_TRUE(settings.LoadFromReg());
  ASSERT_TRUE(settings.printers.add("New name", address));
  settings.printers.deletePrinter("Old name");
  // A new case is the same entry, renamed in place.
  settings.printers.printer("Plotter")->name = "PLOTTER";
  ASSERT_TRUE(settings.SaveToReg());
  EXPECT_EQ(storedNames(), (QStringList{"New name", "PLOTTER"}));
}

TEST_F(PrintersSave, APrinterAddedAndSavedThenDeletedIsGoneAtTheNextSave) {
  PrinterEmulator emulator;
  emulator.setReplies(PrinterEmulator::fixture(QStringLiteral("status/full.txt")));
  clsSettings settings;
  ASSERT_TRUE(settings.printers.add("Plotter", QStringLiteral("127.0.0.1:%1").arg(emulator.port())));
  ASSERT_TRUE(settings.SaveToReg());
  settings.printers.deletePrinter("Plotter");
  ASSERT_TRUE(settings.SaveToReg());
  EXPECT_TRUE(storedNames().isEmpty());
}

TEST_F(PrintersSave, ASaveOfTheSettingsIsOneRewriteOfTheFile) {
  for (int i = 0; i < kListed; ++i) storePrinter(QStringLiteral("Plotter %1").arg(i), "10.0.0.1");
  clsSettings settings;
  ASSERT_TRUE(settings.LoadFromReg());
  for (const int edited : {0, 1, kListed}) {
    SCOPED_TRACE(edited);
    for (int i = 0; i < edited; ++i)
      settings.printers.printer(QStringLiteral("Plotter %1").arg(i))->address =
          QStringLiteral("10.0.1.%1").arg(edited);
    const int writes = RegistryStore::writeCount();
    ASSERT_TRUE(settings.SaveToReg());
    EXPECT_EQ(RegistryStore::writeCount() - writes, 1);
  }
  EXPECT_EQ(storedAddresses().value("Plotter 9"), QStringLiteral("10.0.1.%1").arg(kListed));
}

TEST_F(PrintersSave, ASaveThatFailsIsMadeAgainByTheNextSave) {
  storePrinter("Edited", "10.0.0.1");
  storePrinter("Deleted", "10.0.0.1");
  clsSettings settings;
  ASSERT_TRUE(settings.LoadFromReg());
  settings.printers.printer("Edited")->address = "10.0.0.2";
  settings.printers.deletePrinter("Deleted");
  setSyncCall([](int) { return -1; });
  EXPECT_FALSE(settings.SaveToReg());
  setSyncCall({});
  EXPECT_EQ(storedAddresses(), (QMap<QString, QString>{{"Deleted", "10.0.0.1"}, {"Edited", "10.0.0.1"}}));
  ASSERT_TRUE(settings.SaveToReg());
  EXPECT_EQ(storedAddresses(), (QMap<QString, QString>{{"Edited", "10.0.0.2"}}));
}

QString itemsOf(const KeyedCollection<QString>& list) {
  QStringList items;
  for (const auto& entry : list) items.append(entry.second);
  return items.join('|');
}

QString mediaOf(const clsPrinter& printer) {
  QStringList media;
  for (const auto& [key, medium] : printer.mediaTypes) media.append(medium.name + '/' + medium.frenchName);
  return media.join('|');
}

// Whatever the user changed in a printer, its next save writes it.
TEST_F(PrintersSave, EveryEditOfAPrinterIsSaved) {
  const struct {
    const char* what;
    std::function<void(clsPrinter&)> edit;
    std::function<QString(const clsPrinter&)> read;
  } edits[] = {
      {"address", [](clsPrinter& p) { p.address = "10.9.9.9"; },
       [](const clsPrinter& p) { return p.address; }},
      {"finisher", [](clsPrinter& p) { p.finisherModel = "Folder"; },
       [](const clsPrinter& p) { return p.finisherModel; }},
      {"finish programs", [](clsPrinter& p) { p.finishProgs.insert("xFOLD", "Fold"); },
       [](const clsPrinter& p) { return itemsOf(p.finishProgs); }},
      {"sizes", [](clsPrinter& p) { p.sizes.insert("xISO_A0", "ISO_A0"); },
       [](const clsPrinter& p) { return itemsOf(p.sizes); }},
      {"sources", [](clsPrinter& p) { p.sources.insert("xROLL2", "ROLL2"); },
       [](const clsPrinter& p) { return itemsOf(p.sources); }},
      {"fonts", [](clsPrinter& p) { p.fonts.insert("xARIAL", "Arial"); },
       [](const clsPrinter& p) { return itemsOf(p.fonts); }},
      {"media",
       [](clsPrinter& p) {
         p.mediaTypes.insert("xBOND", clsMedia{"Bond", "Papier", {}, {}, {}, {}, 0});
       },
       mediaOf},
      {"a medium's name in French", [](clsPrinter& p) { p.mediaTypes.at(0).frenchName = "Tous"; }, mediaOf},
  };
  for (const auto& [what, edit, read] : edits) {
    SCOPED_TRACE(what);
    storePrinter("Plotter", "10.0.0.1");
    clsSettings settings;
    ASSERT_TRUE(settings.LoadFromReg());
    clsPrinter& printer = *settings.printers.printer("Plotter");
    edit(printer);
    const QString edited = read(printer);
    ASSERT_TRUE(settings.SaveToReg());
    clsSettings loaded;
    ASSERT_TRUE(loaded.LoadFromReg());
    EXPECT_EQ(read(*loaded.printers.printer("Plotter")), edited);
  }
}

// --- Two programs at once ---

// A helper process: the settings dialog's way, a printer added and the settings saved, 40 times.
TEST(PrintersSaveProcesses, AddingHelper) {
  if (!takeHelperRegistry()) GTEST_SKIP() << "only run as a helper process";
  PrinterEmulator emulator;
  emulator.setReplies(PrinterEmulator::fixture(QStringLiteral("status/full.txt")));
  const QString address = QStringLiteral("127.0.0.1:%1").arg(emulator.port());
  const QString prefix = qEnvironmentVariable(kPrefixVariable);
  clsSettings settings;
  settings.LoadFromReg();
  for (int i = 0; i < kPrintersEach; ++i) {
    ASSERT_TRUE(settings.printers.add(prefix + QString::number(i), address));
    ASSERT_TRUE(settings.SaveToReg());
  }
}

TEST(PrintersSaveProcesses, TwoProgramsAddingFortyPrintersEachEndWithEighty) {
  QProcess first;
  QProcess second;
  startHelper(first, "PrintersSaveProcesses.AddingHelper", "First ");
  startHelper(second, "PrintersSaveProcesses.AddingHelper", "Second ");
  for (QProcess* helper : {&first, &second}) {
    ASSERT_TRUE(helper->waitForFinished(100000));
    EXPECT_EQ(helper->exitCode(), 0);
  }
  gRegRoot = kBase;
  const QStringList names = storedNames();
  EXPECT_EQ(names.size(), 2 * kPrintersEach);
  for (const char* prefix : {"First ", "Second "})
    for (int i = 0; i < kPrintersEach; ++i)
      EXPECT_TRUE(names.contains(prefix + QString::number(i))) << prefix << i;
}

// A helper process: every printer of the list edited and the settings saved, again and again.
TEST(PrintersSaveProcesses, SavingHelper) {
  if (!takeHelperRegistry()) GTEST_SKIP() << "only run as a helper process";
  clsSettings settings;
  ASSERT_TRUE(settings.LoadFromReg());
  for (int round = 0; round < kSaverRounds; ++round) {
    for (const QString& name : settings.printers.names())
      settings.printers.printer(name)->address = QStringLiteral("10.0.%1.1").arg(round);
    ASSERT_TRUE(settings.SaveToReg());
  }
}

TEST(PrintersSaveProcesses, ALoadWhileAnotherProgramSavesSeesTheWholeList) {
  gRegRoot = kBase;
  for (int i = 0; i < kListed; ++i) storePrinter(QStringLiteral("Plotter %1").arg(i), "10.0.0.1");
  QProcess saver;
  startHelper(saver, "PrintersSaveProcesses.SavingHelper");
  ASSERT_TRUE(saver.waitForStarted());
  int loads = 0;
  for (; loads < 1000 && saver.state() != QProcess::NotRunning; ++loads) {
    clsSettings settings;
    ASSERT_TRUE(settings.LoadFromReg());
    ASSERT_EQ(settings.printers.names().size(), kListed) << "load " << loads;
    QStringList addresses;
    for (const QString& name : settings.printers.names())
      addresses.append(settings.printers.printer(name)->address);
    addresses.removeDuplicates();
    // One save edits every printer: a load sees all of them from one save.
    ASSERT_EQ(addresses.size(), 1) << addresses.join(' ').toStdString();
    saver.waitForFinished(0);
  }
  ASSERT_TRUE(saver.state() == QProcess::NotRunning || saver.waitForFinished(100000));
  EXPECT_EQ(saver.exitCode(), 0);
  EXPECT_GT(loads, 0);
}
