#pragma once

#include <QString>
#include <QStringList>

// The message boxes of the setup's main flow.

// The usage box for the program at `programPath`.
void ShowUsageBox(const QString& programPath);

// An error box, captioned "Error" in the setup's language as the user's own system
// would caption it.
void ShowSetupError(const QString& text);

// The error box for an archive error code (2 reading, 5 corrupted, else extracting).
void ShowArchiveError(int code);

// The text `id` with its "%s" (and "%d") placeholders filled in order.
QString setupText(int id, const QStringList& values);

// `caption` and `text` on one line, joined as the setup's language joins them
// ("Error: ..."; French sets a space before the colon).
QString captionLine(const QString& caption, const QString& text);

// That line on standard error, for a run that no one sees.
void ReportCaptioned(const QString& caption, const QString& text);

// Tells the user that programs cannot run from `folder` and that TMPDIR can point elsewhere.
void ShowNoExecError(const QString& folder);

// Tells the user that `program`, which the setup was to run, could not be started.
void ShowCannotStart(const QString& program);

// Tells the user that the private folder `folder` is not safe to use and is to be removed.
void ShowUnsafeFolderError(const QString& folder);

// The text of an archive error code on standard error, for a run that no box may stop.
void ReportArchiveError(int code);

// An unattended run that stopped waiting for another run in `folder` says so
// on standard error: no window may wait for a user who is not there.
void ReportFolderStillBusy(const QString& folder);
