#pragma once

#include <QString>
#include <QStringList>

// Folder properties ("[SystemFolder]") and environment variables ("%HOME%")
// in the paths of the setup's configuration.

// The folder a property names, ending with "/"; empty when the desktop has no
// such folder. A name that is no property gives the name itself.
QString ResolveFolderProperty(const QString& name);

// `text` with every "[Name]" replaced by its folder and every "%VAR%" by the
// variable's value (empty when undefined). An opening "[" or "%" without its
// closing partner leaves the rest of the text as it stands.
QString ExpandFolderProperties(const QString& text);

// The roots of the fixed drives, in drive order.
QStringList ListFixedDrives();
