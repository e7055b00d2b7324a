#include "StandardDescriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>

namespace StandardDescriptors {

namespace {

bool isClosed(int fd) { return ::fcntl(fd, F_GETFD) == -1 && errno == EBADF; }

void openOnNull(int fd) {
  const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
  // The lower descriptors are open by now, so the new one is normally fd itself.
  if (opened < 0 || opened == fd) return;
  ::dup2(opened, fd);
  ::close(opened);
}

}  // namespace

void openClosedOnNull() {
  for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
    if (isClosed(fd)) openOnNull(fd);
}

}  // namespace StandardDescriptors
