#include "FileWrite.h"

#include <unistd.h>

#include <cerrno>

bool writeAll(int fd, const char* data, int64_t length) {
  while (length > 0) {
    const ssize_t written = ::write(fd, data, size_t(length));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    length -= written;
  }
  return true;
}
