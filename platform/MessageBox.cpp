#include "MessageBox.h"

#include <QDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <cstdio>

namespace {

MsgBoxAnswerer& msgBoxAnswerer() {
  static MsgBoxAnswerer answerer;
  return answerer;
}

DialogAnswerer& dialogAnswerer() {
  static DialogAnswerer answerer;
  return answerer;
}

int defaultAnswer(int buttons, bool second) {
  switch (buttons) {
    case MsgBoxStyle::OkCancel: return second ? MsgBoxResult::Cancel : MsgBoxResult::Ok;
    case MsgBoxStyle::YesNo:
    case MsgBoxStyle::YesNoCancel: return second ? MsgBoxResult::No : MsgBoxResult::Yes;
    default: return MsgBoxResult::Ok;
  }
}

QMessageBox::Icon iconOf(int style) {
  switch (style & 0x70) {
    case MsgBoxStyle::Critical: return QMessageBox::Critical;
    case MsgBoxStyle::Question: return QMessageBox::Question;
    case MsgBoxStyle::Exclamation: return QMessageBox::Warning;
    case MsgBoxStyle::Information: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

QMessageBox::StandardButtons buttonsOf(int buttons) {
  switch (buttons) {
    case MsgBoxStyle::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgBoxStyle::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case MsgBoxStyle::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    default: return QMessageBox::Ok;
  }
}

int answerOf(int button) {
  switch (button) {
    case QMessageBox::Cancel: return MsgBoxResult::Cancel;
    case QMessageBox::Yes: return MsgBoxResult::Yes;
    case QMessageBox::No: return MsgBoxResult::No;
    default: return MsgBoxResult::Ok;
  }
}

}  // namespace

bool isHeadless() {
  const QString platform = QGuiApplication::platformName();
  return !qobject_cast<QGuiApplication*>(QCoreApplication::instance()) || platform == "offscreen" ||
         platform == "minimal";
}

int MsgBox(const QString& text, int style, const QString& title) {
  const int buttons = style & 0x0F;
  const bool secondIsDefault = (style & MsgBoxStyle::DefaultButton2) != 0;
  if (msgBoxAnswerer()) return msgBoxAnswerer()(text, style, title);
  if (isHeadless()) {
    std::fprintf(stderr, "%s: %s\n", title.toLocal8Bit().constData(), text.toLocal8Bit().constData());
    return defaultAnswer(buttons, secondIsDefault);
  }
  QMessageBox box(iconOf(style), title, text, buttonsOf(buttons));
  if (secondIsDefault && buttons == MsgBoxStyle::OkCancel) box.setDefaultButton(QMessageBox::Cancel);
  if (secondIsDefault && buttons != MsgBoxStyle::OkCancel) box.setDefaultButton(QMessageBox::No);
  return answerOf(box.exec());
}

void setMsgBoxAnswerer(MsgBoxAnswerer answerer) { msgBoxAnswerer() = std::move(answerer); }

void setDialogAnswerer(DialogAnswerer answerer) { dialogAnswerer() = std::move(answerer); }

bool canAnswerDialogs() { return dialogAnswerer() || !isHeadless(); }

int execModal(QDialog& dialog) {
  if (!canAnswerDialogs()) return QDialog::Rejected;
  if (dialogAnswerer()) {
    const DialogAnswerer answerer = dialogAnswerer();
    QTimer::singleShot(0, &dialog, [answerer, target = QPointer<QDialog>(&dialog)] {
      if (target) answerer(*target);
    });
  }
  return dialog.QDialog::exec();
}
