#include "CExtractProgressDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <climits>

#include "MessageBox.h"
#include "SetupStrings.h"

namespace {
constexpr int kTextExtracting = 200;
}

CExtractProgressDlg::CExtractProgressDlg(ExtractFilesFunction extractFiles, const ExtractFilesArgs& args,
                                         const QString& title, QWidget* parent)
    : QDialog(parent), m_extractFiles(extractFiles), m_args(args) {
  m_args.progress = this;
  setWindowTitle(title);
  setModal(true);
  m_status = new QLabel(SetupStrings::text(kTextExtracting), this);
  m_status->setObjectName(QStringLiteral("static1034"));
  m_progress = new QProgressBar(this);
  m_progress->setObjectName(QStringLiteral("progress1035"));
  m_progress->setRange(0, 0);
  m_progress->setTextVisible(false);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("btnCancel"));
  wordButtons(*buttons);
  connect(buttons, &QDialogButtonBox::rejected, this, &CExtractProgressDlg::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_status);
  layout->addWidget(m_progress);
  layout->addWidget(buttons);
  setMinimumWidth(380);
}

CExtractProgressDlg::~CExtractProgressDlg() {
  if (m_worker.joinable()) m_worker.join();
}

int CExtractProgressDlg::run() {
  exec();
  return m_cancel ? -1 : m_result;
}

void CExtractProgressDlg::begin(uint32_t total) {
  m_shift = total > uint32_t(INT_MAX) ? 1 : 0;
  QMetaObject::invokeMethod(
      m_progress,
      [this, total] {
        m_progress->setRange(0, scaled(total));
        m_progress->setValue(0);
      },
      Qt::QueuedConnection);
}

int CExtractProgressDlg::step(uint32_t position) {
  QMetaObject::invokeMethod(
      m_progress, [this, position] { m_progress->setValue(scaled(position)); }, Qt::QueuedConnection);
  return cancelled();
}

int CExtractProgressDlg::cancelled() { return m_cancel ? 1 : 0; }

void CExtractProgressDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Started from the event loop, so that what was queued before the dialog came up runs first.
  if (!m_started) QMetaObject::invokeMethod(this, &CExtractProgressDlg::startWorker, Qt::QueuedConnection);
  m_started = true;
}

void CExtractProgressDlg::reject() { m_cancel = true; }

void CExtractProgressDlg::startWorker() {
  m_worker = std::thread([this] {
    m_result = m_extractFiles(&m_args);
    QMetaObject::invokeMethod(this, &CExtractProgressDlg::finish, Qt::QueuedConnection);
  });
}

void CExtractProgressDlg::finish() {
  m_worker.join();
  done(QDialog::Accepted);
}
