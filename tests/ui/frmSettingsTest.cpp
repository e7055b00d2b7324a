#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "MLRuntime.h"
#include "MessageBox.h"
#include "MlStringModule.h"
#include "PrinterEmulator.h"
#include "RegObj.h"
#include "TestEnv.h"
#include "UserStandIn.h"
#include "clsSettings.h"
#include "frmSettings.h"
#include "modLumasetCommon.h"

namespace {

const QString kCommFailure = QStringLiteral("Printer Communication Error: ");

QString addressOf(const PrinterEmulator& emulator) {
  return QStringLiteral("127.0.0.1:") + QString::number(emulator.port());
}

QStringList column(const QTreeWidget* list, int column) {
  QStringList texts;
  for (int i = 0; i < list->topLevelItemCount(); ++i) texts.append(list->topLevelItem(i)->text(column));
  return texts;
}

QStringList selectedNames(const QTreeWidget* list) {
  QStringList texts;
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    if (list->topLevelItem(i)->isSelected()) texts.append(list->topLevelItem(i)->text(0));
  return texts;
}

// An executable file of the sandbox, as a viewer program.
QString makeProgram(const QString& name) {
  const QString path = TestEnv::freshDir(QStringLiteral("programs")) + QLatin1Char('/') + name;
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("#!/bin/sh\n");
  file.setPermissions(file.permissions() | QFile::ExeOwner);
  return path;
}

class SettingsDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    gRegRoot = QStringLiteral("Software\\Pelva\\Skyplain Vondir\\Vondir Submit\\");
    SetLanguage(kLanguageEnglish, QStringLiteral("English"));
    gSettings = std::make_unique<clsSettings>();
    answering.setReplies(PrinterEmulator::fixture(QStringLiteral("status/full.txt")));
    silent.refuseConnections();
  }
  void TearDown() override { gSettings.reset(); }

  QString good() const { return addressOf(answering); }
  QString bad() const { return addressOf(silent); }

  void addPrinter(frmSettings& form, const QString& name, const QString& address) {
    user.answerNext(typePrinter(name, address));
    form.cmdNew->click();
  }

  void select(frmSettings& form, const QStringList& names) {
    form.lvPrinters->clearSelection();
    for (int i = form.lvPrinters->topLevelItemCount() - 1; i >= 0; --i)
      if (names.contains(form.lvPrinters->topLevelItem(i)->text(0)))
        form.lvPrinters->topLevelItem(i)->setSelected(true);
  }

  void editSelected(frmSettings& form, const QString& name, const QString& address) {
    user.answerNext(typePrinter(name, address));
    form.cmdEdit->click();
  }

  PrinterEmulator answering;
  PrinterEmulator silent;
  UserStandIn user;
};

}  // namespace

TEST_F(SettingsDialog, NewPrinterIsQueriedAndShownWithModelAndVersionSelected) {
  frmSettings form;
  addPrinter(form, "Plotter", good());
  addPrinter(form, "Second", good());
  EXPECT_EQ(column(form.lvPrinters, 0), (QStringList{"Plotter", "Second"}));
  EXPECT_EQ(column(form.lvPrinters, 1), (QStringList{good(), good()}));
  EXPECT_EQ(column(form.lvPrinters, 2), (QStringList{"WF 7170", "WF 7170"}));
  EXPECT_EQ(column(form.lvPrinters, 3), (QStringList{"2.3", "2.3"}));
  EXPECT_EQ(selectedNames(form.lvPrinters), QStringList{"Second"});
  EXPECT_TRUE(user.boxes.isEmpty());
}

TEST_F(SettingsDialog, NewPrinterThatFailsOrWhoseNameIsTakenLeavesTheListAsItWas) {
  frmSettings form;
  form.cmdEdit->click();
  form.cmdDelete->click();
  EXPECT_TRUE(user.dialogsShown.isEmpty());
  addPrinter(form, "Plotter", good());
  addPrinter(form, "Gone", bad());
  const int queries = answering.connectionCount();
  addPrinter(form, "PLOTTER", good());
  EXPECT_EQ(column(form.lvPrinters, 0), QStringList{"Plotter"});
  EXPECT_EQ(answering.connectionCount(), queries);
  EXPECT_EQ(user.boxes, (QStringList{kCommFailure + "Could not add printer.",
                                     "Printer Details: A printer of this name is already configured."}));
}

