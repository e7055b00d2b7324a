#pragma once

#include <QByteArray>
#include <QStringList>

// Qt aborts when its default platform finds no display (a server reached over
// SSH, a container, a cron job). Where none is named and the user chose no
// platform, the programs run headless instead, as they do with offscreen.
namespace DisplayPlatform {

// "offscreen" when neither DISPLAY nor WAYLAND_DISPLAY names a display and no
// platform is chosen (QT_QPA_PLATFORM, or Qt's -platform argument); else empty,
// and Qt's own choice stands.
QByteArray headlessFallback(const QByteArray& display, const QByteArray& waylandDisplay,
                            const QByteArray& chosenPlatform, const QStringList& arguments);

// Applies that fallback to this process; called before the application object exists.
void runHeadlessWithoutDisplay(int argc, char** argv);

}  // namespace DisplayPlatform
