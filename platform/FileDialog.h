#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// What a file dialog asks the user for.
struct FileDialogRequest {
  enum Kind { OpenFile, OpenFiles, SaveFile };
  Kind kind = OpenFile;
  QString title;
  // The preset file name.
  QString fileName;
  // Pairs of description and patterns, all joined by "|": "Tickets|*.kvt|All Files|*.*".
  QString filter;
};

// A test's stand-in for the user at file dialogs: returns the chosen files,
// none for a cancelled dialog. Null restores the real dialogs.
using FileDialogAnswerer = std::function<QStringList(const FileDialogRequest& request)>;
void setFileDialogAnswerer(FileDialogAnswerer answerer);

// The filter in Qt's form: "Tickets (*.kvt);;All Files (*)".
QString qtFilter(const QString& filter);

// Each returns what the user chose, empty when the dialog was cancelled. Where
// nobody can answer (a headless platform without a test's answerer) the
// dialog counts as cancelled.
// One existing file.
QString pickFileToOpen(QWidget* parent, const QString& title, const QString& fileName, const QString& filter);
// One or more existing files, in the order the dialog gives them.
QStringList pickFilesToOpen(QWidget* parent, const QString& title, const QString& fileName,
                            const QString& filter);
// A file to write, after the dialog's own question when it exists.
QString pickFileToSave(QWidget* parent, const QString& title, const QString& fileName, const QString& filter);
