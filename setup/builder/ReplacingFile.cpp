#include "ReplacingFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>

namespace {

constexpr int kNameTries = 100;

QString resolvedTarget(const QString& target) {
  const QFileInfo info(target);
  const QString resolved = info.isSymLink() ? info.canonicalFilePath() : QString();
  return resolved.isEmpty() ? target : resolved;
}

}  // namespace

ReplacingFile::ReplacingFile(const QString& target) : m_target(resolvedTarget(target)) {}

ReplacingFile::~ReplacingFile() {
  if (!m_path.isEmpty() && !m_committed) ::unlink(QFile::encodeName(m_path).constData());
}

bool ReplacingFile::open() {
  const QFileInfo target(m_target);
  for (int i = 0; i < kNameTries; ++i) {
    const QString path = target.absolutePath() + "/." + target.fileName() + "." +
                         QString::number(QRandomGenerator::global()->generate64(), 36);
    m_fd = UniqueFd(::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0755));
    if (m_fd.valid()) {
      m_path = path;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

bool ReplacingFile::commit() {
  if (!m_fd.valid() || ::fsync(m_fd.get()) != 0 || ::close(m_fd.release()) != 0) return false;
  m_committed = ::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(m_target).constData()) == 0;
  return m_committed;
}
