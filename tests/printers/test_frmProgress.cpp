#include <gtest/gtest.h>

#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "frmProgress.h"

namespace {

// Runs the dialog modally and does `act` to it once it shows; false when it did not return.
bool runModal(frmProgress* dialog, std::function<void(frmProgress*)> act) {
  bool returned = false;
  QTimer::singleShot(50, dialog, [dialog, act] { act(dialog); });
  QTimer::singleShot(5000, dialog, [dialog, &returned] {
    if (!returned) dialog->done(0);
  });
  dialog->exec();
  returned = true;
  return true;
}

class ProgressDialog : public ::testing::Test {
 protected:
  void TearDown() override { frmProgress::Unload(); }
};

}  // namespace

TEST_F(ProgressDialog, LoadingSetsCaptionsAndClearsCancelled) {
  frmProgress* dialog = frmProgress::Load();
  EXPECT_EQ(frmProgress::instance(), dialog);
  EXPECT_EQ(frmProgress::Load(), dialog);
  EXPECT_FALSE(dialog->cancelled);
  EXPECT_EQ(dialog->cmdCancel->text(), QStringLiteral("&Cancel"));
  EXPECT_EQ(dialog->lblFilename->text(), QStringLiteral("File"));
  EXPECT_TRUE(dialog->isModal());
}

TEST_F(ProgressDialog, CancelSetsCancelledAndEndsTheModalDisplay) {
  frmProgress* dialog = frmProgress::Load();
  runModal(dialog, [](frmProgress* d) { d->cmdCancel->click(); });
  EXPECT_TRUE(dialog->cancelled);
  EXPECT_FALSE(dialog->isVisible());
}

TEST_F(ProgressDialog, EscapeCountsAsCancel) {
  frmProgress* dialog = frmProgress::Load();
  runModal(dialog, [](frmProgress* d) { QTest::keyClick(d, Qt::Key_Escape); });
  EXPECT_TRUE(dialog->cancelled);
  EXPECT_FALSE(dialog->isVisible());
}

TEST_F(ProgressDialog, TheCloseButtonCountsAsCancel) {
  frmProgress* dialog = frmProgress::Load();
  runModal(dialog, [](frmProgress* d) { d->close(); });
  EXPECT_TRUE(dialog->cancelled);
  EXPECT_FALSE(dialog->isVisible());
}

TEST_F(ProgressDialog, HidingByTheWorkLeavesCancelledFalse) {
  frmProgress* dialog = frmProgress::Load();
  runModal(dialog, [](frmProgress* d) { d->hide(); });
  EXPECT_FALSE(dialog->cancelled);
}

TEST_F(ProgressDialog, HidingWhenNotShownChangesNothing) {
  frmProgress* dialog = frmProgress::Load();
  dialog->hide();
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_FALSE(dialog->cancelled);
}

TEST_F(ProgressDialog, LoadingAgainAfterUnloadStartsNotCancelled) {
  frmProgress* dialog = frmProgress::Load();
  runModal(dialog, [](frmProgress* d) { d->cmdCancel->click(); });
  ASSERT_TRUE(dialog->cancelled);
  frmProgress::Unload();
  EXPECT_EQ(frmProgress::instance(), nullptr);
  EXPECT_FALSE(frmProgress::Load()->cancelled);
}

// It belongs to the window whose work it shows; at start, with no window, to none.
TEST_F(ProgressDialog, IsOwnedByTheActiveWindowAndByNoneAtStart) {
  EXPECT_EQ(frmProgress::Load()->parentWidget(), nullptr);
  frmProgress::Unload();
  QMainWindow window;
  window.resize(600, 500);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  frmProgress* dialog = frmProgress::Load();
  EXPECT_EQ(dialog->parentWidget(), &window);
  QPoint centre;
  runModal(dialog, [&centre](frmProgress* d) {
    centre = d->geometry().center();
    d->cmdCancel->click();
  });
  EXPECT_LE((centre - window.geometry().center()).manhattanLength(), 2);
  frmProgress::Unload();
}
