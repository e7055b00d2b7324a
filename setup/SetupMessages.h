#pragma once

#include <QString>

// The message boxes of the setup's main flow.

// The usage box for the program at `programPath`.
void ShowUsageBox(const QString& programPath);

// An error box with the system's default caption.
void ShowSetupError(const QString& text);

// The error box for an archive error code (2 reading, 5 corrupted, else extracting).
void ShowArchiveError(int code);
