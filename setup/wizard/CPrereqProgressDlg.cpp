#include "CPrereqProgressDlg.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "CPrerequisiteSet.h"
#include "MessageBox.h"
#include "SetupStrings.h"

namespace {

constexpr int kCancelled = 2;
constexpr int kSetup = 128;

}  // namespace

CPrereqProgressDlg::CPrereqProgressDlg(CPrerequisiteSet& set, const QString& caption, QWidget* parent)
    : QDialog(parent),
      set_(set),
      status_(new QLabel(this)),
      progress_(new QProgressBar(this)),
      seen_(!isHeadless()) {
  setObjectName(QStringLiteral("dlg216"));
  setWindowTitle(caption.isEmpty() ? SetupStrings::text(kSetup) : caption);
  status_->setObjectName(QStringLiteral("1034"));
  status_->setMinimumWidth(320);
  progress_->setObjectName(QStringLiteral("1035"));
  progress_->setTextVisible(false);
  progress_->setRange(0, 0);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
  wordButtons(*buttons);
  connect(buttons, &QDialogButtonBox::rejected, this, &CPrereqProgressDlg::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(status_);
  layout->addWidget(progress_);
  layout->addWidget(buttons);
}

CPrereqProgressDlg::~CPrereqProgressDlg() { waitForWorker(); }

int CPrereqProgressDlg::run() {
  const int result = exec();
  waitForWorker();
  return result;
}

void CPrereqProgressDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (worker_.joinable()) return;
  if (const QScreen* screen = QApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  worker_ = std::thread([this] { set_.RunAllPasses(*this); });
}

void CPrereqProgressDlg::reject() {
  cancel_ = true;
  done(kCancelled);
}

void CPrereqProgressDlg::waitForWorker() {
  if (worker_.joinable()) worker_.join();
}

void CPrereqProgressDlg::begin(int total) {
  QMetaObject::invokeMethod(
      this,
      [this, total] {
        steps_ = 0;
        progress_->setRange(0, total);
        progress_->setValue(0);
      },
      Qt::QueuedConnection);
}

void CPrereqProgressDlg::start(int) {}

void CPrereqProgressDlg::finished() {
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (!cancel_) done(QDialog::Accepted);
      },
      Qt::QueuedConnection);
}

void CPrereqProgressDlg::status(const QString& text) {
  QMetaObject::invokeMethod(
      this,
      [this, text] {
        status_->setText(text);
        progress_->setValue(qMin(++steps_, progress_->maximum()));
      },
      Qt::QueuedConnection);
}

void CPrereqProgressDlg::itemSucceeded() {}

bool CPrereqProgressDlg::isCancelled() { return cancel_; }

void CPrereqProgressDlg::itemFailed(int) {}
