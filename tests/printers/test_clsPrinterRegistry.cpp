#include <gtest/gtest.h>

#include <QStringList>

#include "PrinterEmulator.h"
#include "RegObj.h"
#include "clsPrinter.h"
#include "modLumasetCommon.h"

namespace {

QStringList items(const KeyedCollection<QString>& list) {
  QStringList out;
  for (const auto& entry : list) out.append(entry.second);
  return out;
}

QStringList valuesOf(const QString& key) {
  RegObj reg;
  reg.setRoot(HKEY_CURRENT_USER);
  reg.setKey(gRegRoot + key);
  QStringList out;
  for (const auto& value : reg.AllValues())
    out.append(value.first + QLatin1Char('=') + value.second.toString());
  return out;
}

std::unique_ptr<clsPrinter> queriedPrinter(PrinterEmulator& emulator) {
  emulator.setReplies(PrinterEmulator::fixture(QStringLiteral("status/full.txt")));
  auto p = std::make_unique<clsPrinter>(QStringLiteral("Plotter"),
                                        QStringLiteral("127.0.0.1:") + QString::number(emulator.port()));
  EXPECT_TRUE(p->update());
  return p;
}

}  // namespace

TEST(clsPrinterRegistry, AQueriedPrinterComesBackAsItWasSaved) {
  PrinterEmulator emulator;
  auto saved = queriedPrinter(emulator);
  ASSERT_TRUE(saved->SaveToReg());

  EXPECT_EQ(valuesOf(QStringLiteral("Printers\\Plotter\\Finish Programs")),
            (QStringList{"1=Fold A4", "2=Stack"}));
  EXPECT_EQ(valuesOf(QStringLiteral("Printers\\Plotter\\Sources")),
            (QStringList{"1=ROLL1", "2=ROLL2", "3=TRAY1", "4=TRAY2"}));
  EXPECT_EQ(valuesOf(QStringLiteral("Printers\\Plotter\\Media\\Film")),
            (QStringList{"frenchName=Film", "italianName=Pellicola", "germanName=Folie",
                         QString::fromUtf8("spainishName=Película"), "portugueseName=Filme"}));
  const QStringList own = valuesOf(QStringLiteral("Printers\\Plotter"));
  EXPECT_TRUE(own.contains(QStringLiteral("IDstring=WF 7170 2.3")));
  EXPECT_TRUE(own.contains(QStringLiteral("finisherModel=FoldMaster 200")));

  clsPrinter loaded;
  ASSERT_TRUE(loaded.LoadFromReg(QStringLiteral("Plotter")));
  EXPECT_EQ(loaded.name, QStringLiteral("Plotter"));
  EXPECT_EQ(loaded.address, saved->address);
  EXPECT_EQ(loaded.finisherModel, QStringLiteral("FoldMaster 200"));
  EXPECT_EQ(loaded.model(), QStringLiteral("WF 7170"));
  EXPECT_EQ(loaded.version(), QStringLiteral("2.3"));
  EXPECT_EQ(items(loaded.finishProgs), items(saved->finishProgs));
  EXPECT_EQ(items(loaded.sizes), items(saved->sizes));
  EXPECT_EQ(items(loaded.sources), items(saved->sources));
  EXPECT_EQ(items(loaded.fonts), items(saved->fonts));
  // Media come back in the registry's order of sub-keys, numbered from 1.
  const QStringList mediaOrder{"ANY", "Film", "Plain Paper"};
  ASSERT_EQ(loaded.mediaTypes.size(), mediaOrder.size());
  for (qsizetype i = 0; i < loaded.mediaTypes.size(); ++i) {
    EXPECT_EQ(loaded.mediaTypes.at(i).index, i + 1);
    EXPECT_EQ(loaded.mediaTypes.at(i).name, mediaOrder.at(i));
  }
  const clsMedia* film = loaded.mediaTypes.find(QStringLiteral("xFILM"));
  ASSERT_NE(film, nullptr);
  EXPECT_EQ(film->spainishName, QString::fromUtf8("Película"));
  EXPECT_EQ(loaded.mediaTypes.find(QStringLiteral("xANY"))->germanName, QStringLiteral("Alle"));
}

