#pragma once

#include <QtGlobal>
#include <vector>

// A listener on 127.0.0.1 whose accept queue is already full and never
// drained: a further connection attempt stays pending until it gives up.
class StalledListener {
 public:
  StalledListener();
  ~StalledListener();
  StalledListener(const StalledListener&) = delete;
  StalledListener& operator=(const StalledListener&) = delete;

  quint16 port() const { return port_; }

 private:
  int listener_ = -1;
  quint16 port_ = 0;
  std::vector<int> fillers_;
};
