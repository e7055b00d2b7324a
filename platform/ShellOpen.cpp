#include "ShellOpen.h"

#include <spawn.h>
#include <sys/wait.h>

#include <QFile>
#include <cerrno>
#include <vector>

extern char** environ;

namespace ShellOpen {

namespace {

bool isBlank(QChar c) { return c == ' ' || c == '\t'; }

// Backslashes before a double quote: each pair gives one; an odd one escapes the quote.
qsizetype readBackslashes(const QString& text, qsizetype i, QString& word) {
  qsizetype count = 0;
  while (i < text.size() && text[i] == '\\') ++count, ++i;
  const bool beforeQuote = i < text.size() && text[i] == '"';
  word += QString(beforeQuote ? count / 2 : count, '\\');
  if (beforeQuote && count % 2 == 1) {
    word += '"';
    ++i;
  }
  return i;
}

}  // namespace

QStringList splitCommandLine(const QString& commandLine) {
  QStringList words;
  qsizetype i = 0;
  while (true) {
    while (i < commandLine.size() && isBlank(commandLine[i])) ++i;
    if (i >= commandLine.size()) return words;
    QString word;
    bool quoted = false;
    while (i < commandLine.size() && (quoted || !isBlank(commandLine[i]))) {
      const QChar c = commandLine[i];
      if (c == '\\') {
        i = readBackslashes(commandLine, i, word);
      } else if (c == '"') {
        if (quoted && i + 1 < commandLine.size() && commandLine[i + 1] == '"') {
          word += '"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        word += c;
        ++i;
      }
    }
    words << word;
  }
}

bool isDirectlyRunnable(const QByteArray& firstBytes) {
  return firstBytes.startsWith(
             "\x7f"
             "ELF") ||
         firstBytes.startsWith("#!");
}

bool isDirectlyRunnable(const QString& file) {
  QFile f(file);
  return f.open(QIODevice::ReadOnly) && isDirectlyRunnable(f.read(4));
}

bool runAndWait(const QString& program, const QStringList& arguments, int& exitCode) {
  std::vector<QByteArray> storage;
  storage.push_back(QFile::encodeName(program));
  for (const QString& argument : arguments) storage.push_back(QFile::encodeName(argument));
  std::vector<char*> argv;
  for (QByteArray& item : storage) argv.push_back(item.data());
  argv.push_back(nullptr);

  pid_t pid = 0;
  if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return false;
  exitCode = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
  return true;
}

Opening openingOf(const QString& file, const QString& parameters, const QString& installerProgram) {
  const QStringList split = splitCommandLine(parameters);
  if (file.endsWith(QLatin1String(".msi"), Qt::CaseInsensitive))
    return {installerProgram, QStringList{QStringLiteral("/i"), file} + split};
  if (isDirectlyRunnable(file)) return {file, split};
  return {QStringLiteral("xdg-open"), {file}};
}

bool openAndWait(const QString& file, const QString& parameters, const QString& installerProgram,
                 int& exitCode) {
  const Opening opening = openingOf(file, parameters, installerProgram);
  return runAndWait(opening.program, opening.arguments, exitCode);
}

}  // namespace ShellOpen
