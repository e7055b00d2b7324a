#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>
#include <functional>

#include "FileDialog.h"

// Stands in for the user while it lives: each dialog that needs an answer
// gets the next queued answer (a dialog without one, or left open by its
// answer, is cancelled, so no test waits), message boxes are recorded and
// answered with their default, file dialogs get the queued files.
class UserStandIn {
 public:
  using Answer = std::function<void(QDialog&)>;

  UserStandIn();
  ~UserStandIn();
  UserStandIn(const UserStandIn&) = delete;
  UserStandIn& operator=(const UserStandIn&) = delete;

  void answerNext(Answer answer);
  // The next file dialog chooses these files (none: cancelled).
  void chooseFiles(QStringList files) { files_ = std::move(files); }

  // "title: text" of every message box shown.
  QStringList boxes;
  // Every dialog shown, by object name.
  QStringList dialogsShown;
  QList<FileDialogRequest> fileRequests;

 private:
  QList<Answer> answers_;
  QStringList files_;
};

// Types a printer's name and address into the printer details dialog and clicks OK.
UserStandIn::Answer typePrinter(const QString& name, const QString& address);
// Clicks the button of that object name.
UserStandIn::Answer click(const QString& button);
// Clicks the button of that object name in whatever dialog shows up.
void clickIn(QDialog& dialog, const QString& button);
