#include <QClipboard>
#include <QGuiApplication>

#include "WizardTestBase.h"

namespace {

class COpenSitesPageTest : public WizardTestBase {
 protected:
  void SetUp() override {
    WizardTestBase::SetUp();
    config_.Options = "h";
    add("first", PrerequisiteKind::WebSite).location = "https://example.invalid/first";
    add("second", PrerequisiteKind::WebSite).location = "https://example.invalid/second";
  }
  void toOpenSites() {
    open();
    click(QWizard::NextButton);
    ASSERT_EQ(wizard_->currentId(), CPrereqWizard::OpenSitesPage);
  }
  QTreeWidget* rows() const { return list("1007"); }
};

TEST_F(COpenSitesPageTest, ListsAndOpensEverySiteAtOnce) {
  toOpenSites();
  EXPECT_EQ(column(rows(), 0), QStringList({"first", "second"}));
  // The openers run side by side: either may record first.
  QStringList opened = openedUrls(2);
  opened.sort();
  EXPECT_EQ(opened, QStringList({"https://example.invalid/first", "https://example.invalid/second"}));
  EXPECT_FALSE(button(QWizard::NextButton)->isEnabled());
  EXPECT_TRUE(button(QWizard::FinishButton)->isEnabled());
  EXPECT_EQ(text("1029"), "Press the Finish button when you are done and ready to install Vondir Submit. ");
}

TEST_F(COpenSitesPageTest, WithAnInstallChosenNextLeadsOn) {
  add("setup");
  toOpenSites();
  EXPECT_TRUE(button(QWizard::NextButton)->isEnabled());
  EXPECT_FALSE(button(QWizard::FinishButton)->isEnabled());
  EXPECT_EQ(text("1029"), "Press the Next button to install the prerequisites.");
}

TEST_F(COpenSitesPageTest, OpenInBrowserAndCopyUrlActOnTheSelectedRow) {
  toOpenSites();
  openedUrls(2);
  rows()->setCurrentItem(rows()->topLevelItem(1));
  wizard_->findChild<QAction*>("32773")->trigger();
  EXPECT_EQ(openedUrls(3).value(2), "https://example.invalid/second");
  emit rows()->itemDoubleClicked(rows()->topLevelItem(0), 0);
  EXPECT_EQ(openedUrls(4).value(3), "https://example.invalid/first");
  rows()->setCurrentItem(rows()->topLevelItem(0));
  wizard_->findChild<QAction*>("32775")->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "https://example.invalid/first");
}

TEST_F(COpenSitesPageTest, FinishingWhileSomethingIsMissingShowsTheMessageAndStays) {
  toOpenSites();
  makePresent("first");
  testing::internal::CaptureStderr();
  click(QWizard::FinishButton);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Some required prerequisites are still missing."),
            std::string::npos);
  EXPECT_TRUE(wizard_->isVisible());
  EXPECT_TRUE(wizard_->cancelled());
  EXPECT_EQ(wizard_->currentId(), CPrereqWizard::PrerequisitesPage);
  EXPECT_EQ(column(list("1002"), 2), QStringList({"Skip", "Open Site"})) << "filled again after detection";
}

TEST_F(COpenSitesPageTest, FinishingWithEverythingPresentEndsTheWizard) {
  toOpenSites();
  makePresent("first");
  makePresent("second");
  click(QWizard::FinishButton);
  EXPECT_FALSE(wizard_->isVisible());
  EXPECT_FALSE(wizard_->cancelled());
}

TEST_F(COpenSitesPageTest, WithNothingToInstallReturnPressesFinish) {
  toOpenSites();
  makePresent("first");
  makePresent("second");
  rows()->setFocus();
  pressReturn();
  EXPECT_FALSE(wizard_->isVisible());
  EXPECT_FALSE(wizard_->cancelled());
}

}  // namespace
