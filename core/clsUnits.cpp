#include "clsUnits.h"

#include <cmath>

#include "MlStringModule.h"
#include "RegObj.h"
#include "modLumasetCommon.h"

namespace {

const QString kValueName = QStringLiteral("units");
const QString kMillimetres = QStringLiteral("mm");
constexpr int kInchesString = 106;

// Two decimals, a value exactly halfway going to the even digit.
double roundCents(double value) { return std::nearbyint(value * 100) / 100; }

void openBaseKey(RegObj& reg) {
  reg.setRoot(HKEY_CURRENT_USER);
  reg.setKey(gRegRoot);
}

}  // namespace

clsUnits::clsUnits() : choice{kMillimetres, QStringLiteral("cm"), GetResString(kInchesString)} {}

double clsUnits::printerUnits(double dimension) const { return roundCents(dimension / perInch()); }

double clsUnits::userUnits(double dimension) const { return roundCents(dimension * perInch()); }

bool clsUnits::LoadFromReg() {
  RegObj reg;
  openBaseKey(reg);
  name = reg.value(kValueName).toString();
  if (name.isEmpty()) name = kMillimetres;
  return true;
}

bool clsUnits::SaveToReg() {
  RegObj reg;
  openBaseKey(reg);
  return reg.setValue(kValueName, name);
}

// Any unit other than mm and cm is the inch, whatever language names it.
double clsUnits::perInch() const {
  const QString unit = name.trimmed().toUpper();
  if (unit == QStringLiteral("MM")) return 25.4;
  if (unit == QStringLiteral("CM")) return 2.54;
  return 1;
}
