// KVTsubmit: the application object and the start-up; the event loop runs while the main window is shown.

#include <QApplication>

#include "DisplayPlatform.h"
#include "modMain.h"
#include "StandardDescriptors.h"

int main(int argc, char** argv) {
  StandardDescriptors::openClosedOnNull();
  DisplayPlatform::runHeadlessWithoutDisplay(argc, argv);
  QApplication app(argc, argv);
  if (const auto status = modMain::Main()) return *status;
  return app.exec();
}
