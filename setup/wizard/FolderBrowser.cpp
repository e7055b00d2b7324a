#include "FolderBrowser.h"

#include <QFileDialog>

#include "MessageBox.h"

namespace FolderBrowser {

namespace {

Answer& testAnswer() {
  static Answer answer;
  return answer;
}

}  // namespace

QString BrowseForFolder(QWidget* owner, const QString& title) {
  if (testAnswer()) return testAnswer()(owner, title);
  if (isHeadless()) return QString();
  return QFileDialog::getExistingDirectory(owner, title, QString(), QFileDialog::ShowDirsOnly);
}

void setAnswerForTests(Answer answer) { testAnswer() = std::move(answer); }

}  // namespace FolderBrowser