TEST_F(SettingsDialog, EditingTheAddressOnlyQueriesAgainInPlaceAndKeepsAFailedOne) {
  PrinterEmulator other;
  other.setReplies(PrinterEmulator::fixture(QStringLiteral("status/full.txt")));
  frmSettings form;
  addPrinter(form, "Plotter", good());
  editSelected(form, "Plotter", addressOf(other));
  EXPECT_EQ(column(form.lvPrinters, 1), QStringList{addressOf(other)});
  EXPECT_EQ(other.connectionCount(), 1);
  EXPECT_TRUE(user.boxes.isEmpty());
  form.lvPrinters->topLevelItem(0)->setSelected(true);
  editSelected(form, "Plotter", bad());
  EXPECT_EQ(column(form.lvPrinters, 0), QStringList{"Plotter"});
  EXPECT_EQ(column(form.lvPrinters, 1), QStringList{bad()});
  EXPECT_EQ(user.boxes, QStringList{kCommFailure + "Printer details may be incorrect."});
}

TEST_F(SettingsDialog, RenameAddsTheNewNameFirstAndDropsTheOldOnlyWhenItIsIn) {
  struct Case {
    QString name;
    bool answers;
  };
  for (const Case& c : {Case{"Big Plotter", true}, Case{"PLOTTER", true}, Case{"Big Plotter", false},
                        Case{"PLOTTER", false}}) {
    SCOPED_TRACE(c.name.toStdString() + (c.answers ? " answers" : " fails"));
    gSettings = std::make_unique<clsSettings>();
    user.boxes.clear();
    frmSettings form;
    addPrinter(form, "Plotter", good());
    addPrinter(form, "Other", good());
    select(form, {"Plotter"});
    editSelected(form, c.name, c.answers ? good() : bad());
    const QString kept = c.answers ? c.name : QStringLiteral("Plotter");
    ASSERT_NE(gSettings->printers.printer(kept), nullptr);
    EXPECT_EQ(gSettings->printers.printer(kept)->name, kept);
    EXPECT_EQ(gSettings->printers.names().size(), 2);
    EXPECT_TRUE(column(form.lvPrinters, 0).contains(kept));
    EXPECT_EQ(selectedNames(form.lvPrinters), QStringList{kept});
    EXPECT_EQ(user.boxes, c.answers ? QStringList() : QStringList{kCommFailure + "Could not add printer."});
  }
}

TEST_F(SettingsDialog, EditShowsEachSelectedPrinterInRowOrderAndCancelSkipsOnlyOne) {
  frmSettings form;
  for (const char* name : {"A", "B", "C"}) addPrinter(form, name, good());
  form.lvPrinters->clearSelection();
  form.lvPrinters->topLevelItem(2)->setSelected(true);
  form.lvPrinters->topLevelItem(0)->setSelected(true);
  QStringList seen;
  const auto record = [&seen](QDialog& dialog) {
    seen.append(dialog.findChild<QLineEdit*>("txtName")->text());
  };
  user.answerNext([&](QDialog& dialog) {
    record(dialog);
    clickIn(dialog, "cmdCancel");
  });
  user.answerNext([&](QDialog& dialog) {
    record(dialog);
    typePrinter("C2", good())(dialog);
  });
  form.cmdEdit->click();
  EXPECT_EQ(seen, (QStringList{"A", "C"}));
  EXPECT_EQ(column(form.lvPrinters, 0), (QStringList{"A", "B", "C2"}));
  select(form, {"A", "C2"});
  form.cmdDelete->click();
  EXPECT_EQ(gSettings->printers.names(), QStringList{"B"});
  EXPECT_EQ(column(form.lvPrinters, 0), QStringList{"B"});
}

