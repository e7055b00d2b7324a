#pragma once

#include <QtGlobal>
#include <vector>

// Reads of one file that mostly carry on where the one before ended, as the
// file table and the data of many small entries are read: such a read fills a
// window with the bytes that follow it, and the reads after it are served from
// there, so that thousands of small reads cost a few calls.
class ReadAhead {
 public:
  // Reads `fd` from now on, forgetting what was read before; -1 reads nothing.
  void setFile(int fd);

  // The `length` bytes at `position`, valid until the next call; null when the
  // file cannot be read or ends before them.
  const char* read(qint64 position, qint64 length);

 private:
  int m_fd = -1;
  std::vector<char> m_window;
  qint64 m_start = 0;
  qint64 m_filled = 0;
  qint64 m_lastEnd = -1;
};
