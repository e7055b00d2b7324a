#include "SetupMessages.h"

#include <QFileInfo>

#include "MessageBox.h"
#include "SetupStrings.h"

namespace {

constexpr int kOptionsCaption = 140;
constexpr int kUsageText = 144;
constexpr int kCorrupted = 129;
constexpr int kReadError = 132;
constexpr int kExtractError = 133;

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

}  // namespace

void ShowUsageBox(const QString& programPath) {
  const QString fileName = QFileInfo(programPath).fileName();
  const qsizetype dot = fileName.lastIndexOf('.');
  const QString baseName = dot < 0 ? fileName : fileName.left(dot);
  MsgBox(SetupStrings::text(kUsageText).arg(fileName), MsgBoxStyle::Information,
         SetupStrings::text(kOptionsCaption).arg(baseName));
}

void ShowSetupError(const QString& text) { MsgBox(text, MsgBoxStyle::Critical, QStringLiteral("Error")); }

void ShowArchiveError(int code) { ShowSetupError(SetupStrings::text(archiveErrorText(code))); }
