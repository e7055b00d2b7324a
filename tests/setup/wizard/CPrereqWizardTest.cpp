#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>

#include "CPrereqWizardPage.h"
#include "FolderBrowser.h"
#include "WizardTestBase.h"

namespace {

class CPrereqWizardTest : public WizardTestBase {
 protected:
  QTreeWidget* rows() const { return list("1002"); }
  void setCheck(int row, bool checked) const {
    rows()->topLevelItem(row)->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    QCoreApplication::processEvents();
  }
  bool isChecked(int row) const { return rows()->topLevelItem(row)->checkState(0) == Qt::Checked; }
  void toPrerequisites() {
    open();
    click(QWizard::NextButton);
  }
};

TEST_F(CPrereqWizardTest, OpensOnTheInformationPageWithBackDisabled) {
  add("vb");
  open();
  EXPECT_EQ(wizard_->currentId(), CPrereqWizard::InformationPage);
  EXPECT_EQ(wizard_->windowTitle(), "Vondir Submit Setup");
  EXPECT_FALSE(button(QWizard::BackButton)->isEnabled());
  EXPECT_TRUE(button(QWizard::NextButton)->isEnabled());
  EXPECT_TRUE(button(QWizard::FinishButton)->isEnabled()) << "nothing mandatory is pending";
  auto* text = child<QTextBrowser>("1020");
  EXPECT_TRUE(text->isReadOnly());
  EXPECT_TRUE(text->toPlainText().contains("prerequisites"));
  QTextCursor end = text->textCursor();
  end.movePosition(QTextCursor::End);
  text->setTextCursor(end);
  QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
  QApplication::sendEvent(text, &focusIn);
  EXPECT_EQ(text->textCursor().position(), 0);
}

TEST_F(CPrereqWizardTest, FinishIsDisabledOnTheInformationPageWhileMandatoryPrerequisitesArePending) {
  add("vb", PrerequisiteKind::SetupFile, "m");
  open();
  EXPECT_FALSE(button(QWizard::FinishButton)->isEnabled());
}

TEST_F(CPrereqWizardTest, OptionHLeavesOutTheInformationPage) {
  config_.Options = "h";
  add("vb");
  open();
  EXPECT_EQ(wizard_->currentId(), CPrereqWizard::PrerequisitesPage);
  EXPECT_FALSE(wizard_->pageIds().contains(CPrereqWizard::InformationPage));
  EXPECT_FALSE(button(QWizard::BackButton)->isEnabled());
  EXPECT_TRUE(button(QWizard::NextButton)->isEnabled());
}

TEST_F(CPrereqWizardTest, ListsEveryPrerequisiteButThoseOfTheOtherSystemFamilyCheckedByState) {
  add("missing");
  add("present");
  add("other").targetOS = 0;
  add("site", PrerequisiteKind::WebSite);
  add("download", PrerequisiteKind::Download);
  makePresent("present");
  toPrerequisites();
  EXPECT_EQ(column(rows(), 0), QStringList({"missing", "present", "site", "download"}));
  EXPECT_EQ(column(rows(), 2), QStringList({"Install", "Skip", "Open Site", "Download"}));
  EXPECT_TRUE(isChecked(0));
  EXPECT_FALSE(isChecked(1));
  EXPECT_TRUE(isChecked(2));
  EXPECT_TRUE(isChecked(3));
}

TEST_F(CPrereqWizardTest, VersionTextsForEveryRequirement) {
  add("any").verMin.clear();
  add("max").verMin.clear();
  config_.prerequisites.last().verMax = "2.0";
  add("min");
  add("between").verMax = "3.5";
  makePresent("min", 2);
  makePresent("between", 0);
  toPrerequisites();
  EXPECT_EQ(column(rows(), 1),
            QStringList({"Required: any. Found: nothing.", "Required: 2.0 or lower. Found: nothing.",
                         "Required: 1.0 or higher. Found: 2.0.0.0.",
                         "Required: between 1.0 and 3.5. Found: 0.0.0.0."}));
}

TEST_F(CPrereqWizardTest, AMissingMandatoryPrerequisiteCannotBeUncheckedAPresentOneCan) {
  add("missing", PrerequisiteKind::SetupFile, "m");
  add("present", PrerequisiteKind::SetupFile, "m");
  makePresent("present");
  toPrerequisites();
  testing::internal::CaptureStderr();
  setCheck(0, false);
  EXPECT_TRUE(testing::internal::GetCapturedStderr().find(
                  "This prerequisite is mandatory. It must be installed and can not be unchecked.") !=
              std::string::npos);
  EXPECT_TRUE(isChecked(0));
  EXPECT_EQ(set_->chosenStates[0], PrerequisiteState::Install);

  setCheck(1, true);
  EXPECT_EQ(set_->chosenStates[1], PrerequisiteState::Install) << "forced: a setup file is installed again";
  setCheck(1, false);
  EXPECT_FALSE(isChecked(1));
  EXPECT_EQ(set_->chosenStates[1], PrerequisiteState::Unchecked);
}

TEST_F(CPrereqWizardTest, TheNextStepFollowsTheChoices) {
  add("setup");
  add("site", PrerequisiteKind::WebSite);
  add("download", PrerequisiteKind::Download);
  toPrerequisites();
  struct Case {
    bool setup, site, download;
    const char* text;
    bool browse;
  };
  const Case cases[] = {
      {true, true, true, "Press the Next button to download the prerequisites.", true},
      {true, true, false, "Press the Next button to open the prerequisites' web sites.", false},
      {true, false, false, "Press the Next button to install the prerequisites.", false},
      {false, false, false, "Press the Finish button to install the main application.", false},
  };
  for (const Case& c : cases) {
    setCheck(0, c.setup);
    setCheck(1, c.site);
    setCheck(2, c.download);
    EXPECT_EQ(text("1019"), c.text);
    const bool nothingLeft = !c.setup && !c.site && !c.download;
    EXPECT_EQ(button(QWizard::NextButton)->isEnabled(), !nothingLeft) << c.text;
    EXPECT_TRUE(button(QWizard::FinishButton)->isEnabled()) << c.text;
    EXPECT_TRUE(button(QWizard::BackButton)->isEnabled());
    EXPECT_EQ(child<QPushButton>("1004")->isEnabled(), c.browse) << c.text;
  }
}

TEST_F(CPrereqWizardTest, NextGoesToThePageOfTheNextStepAndBackReturns) {
  add("setup");
  add("site", PrerequisiteKind::WebSite);
  toPrerequisites();
  setCheck(0, false);
  click(QWizard::NextButton);
  EXPECT_EQ(wizard_->currentId(), CPrereqWizard::OpenSitesPage);
  click(QWizard::BackButton);
  EXPECT_EQ(wizard_->currentId(), CPrereqWizard::PrerequisitesPage);
  setCheck(0, true);
  setCheck(1, false);
  click(QWizard::NextButton);
  EXPECT_EQ(wizard_->currentId(), CPrereqWizard::InstallPage);
}

TEST_F(CPrereqWizardTest, EveryRowUncheckedOffersFinishAndFinishingEndsTheCancelledState) {
  add("optional");
  toPrerequisites();
  EXPECT_TRUE(wizard_->cancelled());
  setCheck(0, false);
  EXPECT_FALSE(button(QWizard::NextButton)->isEnabled());
  click(QWizard::FinishButton);
  EXPECT_FALSE(wizard_->isVisible());
  EXPECT_FALSE(wizard_->cancelled());
  EXPECT_FALSE(set_->HasPendingWork());
}

TEST_F(CPrereqWizardTest, CancellingLeavesTheWizardCancelled) {
  add("optional");
  toPrerequisites();
  button(QWizard::CancelButton)->click();
  EXPECT_FALSE(wizard_->isVisible());
  EXPECT_TRUE(wizard_->cancelled());
}

TEST_F(CPrereqWizardTest, DoubleClickAndTheMenuToggleTheCheck) {
  add("setup");
  toPrerequisites();
  QTreeWidgetItem* row = rows()->topLevelItem(0);
  emit rows()->itemDoubleClicked(row, 0);
  EXPECT_FALSE(isChecked(0));
  rows()->setCurrentItem(row);
  auto* install = wizard_->findChild<QAction*>("32778");
  auto* skip = wizard_->findChild<QAction*>("32779");
  EXPECT_EQ(install->text(), "Install");
  install->trigger();
  QCoreApplication::processEvents();
  EXPECT_TRUE(isChecked(0));
  EXPECT_EQ(column(rows(), 2), QStringList{"Install"});
  skip->trigger();
  QCoreApplication::processEvents();
  EXPECT_EQ(column(rows(), 2), QStringList{"Skip"});
}

TEST_F(CPrereqWizardTest, BrowseSetsTheDownloadFolderAndACancelledBrowseKeepsIt) {
  add("download", PrerequisiteKind::Download);
  toPrerequisites();
  auto* folder = child<QLineEdit>("1003");
  EXPECT_EQ(folder->text(), downloads_ + "/");
  const QString chosen = TestEnv::freshDir("chosen");
  QString asked;
  FolderBrowser::setAnswerForTests([&](QWidget*, const QString& title) {
    asked = title;
    return chosen;
  });
  child<QPushButton>("1004")->click();
  EXPECT_EQ(asked, "Select the download folder.");
  EXPECT_EQ(folder->text(), chosen + "/");
  EXPECT_EQ(set_->queue().downloadFolder(), chosen + "/");
  FolderBrowser::setAnswerForTests(nullptr);
  child<QPushButton>("1004")->click();
  EXPECT_EQ(folder->text(), chosen + "/") << "headless: the browser counts as cancelled";
}

TEST_F(CPrereqWizardTest, InteriorPagesKeepTheirInsetWhenTheSheetIsResized) {
  add("setup");
  toPrerequisites();
  for (const QSize size : {QSize(640, 480), QSize(900, 700)}) {
    wizard_->resize(size);
    QCoreApplication::processEvents();
    const QWidget* content = rows();
    const QPoint topLeft = content->mapTo(wizard_.get(), QPoint(0, 0));
    EXPECT_EQ(topLeft, QPoint(CPrereqWizard::kInset, CPrereqWizard::kInset)) << size.width();
    EXPECT_EQ(topLeft.x() + content->width(), wizard_->width() - CPrereqWizard::kInset) << size.width();
  }
}

// Return presses Next on every page that leads on, whatever has the focus;
// Finish is never taken there.
TEST_F(CPrereqWizardTest, ReturnPressesNextWhereThePageLeadsOn) {
  add("setup");
  add("site", PrerequisiteKind::WebSite);
  open();
  child<QTextBrowser>("1020")->setFocus();
  pressReturn();
  ASSERT_EQ(wizard_->currentId(), CPrereqWizard::PrerequisitesPage);
  rows()->setFocus();
  pressReturn();
  ASSERT_EQ(wizard_->currentId(), CPrereqWizard::OpenSitesPage);
  pressReturn();
  ASSERT_EQ(wizard_->currentId(), CPrereqWizard::InstallPage);
  ASSERT_TRUE(QTest::qWaitFor([this] { return button(QWizard::BackButton)->isEnabled(); }, 20000));
  pressReturn();
  EXPECT_EQ(wizard_->currentId(), CPrereqWizard::InstallPage) << "a failed install has no next step";
  EXPECT_TRUE(wizard_->isVisible());
  EXPECT_TRUE(wizard_->cancelled());
}

TEST_F(CPrereqWizardTest, ReturnPressesFinishOnlyWhenNothingIsLeftToDo) {
  add("optional");
  toPrerequisites();
  rows()->setFocus();
  setCheck(0, false);
  setCheck(0, true);
  pressReturn();
  EXPECT_EQ(wizard_->currentId(), CPrereqWizard::InstallPage) << "checked again, it leads on";
  ASSERT_TRUE(QTest::qWaitFor([this] { return button(QWizard::BackButton)->isEnabled(); }, 20000));
  click(QWizard::BackButton);
  ASSERT_EQ(wizard_->currentId(), CPrereqWizard::PrerequisitesPage);
  setCheck(0, false);
  pressReturn();
  EXPECT_FALSE(wizard_->isVisible());
  EXPECT_FALSE(wizard_->cancelled());
}

// The contents of the first page fill the area inside the sheet's inset at
// once, not only after the user resized the sheet.
TEST_F(CPrereqWizardTest, TheInformationTextFillsItsPageAtFirstShow) {
  add("setup");
  open();
  QCoreApplication::processEvents();
  const QWidget* text = child<QTextBrowser>("1020");
  const QRect area(text->mapTo(wizard_.get(), QPoint(0, 0)), text->size());
  const int lineTop = button(QWizard::NextButton)->mapTo(wizard_.get(), QPoint(0, 0)).y();
  EXPECT_EQ(area.topLeft(), QPoint(CPrereqWizard::kInset, CPrereqWizard::kInset));
  EXPECT_EQ(area.right() + 1, wizard_->width() - CPrereqWizard::kInset);
  EXPECT_GT(area.bottom(), lineTop - 3 * CPrereqWizard::kInset) << "down to the line above the buttons";
}

// The sheet opens at a size that fits every page and keeps it from page to page.
TEST_F(CPrereqWizardTest, TheSheetKeepsOneSizeThatFitsEveryPage) {
  add("setup");
  add("site", PrerequisiteKind::WebSite);
  open();
  QCoreApplication::processEvents();
  const QSize opened = wizard_->size();
  QList<int> seen;
  for (int step = 0; step < 4; ++step) {
    if (step > 0) click(QWizard::NextButton);
    QCoreApplication::processEvents();
    seen << wizard_->currentId();
    EXPECT_EQ(wizard_->size(), opened) << "on page " << wizard_->currentId();
    const QWidget* current = wizard_->currentPage();
    for (int id : wizard_->pageIds()) {
      const QSize wanted = static_cast<CPrereqWizardPage*>(wizard_->page(id))->ownSizeHint();
      EXPECT_GE(current->contentsRect().width(), wanted.width()) << "page " << id;
      EXPECT_GE(current->contentsRect().height(), wanted.height()) << "page " << id;
    }
  }
  EXPECT_EQ(seen, QList<int>({CPrereqWizard::InformationPage, CPrereqWizard::PrerequisitesPage,
                              CPrereqWizard::OpenSitesPage, CPrereqWizard::InstallPage}));
}

// No header is cut, and short contents such as the action are shown whole.
TEST_F(CPrereqWizardTest, ColumnsAreAsWideAsTheirHeadersAndRows) {
  add("Runtime Library Package");
  add("site", PrerequisiteKind::WebSite);
  toPrerequisites();
  QCoreApplication::processEvents();
  const QTreeWidget* list = rows();
  const QFontMetrics metrics(list->font());
  for (int c = 0; c < list->columnCount(); ++c)
    EXPECT_GE(list->columnWidth(c), metrics.horizontalAdvance(list->headerItem()->text(c))) << c;
  for (int row = 0; row < list->topLevelItemCount(); ++row) {
    EXPECT_GE(list->columnWidth(0), metrics.horizontalAdvance(list->topLevelItem(row)->text(0))) << row;
    EXPECT_GE(list->columnWidth(2), metrics.horizontalAdvance(list->topLevelItem(row)->text(2))) << row;
  }
}

TEST_F(CPrereqWizardTest, OffscreenTheWizardCountsAsCancelledUnlessATestDrivesIt) {
  add("optional");
  config_.DetectAll();
  set_ = std::make_unique<CPrerequisiteSet>(config_, archive_);
  CPrereqWizard wizard(*set_, QString());
  wizard.run(nullptr);
  EXPECT_TRUE(wizard.cancelled());

  CPrereqWizard::allowHeadlessRun(true);
  QTimer::singleShot(0, &wizard, [&] { wizard.button(QWizard::FinishButton)->click(); });
  wizard.run(nullptr);
  CPrereqWizard::allowHeadlessRun(false);
  EXPECT_FALSE(wizard.cancelled());
}

}  // namespace
