#include "CertificateQuestion.h"

#include <QCoreApplication>
#include <QThread>
#include <mutex>

#include "MessageBox.h"
#include "SetupStrings.h"

namespace CertificateQuestion {

namespace {

constexpr int kTitle = 225;
constexpr int kQuestion = 226;

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
  const int answer = MsgBox(SetupStrings::text(kQuestion),
                            MsgBoxStyle::YesNo | MsgBoxStyle::Exclamation | MsgBoxStyle::DefaultButton2,
                            SetupStrings::text(kTitle));
  return answer == MsgBoxResult::Yes;
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
