#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class clsJob;

// The current folder when the program started; the Insert Documents dialog starts there.
extern QString gStartDir;

// The program's start-up: the command line, the shared services, the settings,
// the current job and the main window.
namespace modMain {

// Exit statuses of a run that ends during start-up (a caller must be able to tell why).
constexpr int ExitSuccess = 0;
constexpr int ExitPrintFailed = 1;
constexpr int ExitSettingsCancelled = 2;
constexpr int ExitUsage = 3;
// A document named on the command line (or by its ticket) was refused; the rest went out.
constexpr int ExitDocumentRefused = 4;

// What the switches asked for beyond the job itself.
struct SwitchFlags {
  bool print = false;
  bool quit = false;
  // An unknown switch: the usage box was shown and the program is to end.
  bool usage = false;
};

// Runs the start-up on the program's own command line. Returns the exit status
// when the program is to end now; nothing when the main window is shown and the
// event loop takes over.
std::optional<int> Main();
std::optional<int> Main(const QStringList& arguments);

// An argument that is a switch: it begins with "/" or "-" and either names one
// of the switches or holds no further "/" (so paths such as "/home/ann/a.kvt"
// or "-plans/today.kvt" are values).
bool isSwitch(const QString& argument);

// First pass: the log switch alone.
void ReadLogSwitch(const QStringList& arguments);
// Second pass: every switch, applied to `job`. Stops at an unknown switch after the usage box.
SwitchFlags ApplySwitches(const QStringList& arguments, clsJob& job);

// The usage text, and the box that shows it.
QString CommandLineHelpText();
void ShowCommandLineHelp();

// Returns true once gSettings holds valid settings; false when the user
// cancelled the settings dialog while they were still not valid (the program is to end).
bool EnsureSettings(bool skipFirstShow);

}  // namespace modMain
