#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <initializer_list>
#include <ostream>
#include <string>

#include "StandardDescriptors.h"
#include "TestEnv.h"

namespace {

constexpr int kStandard[] = {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO};

// The file a descriptor is open on, and how.
struct Descriptor {
  bool open = false;
  dev_t device = 0;
  ino_t inode = 0;
  int access = -1;
  bool operator==(const Descriptor&) const = default;
};

void PrintTo(const Descriptor& d, std::ostream* os) {
  if (!d.open)
    *os << "closed";
  else
    *os << "file " << d.device << ":" << d.inode << " access " << d.access;
}

Descriptor describe(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return {};
  return {true, st.st_dev, st.st_ino, ::fcntl(fd, F_GETFL) & O_ACCMODE};
}

Descriptor nullDevice(int access) {
  struct stat st {};
  EXPECT_EQ(::stat("/dev/null", &st), 0);
  return {true, st.st_dev, st.st_ino, access};
}

// Runs with the test process's own standard descriptors and puts them back after each case.
class StandardDescriptorsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const int fd : kStandard) saved_[fd] = ::fcntl(fd, F_DUPFD_CLOEXEC, 10);
  }
  void TearDown() override {
    restore();
    for (const int fd : saved_) ::close(fd);
  }
  void restore() const {
    for (const int fd : kStandard) ::dup2(saved_[fd], fd);
  }

  int saved_[3] = {-1, -1, -1};
};

}  // namespace

// Each descriptor left open stands on a file of its own, open for reading and
// writing, so that neither /dev/null nor a changed mode passes for it.
TEST_F(StandardDescriptorsTest, EachClosedOneEndsOnDevNullAndAnOpenOneKeepsItsFile) {
  const QString folder = TestEnv::freshDir("descriptors");
  const std::initializer_list<int> cases[] = {{0}, {1}, {2}, {0, 1, 2}};
  for (const auto& closed : cases) {
    Descriptor own[3], after[3];
    for (const int fd : kStandard) {
      const QByteArray path = QFile::encodeName(folder + "/" + QString::number(fd));
      const int file = ::open(path.constData(), O_RDWR | O_CREAT, 0600);
      ::dup2(file, fd);
      ::close(file);
      own[fd] = describe(fd);
    }
    for (const int fd : closed) ::close(fd);
    StandardDescriptors::openClosedOnNull();
    for (const int fd : kStandard) after[fd] = describe(fd);
    // Before anything is printed.
    restore();
    std::string named;
    for (const int fd : closed) named += std::to_string(fd) + " ";
    SCOPED_TRACE("closed " + named);
    for (const int fd : kStandard) {
      const bool wasClosed = std::find(closed.begin(), closed.end(), fd) != closed.end();
      const Descriptor expected = wasClosed ? nullDevice(fd == STDIN_FILENO ? O_RDONLY : O_WRONLY) : own[fd];
      EXPECT_EQ(after[fd], expected) << "descriptor " << fd;
    }
  }
}
