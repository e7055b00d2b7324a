#include "BenchSandbox.h"

#include <QDir>
#include <QFile>
#include <cstdio>
#include <utility>

namespace {

// TMPDIR last: until then the message below still names the real temporary folder.
constexpr std::pair<const char*, const char*> kFolders[] = {{"KVT_REGISTRY_DIR", "registry"},
                                                            {"HOME", "home"},
                                                            {"XDG_CONFIG_HOME", "config"},
                                                            {"XDG_DATA_HOME", "home/.local/share"},
                                                            {"XDG_CACHE_HOME", "home/.cache"},
                                                            {"TEMP", "temp"},
                                                            {"TMPDIR", "temp"}};

}  // namespace

BenchSandbox::BenchSandbox() : dir_(QDir::tempPath() + QStringLiteral("/kvt-bench-XXXXXX")) {
  valid_ = dir_.isValid();
  for (const auto& [variable, folder] : kFolders) {
    const QString path = dir_.filePath(QString::fromLatin1(folder));
    valid_ = valid_ && QDir().mkpath(path);
    if (valid_) qputenv(variable, QFile::encodeName(path));
  }
  if (!valid_) std::fprintf(stderr, "could not make a sandbox folder in %s\n", qPrintable(QDir::tempPath()));
}
