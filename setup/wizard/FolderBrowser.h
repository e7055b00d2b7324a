#pragma once

#include <QString>
#include <functional>

class QWidget;

// Asks the user for a folder, starting at their home. Empty when cancelled, and
// always where nobody can answer, unless a test put its own answer in place:
// either one for the whole question, or a dialog answerer (MessageBox.h) that
// drives the browser itself.
namespace FolderBrowser {

QString BrowseForFolder(QWidget* owner, const QString& title);

using Answer = std::function<QString(QWidget* owner, const QString& title)>;
// Tests answer in place of the user; an empty function restores the dialog.
void setAnswerForTests(Answer answer);

}  // namespace FolderBrowser
