// KVTsubmit: the application object and the start-up; the event loop runs while the main window is shown.

#include <QApplication>

#include "DisplayPlatform.h"
#include "modMain.h"

int main(int argc, char** argv) {
  DisplayPlatform::runHeadlessWithoutDisplay(argc, argv);
  QApplication app(argc, argv);
  if (const auto status = modMain::Main()) return *status;
  return app.exec();
}
