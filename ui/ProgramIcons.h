#pragma once

#include <QIcon>
#include <QString>

// The program's own pictures, compiled in: every command has one that depicts
// it, the same at every start and whatever the desktop's icon theme.
namespace ProgramIcons {

// The picture of a command by its toolbar key ("New", "Open", "Save", "Print",
// "Cut", "Copy", "Paste", "Insert", "Delete", "View"), or of a skipped
// document ("Skip"); a null icon for a name without a picture.
QIcon picture(const QString& key);

// The program's icon, carried by the main window, its dialogs and the About box.
QIcon application();

}  // namespace ProgramIcons
