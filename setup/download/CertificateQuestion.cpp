#include "CertificateQuestion.h"

#include <QCoreApplication>
#include <QThread>
#include <mutex>

#include "ButtonCaptions.h"
#include "MessageBox.h"
#include "SetupMessages.h"
#include "SetupStrings.h"

namespace CertificateQuestion {

namespace {

constexpr int kTitle = 225;
constexpr int kQuestion = 226;
constexpr int kAnswerTaken = 276;

std::mutex answerLock;
std::function<bool()> replacedAnswer;

// Runs `work` on the user-interface thread and gives its result.
template <typename Result>
Result onInterfaceThread(std::function<Result()> work) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || QThread::currentThread() == app->thread()) return work();
  Result result{};
  QMetaObject::invokeMethod(
      app, [&] { result = work(); }, Qt::BlockingQueuedConnection);
  return result;
}

// Where nobody could answer, the run's output says which answer it went on with.
void tellAnswerTaken(bool yes) {
  const QString caption = ButtonCaptions::standard(yes ? QDialogButtonBox::Yes : QDialogButtonBox::No);
  ReportCaptioned(SetupStrings::text(kTitle), setupText(kAnswerTaken, {QString(caption).remove('&')}));
}

bool askUser() {
  const int answer = MsgBox(SetupStrings::text(kQuestion),
                            MsgBoxStyle::YesNo | MsgBoxStyle::Exclamation | MsgBoxStyle::DefaultButton2,
                            SetupStrings::text(kTitle));
  const bool yes = answer == MsgBoxResult::Yes;
  if (isHeadless()) tellAnswerTaken(yes);
  return yes;
}

}  // namespace

bool ask(const QPointer<QWidget>&) {
  {
    std::lock_guard lock(answerLock);
    if (replacedAnswer) return replacedAnswer();
  }
  // Where nobody can answer, the box tells the question on standard error and answers No.
  return onInterfaceThread<bool>(&askUser);
}

bool ownerVisible(const QPointer<QWidget>& owner) {
  return onInterfaceThread<bool>([owner] { return owner && owner->isVisible(); });
}

void setAnswerForTests(std::function<bool()> answer) {
  std::lock_guard lock(answerLock);
  replacedAnswer = std::move(answer);
}

}  // namespace CertificateQuestion
