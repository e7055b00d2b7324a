#include "ReadAhead.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

constexpr qint64 kWindow = 256 * 1024;

}  // namespace

void ReadAhead::setFile(int fd) {
  m_fd = fd;
  m_window = {};
  m_start = m_filled = 0;
  m_lastEnd = -1;
}

const char* ReadAhead::read(qint64 position, qint64 length) {
  if (length == 0) return "";
  const bool inWindow = position >= m_start && length <= m_filled - (position - m_start);
  if (!inWindow) {
    // A read elsewhere reads only itself: scattered reads cost no window each.
    const qint64 wanted = position == m_lastEnd ? std::max(length, kWindow) : length;
    if (qint64(m_window.size()) < wanted) m_window.resize(size_t(wanted));
    m_start = position;
    m_filled = 0;
    while (m_filled < length) {
      const ssize_t got =
          ::pread(m_fd, m_window.data() + m_filled, size_t(wanted - m_filled), position + m_filled);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        m_filled = 0;
        return nullptr;
      }
      m_filled += got;
    }
  }
  m_lastEnd = position + length;
  return m_window.data() + (position - m_start);
}
