#include "StopSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};

volatile sig_atomic_t writeEnd = -1;

void onStopSignal(int number) {
  const int saved = errno;
  const char byte = char(number);
  if (writeEnd >= 0) {
    // A full pipe already holds a stop: nothing is lost.
    const ssize_t written = ::write(writeEnd, &byte, 1);
    static_cast<void>(written);
  }
  errno = saved;
}

void handleWith(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int number : kStopSignals) ::sigaction(number, &action, nullptr);
}

}  // namespace

StopSignals::StopSignals() {
  if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) return;
  writeEnd = pipe_[1];
  notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    drain();
    if (received_) emit stopRequested();
  });
  handleWith(onStopSignal);
}

StopSignals::~StopSignals() {
  handleWith(SIG_DFL);
  writeEnd = -1;
  delete notifier_;
  for (const int fd : pipe_)
    if (fd >= 0) ::close(fd);
}

bool StopSignals::received() {
  drain();
  return received_;
}

void StopSignals::drain() {
  if (pipe_[0] < 0) return;
  char bytes[16];
  while (::read(pipe_[0], bytes, sizeof bytes) > 0) received_ = true;
}