TEST_F(SettingsDialog, CancelAfterAddingDropsThePrinterAgain) {
  ASSERT_TRUE(gSettings->printers.add("Kept", good()));
  gSettings->SaveToReg();
  frmSettings form;
  user.answerNext([&](QDialog& dialog) {
    addPrinter(form, "Added", good());
    clickIn(dialog, "cmdCancel");
  });
  EXPECT_EQ(form.exec(), QDialog::Rejected);
  EXPECT_TRUE(form.cancelled);
  EXPECT_EQ(gSettings->printers.names(), QStringList{"Kept"});
}

TEST_F(SettingsDialog, WithNobodyToAnswerItCountsAsCancelledUnshown) {
  setDialogAnswerer(nullptr);
  frmSettings form;
  EXPECT_EQ(form.exec(), QDialog::Rejected);
  EXPECT_TRUE(form.cancelled);
}

TEST_F(SettingsDialog, OkSavesAndClosingTheWindowCountsAsCancel) {
  frmSettings form;
  user.answerNext([&](QDialog& dialog) {
    addPrinter(form, "Plotter", good());
    clickIn(dialog, "cmdIOK");
  });
  EXPECT_EQ(form.exec(), QDialog::Accepted);
  EXPECT_FALSE(form.cancelled);
  user.answerNext([&](QDialog& dialog) {
    gSettings->printers.deletePrinter("Plotter");
    dialog.close();
  });
  form.exec();
  EXPECT_TRUE(form.cancelled);
  EXPECT_EQ(gSettings->printers.names(), QStringList{"Plotter"});
}

TEST_F(SettingsDialog, EachShowingShowsWhatTheSettingsHoldNow) {
  frmSettings form;
  const QString viewer = QLatin1Char('"') + makeProgram("viewer") + QStringLiteral("\" -F");
  gSettings->units.name = QStringLiteral("cm");
  gSettings->viewer.path = viewer;
  gSettings->ranges.enabled = QStringList{"ARCH"};
  ASSERT_TRUE(gSettings->printers.add("Plotter", good()));
  user.answerNext(click("cmdIOK"));
  form.exec();
  EXPECT_EQ(column(form.lvPrinters, 0), QStringList{"Plotter"});
  clsSettings stored;
  EXPECT_TRUE(stored.LoadFromReg());
  EXPECT_EQ(stored.units.name, QStringLiteral("cm"));
  EXPECT_EQ(stored.viewer.path, viewer);
  EXPECT_EQ(stored.ranges.enabled, QStringList{"ARCH"});
}

TEST_F(SettingsDialog, StoredUnitSelectsItsEntryOrElseTheSecond) {
  const QList<QPair<QString, QString>> cases = {
      {"  CM ", "cm"}, {"mm", "mm"}, {"inches", "Inches"}, {"furlong", "cm"}, {"", "cm"}};
  for (const auto& [stored, shown] : cases) {
    SCOPED_TRACE(stored.toStdString());
    gSettings->units.name = stored;
    frmSettings form;
    EXPECT_EQ(form.cboUnits->currentText(), shown);
  }
}

TEST_F(SettingsDialog, LeavingTheUnitBoxOrOkTakesItsText) {
  frmSettings form;
  form.cboUnits->setCurrentIndex(1);
  QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
  QCoreApplication::sendEvent(form.cboUnits, &leave);
  EXPECT_EQ(gSettings->units.name, QStringLiteral("cm"));
  user.answerNext([&](QDialog& dialog) {
    form.cboUnits->setCurrentIndex(2);
    clickIn(dialog, "cmdIOK");
  });
  form.exec();
  clsUnits stored;
  stored.LoadFromReg();
  EXPECT_EQ(stored.name, QStringLiteral("Inches"));
}

