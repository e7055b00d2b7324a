#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "MLRuntime.h"
#include "MessageBox.h"
#include "MlStringModule.h"
#include "UserStandIn.h"
#include "frmEditPrinter.h"

namespace {

class PrinterDetails : public ::testing::Test {
 protected:
  void SetUp() override { SetLanguage(kLanguageEnglish, QStringLiteral("English")); }
  UserStandIn user;
};

}  // namespace

TEST_F(PrinterDetails, WhatCannotNameAPrinterIsRefusedAndKeptInTheBoxes) {
  struct Case {
    QString name, address, message;
  };
  const QList<Case> cases = {
      {"", "10.0.0.1", "Please type the printer's name."},
      {"   ", "10.0.0.1", "Please type the printer's name."},
      {"Big\\Plotter", "10.0.0.1", "A printer name may not hold \"\\\" or control characters."},
      {"Big\tPlotter", "10.0.0.1", "A printer name may not hold \"\\\" or control characters."},
      {QStringLiteral("Big") + QChar(0x7F), "10.0.0.1",
       "A printer name may not hold \"\\\" or control characters."},
      {"Taken", "10.0.0.1", "A printer of this name is already configured."},
      {"Plotter", "", "Please type the printer's address."},
      {"Plotter", "  ", "Please type the printer's address."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name.toStdString() + "|" + c.address.toStdString());
    user.boxes.clear();
    frmEditPrinter form;
    form.takenNames = QStringList{"TAKEN"};
    bool stayedOpen = false;
    user.answerNext([&](QDialog& dialog) {
      typePrinter(c.name, c.address)(dialog);
      stayedOpen = dialog.isVisible();
      EXPECT_EQ(form.txtName->text(), c.name);
      EXPECT_EQ(form.txtAddress->text(), c.address);
    });
    form.exec();
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(form.canceled);
    EXPECT_EQ(user.boxes, QStringList{"Printer Details: " + c.message});
  }
}

TEST_F(PrinterDetails, OnlyOkWithANameAndAnAddressIsNotCanceled) {
  const QList<UserStandIn::Answer> answers = {
      typePrinter(QString::fromUtf8("Plotter ÉÀ 2"), "plotter.local:9100"), click("cmdCancel"),
      [](QDialog& dialog) { dialog.close(); }};
  for (const auto& answer : answers) {
    frmEditPrinter form;
    user.answerNext(answer);
    form.exec();
    EXPECT_EQ(form.canceled, &answer != &answers.first());
  }
  EXPECT_TRUE(user.boxes.isEmpty());
  setDialogAnswerer(nullptr);
  frmEditPrinter unanswered;
  EXPECT_EQ(unanswered.exec(), QDialog::Rejected);
  EXPECT_TRUE(unanswered.canceled);
}

TEST_F(PrinterDetails, CaptionsFollowTheLanguage) {
  frmEditPrinter form;
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Printer Details"));
  EXPECT_EQ(form.lblName->text(), QStringLiteral("Name:"));
  EXPECT_EQ(form.lblAddress->text(), QStringLiteral("Address:"));
  EXPECT_EQ(form.cmdIOK->text(), QStringLiteral("&OK"));
  MLRuntime::RuntimeSupport().SetLanguage(1031, QStringLiteral("Invalid Language Index"));
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Druckerdetails"));
  EXPECT_EQ(form.cmdCancel->text(), QStringLiteral("&Abbrechen"));
  EXPECT_EQ(form.lblAddress->text(), QStringLiteral("Adresse:"));
}
