#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <QByteArray>
#include <QByteArrayView>
#include <ctime>

// What tells one state of a file from another: identity, size, and the times
// of its last change of data and of any change at all. File times only move in
// clock ticks, so a stamp taken within the tick of a change cannot tell a
// second change in that tick: then only the file's contents can.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = -1;
  qint64 modifiedSeconds = 0;
  qint64 modifiedNanoseconds = 0;
  qint64 changedSeconds = 0;
  qint64 changedNanoseconds = 0;
  bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const struct stat& st);

// The clock that file times are taken from.
timespec fileClockNow();

// Whether a change made after `lookedAt` could leave the stamp as it is: file
// times only move in ticks, whole seconds (or two) on some file systems.
bool mayHideAChange(const FileStamp& stamp, const timespec& lookedAt);

// Files are read, and their contents hashed, a block at a time.
constexpr qsizetype kFileBlock = 1 << 20;

// Reads until the buffer is full or the file ends; -1 on an error.
qsizetype readBlock(int fd, char* to, qsizetype size);

size_t hashBlock(QByteArrayView block, size_t hash);

// The hash of bytes as a file of them is read: block by block.
size_t contentHash(QByteArrayView bytes);

// Reads the file at `nativePath` again, without parsing it, to see that it
// still has `stamp` and holds the bytes that gave `hash`. When it does,
// `unsettled` tells whether the stamp alone will do at the next look.
bool fileStillHolds(const QByteArray& nativePath, const FileStamp& stamp, size_t hash, bool& unsettled);
