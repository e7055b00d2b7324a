#pragma once

#include <cstdint>

// Writes all `length` bytes to `fd`, going on after short writes and
// interruptions; false when the file takes no more. Plain C++: the decompressor
// writes with it too.
bool writeAll(int fd, const char* data, int64_t length);