TEST_F(SettingsDialog, UncheckedRangesAreSavedAsNoneAndReloadAsAllFour) {
  frmSettings form;
  ASSERT_EQ(form.lvSizes->topLevelItemCount(), 4);
  form.lvSizes->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
  EXPECT_EQ(gSettings->ranges.enabled, (QStringList{"ISO", "ARCH", "Roll"}));
  for (int i = 0; i < 4; ++i) form.lvSizes->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
  EXPECT_TRUE(gSettings->ranges.enabled.isEmpty());
  user.answerNext(click("cmdIOK"));
  form.exec();
  RegObj reg;
  reg.setKey(gRegRoot + "Ranges");
  EXPECT_TRUE(reg.AllValues().isEmpty());
  clsSizes reloaded;
  reloaded.LoadFromReg();
  EXPECT_EQ(reloaded.enabled, (QStringList{"ISO", "ANSI", "ARCH", "Roll"}));
}

TEST_F(SettingsDialog, ViewerBoxTakesOnlyExistingProgramsQuotedWhenBare) {
  const QString program = makeProgram("show");
  const QString stored = QLatin1Char('"') + makeProgram("stored") + QStringLiteral("\" -F");
  gSettings->viewer.path = stored;
  gSettings->SaveToReg();
  frmSettings form;
  const auto leaveWith = [&](const QString& text) {
    form.txtViewer->setText(text);
    QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(form.txtViewer, &leave);
  };
  leaveWith(QStringLiteral("/no/such/program -x"));
  EXPECT_EQ(form.txtViewer->text(), stored);
  leaveWith(program);
  EXPECT_EQ(gSettings->viewer.path, QLatin1Char('"') + program + QLatin1Char('"'));
  EXPECT_EQ(form.txtViewer->text(), gSettings->viewer.path);
  // Esc while the focus is still in the box: the dialog hiding must not apply it.
  user.answerNext([&](QDialog& dialog) {
    QApplication::setActiveWindow(&dialog);
    form.txtViewer->setFocus();
    form.txtViewer->setText(program);
    EXPECT_TRUE(form.txtViewer->hasFocus());
    QTest::keyClick(form.txtViewer, Qt::Key_Escape);
  });
  form.exec();
  EXPECT_EQ(gSettings->viewer.path, stored);
}

TEST_F(SettingsDialog, BrowsedViewerKeepsTheArgumentsAndOkTakesIt) {
  const QString program = makeProgram("picked");
  gSettings->viewer.path = QStringLiteral("\"/old/viewer\" -F");
  frmSettings form;
  form.cmdViewerBrowse->click();
  EXPECT_EQ(form.txtViewer->text(), QStringLiteral("\"/old/viewer\" -F"));
  ASSERT_EQ(user.fileRequests.size(), 1);
  EXPECT_EQ(user.fileRequests[0].title, QStringLiteral("Select Viewer"));
  EXPECT_EQ(user.fileRequests[0].fileName, QStringLiteral("/old/viewer"));
  EXPECT_EQ(user.fileRequests[0].filter, QStringLiteral("All Programs|*"));
  user.chooseFiles({program});
  user.answerNext([&](QDialog& dialog) {
    form.cmdViewerBrowse->click();
    clickIn(dialog, "cmdIOK");
  });
  form.exec();
  EXPECT_EQ(gSettings->viewer.path, QStringLiteral("\"%1\" -F").arg(program));
}

TEST_F(SettingsDialog, CaptionsFollowTheLanguage) {
  frmSettings form;
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Settings"));
  EXPECT_EQ(form.cmdNew->text(), QStringLiteral("&New"));
  EXPECT_EQ(form.txtUnits->text(), QStringLiteral("Units:"));
  EXPECT_EQ(form.lvPrinters->headerItem()->text(3), QStringLiteral("Version"));
  MLRuntime::RuntimeSupport().SetLanguage(1036, QStringLiteral("Invalid Language Index"));
  EXPECT_EQ(form.windowTitle(), QString::fromUtf8("Paramètres"));
  EXPECT_EQ(form.cmdCancel->text(), QStringLiteral("&Annuler"));
  EXPECT_EQ(form.lvPrinters->headerItem()->text(1), QStringLiteral("Adresse"));
  frmSettings french;
  EXPECT_EQ(french.windowTitle(), QString::fromUtf8("Paramètres"));
}
