#pragma once

#include <QtGlobal>

// Writes all `length` bytes to `fd`, going on after short writes and
// interruptions; false when the file takes no more.
bool writeAll(int fd, const char* data, qint64 length);
