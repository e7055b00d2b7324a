#include "ProgramIcons.h"

#include <QFile>

namespace ProgramIcons {

namespace {

QString resourceOf(const QString& name) { return QStringLiteral(":/icons/") + name + QStringLiteral(".svg"); }

}  // namespace

QIcon picture(const QString& key) {
  const QString path = resourceOf(key.toLower());
  return QFile::exists(path) ? QIcon(path) : QIcon();
}

QIcon application() { return QIcon(resourceOf(QStringLiteral("kvtsubmit"))); }

}  // namespace ProgramIcons
