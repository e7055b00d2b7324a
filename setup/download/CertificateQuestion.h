#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

// Asks the user whether to go on with a server whose certificate comes from an
// authority that is not trusted. Called from a download's worker thread: the
// question itself is put to the user on the user-interface thread.
namespace CertificateQuestion {

// True when the user answers Yes. The default answer, and the answer when
// nobody can see a window (the question then goes to standard error), is No.
bool ask(const QPointer<QWidget>& owner);

// Whether the owner window is shown (false when it is gone).
bool ownerVisible(const QPointer<QWidget>& owner);

// Tests replace the question; an empty function restores it.
void setAnswerForTests(std::function<bool()> answer);

}  // namespace CertificateQuestion