TEST(clsPrinterRegistry, SavingAShorterListLeavesNoStaleEntries) {
  PrinterEmulator emulator;
  auto p = queriedPrinter(emulator);
  ASSERT_TRUE(p->SaveToReg());
  p->sources.clear();
  p->sources.insert(QStringLiteral("xAUTO"), QStringLiteral("Auto"));
  p->fonts.clear();
  p->fonts.insert(QStringLiteral("xCOURIER"), QStringLiteral("Courier"));
  ASSERT_TRUE(p->SaveToReg());
  EXPECT_EQ(valuesOf(QStringLiteral("Printers\\Plotter\\Sources")), QStringList{"1=Auto"});
  EXPECT_EQ(valuesOf(QStringLiteral("Printers\\Plotter\\Fonts")), QStringList{"1=Courier"});
}

TEST(clsPrinterRegistry, EmptyListKeysKeepTheDefaults) {
  RegObj reg;
  reg.setRoot(HKEY_CURRENT_USER);
  reg.setKey(gRegRoot + QStringLiteral("Printers\\Bare"));
  ASSERT_TRUE(reg.haveWritePerms());
  ASSERT_TRUE(reg.setValue(QStringLiteral("address"), QStringLiteral("bare.example:9100")));
  clsPrinter p;
  EXPECT_TRUE(p.LoadFromReg(QStringLiteral("Bare")));
  EXPECT_EQ(p.address, QStringLiteral("bare.example:9100"));
  EXPECT_EQ(p.port(), 9100);
  EXPECT_EQ(items(p.sizes), QStringList{"Any"});
  EXPECT_EQ(items(p.fonts), QStringList{"Courier"});
  ASSERT_EQ(p.mediaTypes.size(), 1);
  EXPECT_EQ(p.mediaTypes.at(0).name, QStringLiteral("ANY"));
}

TEST(clsPrinterRegistry, ADuplicateListEntryMakesLoadingFail) {
  RegObj reg;
  reg.setRoot(HKEY_CURRENT_USER);
  reg.setKey(gRegRoot + QStringLiteral("Printers\\Dup\\Sizes"));
  ASSERT_TRUE(reg.haveWritePerms());
  reg.setValue(QStringLiteral("1"), QStringLiteral("A4"));
  reg.setValue(QStringLiteral("2"), QStringLiteral("a4"));
  clsPrinter p;
  EXPECT_FALSE(p.LoadFromReg(QStringLiteral("Dup")));
  EXPECT_EQ(items(p.sizes), QStringList{"A4"});
}

TEST(clsMediaRegistry, SavingReplacesAnEarlierSave) {
  RegObj reg;
  reg.setRoot(HKEY_CURRENT_USER);
  reg.setKey(gRegRoot + QStringLiteral("Printers\\P\\Media\\Film"));
  ASSERT_TRUE(reg.haveWritePerms());
  reg.setValue(QStringLiteral("oldValue"), QStringLiteral("stale"));
  clsMedia m;
  m.name = QStringLiteral("Film");
  m.frenchName = QStringLiteral("Film FR");
  ASSERT_TRUE(m.SaveToReg(QStringLiteral("P")));
  EXPECT_EQ(
      valuesOf(QStringLiteral("Printers\\P\\Media\\Film")),
      (QStringList{"frenchName=Film FR", "italianName=", "germanName=", "spainishName=", "portugueseName="}));
  clsMedia back;
  EXPECT_TRUE(back.LoadFromReg(QStringLiteral("P"), QStringLiteral("Film")));
  EXPECT_EQ(back.name, QStringLiteral("Film"));
  EXPECT_EQ(back.frenchName, QStringLiteral("Film FR"));
  EXPECT_EQ(back.germanName, QString());
}
