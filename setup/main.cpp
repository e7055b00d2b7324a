#include <QApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QTranslator>

#include "BootstrapperMain.h"
#include "BrokenPipe.h"
#include "ButtonCaptions.h"
#include "DisplayPlatform.h"
#include "FixedDrives.h"
#include "MessageBox.h"
#include "SetupCommandLine.h"
#include "SetupMessages.h"
#include "SetupStrings.h"
#include "StandardDescriptors.h"

int main(int argc, char** argv) {
  StandardDescriptors::openClosedOnNull();
  // A relaunched copy outlives the first process and the pipe its error output may go to.
  BrokenPipe::failWritesInsteadOfEnding();
  // Taken before Qt removes the options it knows from argv.
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QFile::decodeName(argv[i]);
  DisplayPlatform::runHeadlessWithoutDisplay(argc, argv);
  QApplication app(argc, argv);
  // Qt's own texts (the edit menus of text fields) speak the language of the setup's texts
  // where Qt has them; the buttons of every box and dialog carry the setup's own words.
  QTranslator qtTexts;
  if (qtTexts.load(QStringLiteral("qtbase_") + SetupStrings::languageCode(),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    app.installTranslator(&qtTexts);
  ButtonCaptions::wordStandardButtons();
  setHeadlessLine(captionLine);
  // The stand-in's mount table can be named, as its system folder can.
  if (const QString mounts = qEnvironmentVariable("KVT_MOUNT_TABLE"); !mounts.isEmpty())
    FixedDrives::setMountTable(mounts);
  // Exit codes are eight bits wide: -1 leaves as 255.
  return BootstrapperMain(SetupCommandLine::join(args)) & 0xFF;
}
