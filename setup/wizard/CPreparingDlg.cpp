#include "CPreparingDlg.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

CPreparingDlg::CPreparingDlg(const QString& caption)
    : text_(new QLabel(QStringLiteral("Preparing..."), this)) {
  setObjectName(QStringLiteral("dlg201"));
  setWindowTitle(caption.isEmpty() ? QStringLiteral("Setup") : caption);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  text_->setObjectName(QStringLiteral("1001"));
  text_->setMinimumWidth(260);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 16, 20, 16);
  layout->addWidget(text_);
  adjustSize();
  if (const QScreen* screen = QApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  show();
  QApplication::processEvents();
}

void CPreparingDlg::setText(const QString& text) {
  text_->setText(text);
  QApplication::processEvents();
}
