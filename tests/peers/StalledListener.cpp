#include "StalledListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

StalledListener::StalledListener() {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(listener_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  ::listen(listener_, 0);
  socklen_t len = sizeof sa;
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&sa), &len);
  port_ = ntohs(sa.sin_port);
  // Backlog 0 holds one finished connection; the second one's handshake is dropped.
  for (int i = 0; i < 2; ++i) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    fillers_.push_back(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

StalledListener::~StalledListener() {
  for (int fd : fillers_) ::close(fd);
  ::close(listener_);
}
