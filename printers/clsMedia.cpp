#include "clsMedia.h"

#include "MlStringModule.h"
#include "RegObj.h"
#include "modLumasetCommon.h"

namespace {

QString mediaKey(const QString& prnName, const QString& mediaName) {
  return gRegRoot + QStringLiteral("Printers\\") + prnName + QStringLiteral("\\Media\\") + mediaName;
}

}  // namespace

bool clsMedia::SaveToReg(const QString& prnName) const {
  RegObj reg;
  reg.setRoot(HKEY_CURRENT_USER);
  reg.setKey(mediaKey(prnName, name));
  reg.DeleteKey();
  reg.setKey(mediaKey(prnName, name));
  bool ok = reg.haveWritePerms();
  ok = reg.setValue(QStringLiteral("frenchName"), frenchName) && ok;
  ok = reg.setValue(QStringLiteral("italianName"), italianName) && ok;
  ok = reg.setValue(QStringLiteral("germanName"), germanName) && ok;
  ok = reg.setValue(QStringLiteral("spainishName"), spainishName) && ok;
  ok = reg.setValue(QStringLiteral("portugueseName"), portugueseName) && ok;
  return ok;
}

QString clsMedia::localName() const {
  QString local;
  switch (gLanguageID) {
    case 1036:
      local = frenchName;
      break;
    case 1034:
      local = spainishName;
      break;
    case 1040:
      local = italianName;
      break;
    case 1031:
      local = germanName;
      break;
    case 2070:
      local = portugueseName;
      break;
    default:
      local = name;
      break;
  }
  return local.isEmpty() ? name : local;
}

bool clsMedia::LoadFromReg(const QString& prnName, const QString& mediaName) {
  name = mediaName;
  RegObj reg;
  reg.setRoot(HKEY_CURRENT_USER);
  reg.setKey(mediaKey(prnName, mediaName));
  frenchName = reg.value(QStringLiteral("frenchName")).toString();
  italianName = reg.value(QStringLiteral("italianName")).toString();
  germanName = reg.value(QStringLiteral("germanName")).toString();
  spainishName = reg.value(QStringLiteral("spainishName")).toString();
  portugueseName = reg.value(QStringLiteral("portugueseName")).toString();
  return true;
}
