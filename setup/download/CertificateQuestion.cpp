#include "CertificateQuestion.h"

#include <QCoreApplication>
#include <QThread>
#include <mutex>

#include "MessageBox.h"

namespace CertificateQuestion {

namespace {

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

bool askUser() {
  const int answer = MsgBox(QStringLiteral("The server's certificate was issued by an authority that is not "
                                           "trusted.\n\nDo you want to go on with the download?"),
                            MsgBoxStyle::YesNo | MsgBoxStyle::Exclamation | MsgBoxStyle::DefaultButton2,
                            QStringLiteral("Security Warning"));
  return answer == MsgBoxResult::Yes;
}

}  // namespace

bool ask(const QPointer<QWidget>&) {
  {
    std::lock_guard lock(answerLock);
    if (replacedAnswer) return replacedAnswer();
  }
  if (isHeadless()) return false;
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
