#include <QCheckBox>
#include <QStyle>

#include "MessageBox.h"
#include "RefusingPort.h"
#include "SetupTexts.h"
#include "WizardTestBase.h"

namespace {

// Text `id` of language `code` (the page's own text() reads a label).
QString says(const QString& code, int id, const QStringList& values = {}) {
  return SetupTexts::text(code, id, values);
}

constexpr int kWaitMs = 20000;

// True when the row's cell is high enough for its text wrapped at the column's width.
bool showsWhole(const QTreeWidget* list, int row, int column) {
  const QTreeWidgetItem* item = list->topLevelItem(row);
  const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
  const QRect needed = list->fontMetrics().boundingRect(
      QRect(0, 0, list->columnWidth(column) - 2 * margin, 10000), Qt::TextWordWrap, item->text(column));
  return list->visualItemRect(item).height() >= needed.height();
}

// What a failing prerequisite shows in each language: in its row, its tooltip,
// the box that follows and, without any window, on standard error.
class FailureTextsTest : public WizardTestBase {
 protected:
  void SetUp() override {
    WizardTestBase::SetUp();
    config_.Options = "h";
    setMsgBoxAnswerer([this](const QString& text, int, const QString& title) {
      boxes_ << title + ": " + text;
      return MsgBoxResult::Ok;
    });
  }
  void TearDown() override {
    setMsgBoxAnswerer(nullptr);
    WizardTestBase::TearDown();
  }

  // A download prerequisite at an address that refuses the connection.
  void addRefusedDownload() {
    PrerequisiteInfo& info = add("vb", PrerequisiteKind::Download);
    info.location = QStringLiteral("http://127.0.0.1:%1/vb.exe").arg(refusing_.port());
    info.exactSize = 10;
  }

  QTreeWidgetItem* row(const char* list) const {
    return wizard_->findChild<QTreeWidget*>(list)->topLevelItem(0);
  }

  QStringList boxes_;
  RefusingPort refusing_;
};

TEST_F(FailureTextsTest, ARefusedDownloadIsToldInEveryLanguage) {
  addRefusedDownload();
  for (const QString& code : SetupTexts::kLanguages) {
    const SetupTexts::Language language(code);
    boxes_.clear();
    wizard_.reset();
    open();
    click(QWizard::NextButton);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !boxes_.isEmpty(); }, kWaitMs)) << code.toStdString();
    const QString shown = says(code, 215, {says(code, 250)});
    EXPECT_EQ(row("1007")->text(2), shown) << code.toStdString();
    EXPECT_EQ(row("1007")->toolTip(2), shown) << code.toStdString();
    EXPECT_TRUE(showsWhole(wizard_->findChild<QTreeWidget*>("1007"), 0, 2)) << code.toStdString();
    EXPECT_EQ(boxes_, QStringList(says(code, 224) + ": " + says(code, 183))) << code.toStdString();
  }
}

TEST_F(FailureTextsTest, AQuietPassTellsARefusedDownloadInEveryLanguage) {
  addRefusedDownload();
  config_.DetectAll();
  for (const QString& code : SetupTexts::kLanguages) {
    const SetupTexts::Language language(code);
    CPrerequisiteSet set(config_, archive_);
    testing::internal::CaptureStderr();
    set.RunDownloadPass(nullptr);
    EXPECT_EQ(QString::fromStdString(testing::internal::GetCapturedStderr()),
              says(code, 274, {says(code, 199, {"vb"}), says(code, 215, {says(code, 250)})}) + "\n")
        << code.toStdString();
  }
}

// A prerequisite whose program cannot be started names the program: its own
// when it is missing, the installer when that is what is missing.
TEST_F(FailureTextsTest, AnInstallThatCannotStartNamesTheProgramInEveryLanguage) {
  PrerequisiteInfo& missing = add("vb");
  missing.location = "vbrun.exe";
  PrerequisiteInfo& package = add("msi", PrerequisiteKind::Download);
  package.location = "http://127.0.0.1:9/msi.msi";
  package.exactSize = 3;
  TestEnv::writeFile(downloads_ + "/msi.msi", "msi");
  for (const QString& code : SetupTexts::kLanguages) {
    const SetupTexts::Language language(code);
    wizard_.reset();
    open();
    click(QWizard::NextButton);
    ASSERT_EQ(wizard_->currentId(), CPrereqWizard::InstallPage) << code.toStdString();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !child<QCheckBox>("1025")->isEnabled(); }, kWaitMs));
    const QTreeWidget* rows = wizard_->findChild<QTreeWidget*>("1024");
    EXPECT_EQ(rows->topLevelItem(0)->text(1),
              says(code, 176, {says(code, 223, {archive_.extractionFolder() + "vbrun.exe"})}))
        << code.toStdString();
    EXPECT_EQ(rows->topLevelItem(1)->text(1), says(code, 176, {says(code, 223, {system_ + "/msiexec.exe"})}))
        << code.toStdString();
    EXPECT_TRUE(showsWhole(rows, 0, 1) && showsWhole(rows, 1, 1)) << code.toStdString();
    EXPECT_EQ(text("1012"), says(code, 178));
  }
}

}  // namespace
