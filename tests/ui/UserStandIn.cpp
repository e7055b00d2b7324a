#include "UserStandIn.h"

#include <QLineEdit>
#include <QPushButton>

#include "MessageBox.h"

UserStandIn::UserStandIn() {
  setDialogAnswerer([this](QDialog& dialog) {
    dialogsShown.append(dialog.objectName());
    if (!answers_.isEmpty()) answers_.takeFirst()(dialog);
    if (dialog.isVisible()) dialog.reject();
  });
  setMsgBoxAnswerer([this](const QString& text, int, const QString& title) {
    boxes.append(title + QStringLiteral(": ") + text);
    return 1;
  });
  setFileDialogAnswerer([this](const FileDialogRequest& request) {
    fileRequests.append(request);
    return std::exchange(files_, {});
  });
}

UserStandIn::~UserStandIn() {
  setDialogAnswerer(nullptr);
  setMsgBoxAnswerer(nullptr);
  setFileDialogAnswerer(nullptr);
}

void UserStandIn::answerNext(Answer answer) { answers_.append(std::move(answer)); }

void clickIn(QDialog& dialog, const QString& button) { dialog.findChild<QPushButton*>(button)->click(); }

UserStandIn::Answer typePrinter(const QString& name, const QString& address) {
  return [name, address](QDialog& dialog) {
    dialog.findChild<QLineEdit*>(QStringLiteral("txtName"))->setText(name);
    dialog.findChild<QLineEdit*>(QStringLiteral("txtAddress"))->setText(address);
    clickIn(dialog, QStringLiteral("cmdIOK"));
  };
}

UserStandIn::Answer click(const QString& button) {
  return [button](QDialog& dialog) { clickIn(dialog, button); };
}
