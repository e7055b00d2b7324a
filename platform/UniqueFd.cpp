#include "UniqueFd.h"

#include <fcntl.h>
#include <unistd.h>

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    reset();
    m_fd = other.release();
  }
  return *this;
}

int UniqueFd::release() {
  const int fd = m_fd;
  m_fd = -1;
  return fd;
}

void UniqueFd::reset() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
}

UniqueFd UniqueFd::copyOf(int fd) { return UniqueFd(fd < 0 ? -1 : ::fcntl(fd, F_DUPFD_CLOEXEC, 0)); }
