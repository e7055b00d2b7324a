#pragma once

#include <QByteArray>
#include <QByteArrayView>

// A window onto a stretch of someone else's byte buffer, re-pointed without
// copying. The buffer must stay alive and unchanged in size while the view
// points into it; going home drops every reference to it.
class ByteView {
 public:
  ByteView();

  // Covers `length` bytes of `buffer` from `offset` on; the stretch must lie inside the buffer.
  void pointInto(const QByteArray& buffer, qint32 offset, qint32 length);
  // Back to the view's own placeholder.
  void goHome();
  bool atHome() const { return data_ == home_.constData(); }

  const char* data() const { return data_; }
  qint32 size() const { return size_; }
  QByteArrayView view() const { return QByteArrayView(data_, size_); }

 private:
  QByteArray home_;
  const char* data_;
  qint32 size_;
};

// Number of elements of a buffer.
qint32 ArrayLength(QByteArrayView buffer);

// Index of the first occurrence of the whole needle in the haystack, or -1.
qint32 FindBytes(QByteArrayView haystack, QByteArrayView needle);

// Offset of the first line end at or after `start`, or -1. A line end is a run
// of NUL, NUL, CR, LF (each optional, in this order), or an ESC that does not
// stand at `start` (length 0). `termLen` receives the length of the run.
qint32 FindLineEnd(QByteArrayView buffer, qint32& termLen, qint32& start);
