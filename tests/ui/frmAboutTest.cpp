#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>

#include "MLRuntime.h"
#include "MessageBox.h"
#include "MlStringModule.h"
#include "frmAbout.h"

namespace {

class AboutBox : public ::testing::Test {
 protected:
  void SetUp() override { SetLanguage(kLanguageEnglish, QStringLiteral("English")); }
};

}  // namespace

TEST_F(AboutBox, CaptionIsAboutTwoBlanksAndTheTitle) {
  frmAbout form;
  EXPECT_EQ(form.windowTitle(), QStringLiteral("About  ") + QApplication::applicationName());
  EXPECT_EQ(form.lblName->text(), QStringLiteral("Pelva Skyplain Vondir Submit"));
  EXPECT_EQ(form.Label2->text(), QStringLiteral("Copyright (C) Pelva. All rights reserved."));
  EXPECT_TRUE(form.lblWarning->text().startsWith(QStringLiteral("Warning: ")));
  EXPECT_EQ(form.lblName->font().family(), QStringLiteral("Arial"));
}

TEST_F(AboutBox, VersionIsMajorMinorRevisionOfTheProgram) {
  frmAbout form;
  EXPECT_EQ(frmAbout::programVersion(), QStringLiteral(KVT_EXPECTED_VERSION));
  EXPECT_EQ(form.lblVersion->text(), QStringLiteral("Version " KVT_EXPECTED_VERSION));
}

TEST_F(AboutBox, ALanguageChangeKeepsTheTitleAndTheVersionNumber) {
  frmAbout form;
  MLRuntime::RuntimeSupport().SetLanguage(1036, QStringLiteral("Invalid Language Index"));
  EXPECT_EQ(form.windowTitle(), QString::fromUtf8("À propos de  ") + QApplication::applicationName());
  EXPECT_EQ(form.lblVersion->text(), QStringLiteral("Version " KVT_EXPECTED_VERSION));
  EXPECT_EQ(form.Label2->text(), QString::fromUtf8("Copyright (C) Pelva. Tous droits réservés."));
  EXPECT_TRUE(form.lblWarning->text().startsWith(QStringLiteral("Avertissement")));
  frmAbout french;
  EXPECT_EQ(french.windowTitle(), form.windowTitle());
}

TEST_F(AboutBox, WithNobodyToSeeItIsNotShown) {
  frmAbout form;
  EXPECT_EQ(form.exec(), QDialog::Rejected);
}
