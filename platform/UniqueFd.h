#pragma once

// An open file descriptor, closed when it goes.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : m_fd(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  // A descriptor of its own for what `fd` has open; invalid when `fd` is -1 or none is left.
  static UniqueFd copyOf(int fd);

  int get() const { return m_fd; }
  bool valid() const { return m_fd >= 0; }
  int release();
  void reset();

 private:
  int m_fd = -1;
};
