#include <QCheckBox>

#include "WizardTestBase.h"

namespace {

// Prerequisites already downloaded: scripts in the download folder.
class CInstallPageTest : public WizardTestBase {
 protected:
  void SetUp() override {
    WizardTestBase::SetUp();
    config_.Options = "h";
    ASSERT_TRUE(
        VersionBlockWriter::writeFile(TestEnv::sandbox() + "/ready.dll",
                                      VersionBlockWriter::inFile(VersionBlockWriter::block(1, 0, 0, 0))));
  }

  // A downloaded setup script that puts its prerequisite in place, or that cannot start.
  void addScript(const QString& name, bool startable = true) {
    const QString shell = startable ? "#!/bin/sh\n" : "#!/nonexistent/shell\n";
    const QByteArray script =
        (shell + "cp '" + TestEnv::sandbox() + "/ready.dll' '" + system_ + "/" + name + ".dll'\n").toUtf8();
    PrerequisiteInfo& info = add(name, PrerequisiteKind::Download);
    info.location = "http://127.0.0.1:9/" + name + ".sh";
    info.exactSize = script.size();
    const QString path = downloads_ + "/" + name + ".sh";
    VersionBlockWriter::writeFile(path, script);
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
  }

  void toInstall(bool automaticFinish) {
    open();
    click(QWizard::NextButton);
    ASSERT_EQ(wizard_->currentId(), CPrereqWizard::InstallPage);
    child<QCheckBox>("1025")->setChecked(automaticFinish);
  }
  bool waitForRun() const {
    return QTest::qWaitFor([this] { return !child<QCheckBox>("1025")->isEnabled() || !wizard_->isVisible(); },
                           20000);
  }
  QTreeWidget* rows() const { return wizard_->findChild<QTreeWidget*>("1024"); }
};

TEST_F(CInstallPageTest, ScriptsThatRunAndThatCannotStartGiveInstalledAndError) {
  addScript("good");
  addScript("broken", false);
  toInstall(false);
  EXPECT_FALSE(button(QWizard::BackButton)->isEnabled());
  EXPECT_FALSE(button(QWizard::FinishButton)->isEnabled());
  ASSERT_TRUE(waitForRun());
  const QStringList status = column(rows(), 1);
  EXPECT_EQ(status.value(0), "Installed");
  EXPECT_TRUE(status.value(1).startsWith("Error: ")) << status.value(1).toStdString();
  EXPECT_EQ(text("1012"),
            "Some prerequisites could not be installed. Press Back to return to the prerequisites list.");
  EXPECT_TRUE(button(QWizard::BackButton)->isEnabled());
  EXPECT_FALSE(button(QWizard::FinishButton)->isEnabled());
  click(QWizard::BackButton);
  EXPECT_EQ(wizard_->currentId(), CPrereqWizard::PrerequisitesPage);
}

TEST_F(CInstallPageTest, AllInstalledOffersFinish) {
  addScript("good");
  toInstall(false);
  ASSERT_TRUE(waitForRun());
  EXPECT_EQ(
      text("1012"),
      "All prerequisites have been installed successfully. Press Finish to install the main application.");
  EXPECT_TRUE(button(QWizard::FinishButton)->isEnabled());
  EXPECT_TRUE(wizard_->isVisible());
  EXPECT_FALSE(child<QCheckBox>("1025")->isChecked());
  pressReturn();
  EXPECT_FALSE(wizard_->isVisible()) << "Return presses Finish";
  EXPECT_FALSE(wizard_->cancelled());
}

TEST_F(CInstallPageTest, AllInstalledWithAutomaticFinishFinishesByItself) {
  addScript("good");
  addScript("other");
  toInstall(true);
  ASSERT_TRUE(QTest::qWaitFor([this] { return !wizard_->isVisible(); }, 20000));
  EXPECT_FALSE(wizard_->cancelled());
  EXPECT_EQ(column(rows(), 1), QStringList({"Installed", "Installed"}));
}

TEST_F(CInstallPageTest, InstalledButStillMissingSaysSo) {
  addScript("good");
  config_.prerequisites.last().verMin = "2.0";
  toInstall(true);
  ASSERT_TRUE(waitForRun());
  EXPECT_EQ(text("1012"),
            "After launching all packages some required prerequisites are still missing. Press Back to "
            "return to the "
            "prerequisites list.");
  EXPECT_FALSE(button(QWizard::FinishButton)->isEnabled());
  EXPECT_TRUE(wizard_->isVisible());
}

}  // namespace
