#pragma once

#include <QtGlobal>

// A port on 127.0.0.1 held without listening: every connection to it is
// refused, and no other program can take it while this lives, however busy the
// machine.
class RefusingPort {
 public:
  // `port` 0: any free one.
  explicit RefusingPort(quint16 port = 0);
  ~RefusingPort();
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;

  quint16 port() const { return port_; }

 private:
  int fd_ = -1;
  quint16 port_ = 0;
};
