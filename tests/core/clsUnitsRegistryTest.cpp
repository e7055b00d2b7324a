#include <gtest/gtest.h>

#include "RegObj.h"
#include "clsUnits.h"
#include "clsViewer.h"
#include "modLumasetCommon.h"

namespace {

const QString kRoot = QStringLiteral("Software\\Pelva\\Skyplain Vondir\\Vondir Submit\\");

QVariant baseValue(const QString& name) {
  RegObj reg;
  reg.setRoot(HKEY_CURRENT_USER);
  reg.setKey(kRoot);
  return reg.value(name);
}

}  // namespace

TEST(clsUnitsRegistry, MissingOrEmptyUnitsAreMillimetres) {
  gRegRoot = kRoot;
  clsUnits units;
  units.name = "cm";
  EXPECT_TRUE(units.LoadFromReg());
  EXPECT_EQ(units.name, "mm");
  units.name = "";
  EXPECT_TRUE(units.SaveToReg());
  units.name = "cm";
  EXPECT_TRUE(units.LoadFromReg());
  EXPECT_EQ(units.name, "mm");
}

TEST(clsUnitsRegistry, ChosenUnitRoundTripsAsText) {
  gRegRoot = kRoot;
  clsUnits units;
  units.name = "Pouces";
  EXPECT_TRUE(units.SaveToReg());
  EXPECT_EQ(baseValue("units").toString(), "Pouces");
  clsUnits back;
  EXPECT_TRUE(back.LoadFromReg());
  EXPECT_EQ(back.name, "Pouces");
}
