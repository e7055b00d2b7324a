#include "CPreparingDlg.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

#include "OffUiThread.h"
#include "SetupStrings.h"

namespace {

// A window manager that never maps the box must not hold the step up.
constexpr int kLongestWaitForTheBox = 2000;
constexpr int kSetup = 128;
constexpr int kPreparing = 236;

}  // namespace

CPreparingDlg::CPreparingDlg(const QString& caption)
    : text_(new QLabel(SetupStrings::text(kPreparing), this)) {
  setObjectName(QStringLiteral("dlg201"));
  setWindowTitle(caption.isEmpty() ? SetupStrings::text(kSetup) : caption);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  text_->setObjectName(QStringLiteral("1001"));
  text_->setMinimumWidth(260);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 16, 20, 16);
  layout->addWidget(text_);
  centre();
  show();
}

void CPreparingDlg::setText(const QString& text) {
  text_->setText(text);
  centre();
}

void CPreparingDlg::centre() {
  adjustSize();
  if (const QScreen* screen = QApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void CPreparingDlg::run(const std::function<void()>& step) {
  waitUntilShown();
  runOffUiThread(step);
}

// The text is on the screen before the step begins.
void CPreparingDlg::waitUntilShown() {
  const QDeadlineTimer deadline(kLongestWaitForTheBox);
  while (isVisible() && !(windowHandle() && windowHandle()->isExposed()) && !deadline.hasExpired())
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  repaint();
}
