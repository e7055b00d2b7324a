#include "FolderBrowser.h"

#include <QFileDialog>

#include "ButtonCaptions.h"
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
  // A folder browser's buttons are OK and Cancel, in the setup's words.
  QFileDialog dialog(owner, title);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  dialog.setLabelText(QFileDialog::Accept, ButtonCaptions::standard(QDialogButtonBox::Ok));
  dialog.setLabelText(QFileDialog::Reject, ButtonCaptions::standard(QDialogButtonBox::Cancel));
  return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

void setAnswerForTests(Answer answer) { testAnswer() = std::move(answer); }

}  // namespace FolderBrowser
