#include "DisplayPlatform.h"

#include <QFile>

namespace DisplayPlatform {

QByteArray headlessFallback(const QByteArray& display, const QByteArray& waylandDisplay,
                            const QByteArray& chosenPlatform, const QStringList& arguments) {
  if (!display.isEmpty() || !waylandDisplay.isEmpty() || !chosenPlatform.isEmpty()) return {};
  // Qt reads its own options with one dash or two.
  if (arguments.contains(QStringLiteral("-platform")) || arguments.contains(QStringLiteral("--platform")))
    return {};
  return QByteArrayLiteral("offscreen");
}

void runHeadlessWithoutDisplay(int argc, char** argv) {
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QFile::decodeName(argv[i]);
  const QByteArray platform =
      headlessFallback(qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY"), qgetenv("QT_QPA_PLATFORM"), arguments);
  if (!platform.isEmpty()) qputenv("QT_QPA_PLATFORM", platform);
}

}  // namespace DisplayPlatform
