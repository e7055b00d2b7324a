#include "BrokenPipe.h"

#include <csignal>

namespace BrokenPipe {

namespace {

void onBrokenPipe(int) {}

}  // namespace

void failWritesInsteadOfEnding() {
  struct sigaction action {};
  action.sa_handler = onBrokenPipe;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGPIPE, &action, nullptr);
}

}  // namespace BrokenPipe
