// KVTsubmit: the main window on an empty job, until the start-up procedure takes its place.

#include <QApplication>

#include "MlStringModule.h"
#include "clsJob.h"
#include "clsSettings.h"
#include "frmMain.h"
#include "modLumasetCommon.h"
#include "modPJL.h"
#include "modPJLOpts.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  commonInit();
  modPJL::Init();
  modPJLOpts::Initialise(false);
  InitLocalisation();
  gSettings = std::make_unique<clsSettings>();
  gSettings->LoadFromReg();
  gJob = std::make_unique<clsJob>();
  auto* window = new frmMain;
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->show();
  return app.exec();
}
