#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "KeyedCollection.h"

class clsPJLOptionCategory;

// The option definitions: the categories in file order, keyed "x" + name.
extern KeyedCollection<std::shared_ptr<clsPJLOptionCategory>> gCategories;
// The catch-all category's name; set by the loader, never cleared.
extern QString gDefaultCategory;

namespace modPJLOpts {

// Loads the definitions from "pjl-<language id>.xml", else "pjl.xml", in the
// support folder. Does nothing when they were loaded before and `force` is false.
void Initialise(bool force);

// The first category whose option list names `optionName` (exact case), else
// the catch-all category; nullptr when there is neither.
clsPJLOptionCategory* FindCategory(const QString& optionName);
QStringList CategoryNames();
QStringList CategoryOptions(const QString& categoryName);
QString CategoryDescription(const QString& categoryName);

// The support folder: KVT_SUPPORT_DIR when set, else "support" beside the
// program. A non-empty override set here wins over both.
QString supportFolder();
void setSupportFolder(const QString& folder);

}  // namespace modPJLOpts
