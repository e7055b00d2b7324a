#include "SetupMessages.h"

#include <QFileInfo>
#include <cstdio>

#include "MessageBox.h"
#include "SetupStrings.h"

namespace {

constexpr int kOptionsCaption = 140;
constexpr int kUsageText = 144;
constexpr int kCorrupted = 129;
constexpr int kReadError = 132;
constexpr int kExtractError = 133;
constexpr int kUnsafeFolder = 220;
constexpr int kFolderStillBusy = 221;
constexpr int kCannotStart = 223;
constexpr int kErrorCaption = 224;
constexpr int kProgramsNotAllowed = 227;
constexpr int kPointTmpdirElsewhere = 228;
constexpr int kCaptionLine = 274;

int archiveErrorText(int code) {
  switch (code) {
    case 2:
      return kReadError;
    case 5:
      return kCorrupted;
    default:
      return kExtractError;
  }
}

void reportOnStandardError(const QString& text) {
  std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

}  // namespace

void ShowUsageBox(const QString& programPath) {
  const QString fileName = QFileInfo(programPath).fileName();
  const qsizetype dot = fileName.lastIndexOf('.');
  const QString baseName = dot < 0 ? fileName : fileName.left(dot);
  MsgBox(setupText(kUsageText, {fileName}), MsgBoxStyle::Information | MsgBoxStyle::WholeLines,
         setupText(kOptionsCaption, {baseName}));
}

// The caption the user's own system would give an error box, in the setup's language.
void ShowSetupError(const QString& text) {
  MsgBox(text, MsgBoxStyle::Critical, SetupStrings::text(kErrorCaption));
}

void ShowArchiveError(int code) { ShowSetupError(SetupStrings::text(archiveErrorText(code))); }

QString setupText(int id, const QStringList& values) {
  const QString pattern = SetupStrings::text(id);
  QString text;
  qsizetype next = 0;
  for (qsizetype i = 0; i < pattern.size(); ++i) {
    const QChar kind = i + 1 < pattern.size() && pattern[i] == '%' ? pattern[i + 1] : QChar();
    if (kind == '%') {
      text += '%';
      ++i;
    } else if ((kind == 's' || kind == 'd') && next < values.size()) {
      text += values[next++];
      ++i;
    } else {
      text += pattern[i];
    }
  }
  return text;
}

QString captionLine(const QString& caption, const QString& text) {
  return setupText(kCaptionLine, {caption, text});
}

void ReportCaptioned(const QString& caption, const QString& text) {
  reportOnStandardError(captionLine(caption, text));
}

void ShowNoExecError(const QString& folder) {
  ShowSetupError(setupText(kProgramsNotAllowed, {folder}) + '\n' + SetupStrings::text(kPointTmpdirElsewhere));
}

void ShowCannotStart(const QString& program) { ShowSetupError(setupText(kCannotStart, {program})); }

void ShowUnsafeFolderError(const QString& folder) { ShowSetupError(setupText(kUnsafeFolder, {folder})); }

void ReportArchiveError(int code) { reportOnStandardError(SetupStrings::text(archiveErrorText(code))); }

void ReportFolderStillBusy(const QString& folder) {
  reportOnStandardError(setupText(kFolderStillBusy, {folder}));
}
