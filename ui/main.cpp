// KVTsubmit: the application object and the start-up; the event loop runs while the main window is shown.

#include <QApplication>

#include "BrokenPipe.h"
#include "DisplayPlatform.h"
#include "StandardDescriptors.h"
#include "modMain.h"

int main(int argc, char** argv) {
  StandardDescriptors::openClosedOnNull();
  BrokenPipe::failWritesInsteadOfEnding();
  DisplayPlatform::runHeadlessWithoutDisplay(argc, argv);
  QApplication app(argc, argv);
  if (const auto status = modMain::Main()) return *status;
  return app.exec();
}
