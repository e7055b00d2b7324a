#include "FileDialog.h"

#include <QFileDialog>

#include "MessageBox.h"

namespace {

FileDialogAnswerer& fileDialogAnswerer() {
  static FileDialogAnswerer answerer;
  return answerer;
}

// Patterns as Qt matches them: "*.*" would ask for a dot, where every file is meant.
QString qtPatterns(const QString& patterns) {
  QStringList list = patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts);
  for (QString& pattern : list) {
    pattern = pattern.trimmed();
    if (pattern == QStringLiteral("*.*")) pattern = QStringLiteral("*");
  }
  return list.join(QLatin1Char(' '));
}

QStringList ask(QWidget* parent, const FileDialogRequest& request) {
  if (fileDialogAnswerer()) return fileDialogAnswerer()(request);
  if (isHeadless()) return {};
  const QString filter = qtFilter(request.filter);
  switch (request.kind) {
    case FileDialogRequest::OpenFiles:
      return QFileDialog::getOpenFileNames(parent, request.title, request.fileName, filter);
    case FileDialogRequest::SaveFile: {
      const QString file = QFileDialog::getSaveFileName(parent, request.title, request.fileName, filter);
      return file.isEmpty() ? QStringList() : QStringList{file};
    }
    case FileDialogRequest::OpenFile:
    default: {
      const QString file = QFileDialog::getOpenFileName(parent, request.title, request.fileName, filter);
      return file.isEmpty() ? QStringList() : QStringList{file};
    }
  }
}

QString askOne(QWidget* parent, const FileDialogRequest& request) {
  const QStringList chosen = ask(parent, request);
  return chosen.isEmpty() ? QString() : chosen.first();
}

}  // namespace

void setFileDialogAnswerer(FileDialogAnswerer answerer) { fileDialogAnswerer() = std::move(answerer); }

QString qtFilter(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList entries;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
    entries.append(QStringLiteral("%1 (%2)").arg(parts[i], qtPatterns(parts[i + 1])));
  return entries.join(QStringLiteral(";;"));
}

QString pickFileToOpen(QWidget* parent, const QString& title, const QString& fileName,
                       const QString& filter) {
  return askOne(parent, {FileDialogRequest::OpenFile, title, fileName, filter});
}

QStringList pickFilesToOpen(QWidget* parent, const QString& title, const QString& fileName,
                            const QString& filter) {
  return ask(parent, {FileDialogRequest::OpenFiles, title, fileName, filter});
}

QString pickFileToSave(QWidget* parent, const QString& title, const QString& fileName,
                       const QString& filter) {
  return askOne(parent, {FileDialogRequest::SaveFile, title, fileName, filter});
}
