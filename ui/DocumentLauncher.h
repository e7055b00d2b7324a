#pragma once

#include <QString>
#include <functional>

// How a document is shown: a PDF through the desktop's opener, anything else
// through the viewer's command line. Tests put their own launcher in its place.
namespace DocumentLauncher {

struct Launcher {
  // Opens the file with the program the desktop associates with it; does not wait.
  std::function<void(const QString& file)> openWithShell;
  // Starts a command line (a quoted program path and arguments) as a new process.
  std::function<void(const QString& commandLine)> runCommand;
};

const Launcher& current();
// Replaces the launcher; an empty one brings the desktop's back.
void setLauncher(Launcher launcher);

}  // namespace DocumentLauncher
