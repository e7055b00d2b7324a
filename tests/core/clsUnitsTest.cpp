#include <gtest/gtest.h>

#include "MlStringModule.h"
#include "clsUnits.h"

TEST(clsUnits, ChoicesAndDefault) {
  SetLanguage(9, "English");
  clsUnits units;
  EXPECT_EQ(units.choice, QStringList({"mm", "cm", "Inches"}));
  EXPECT_EQ(units.name, "mm");
}

TEST(clsUnits, ToInches) {
  clsUnits units;
  EXPECT_EQ(units.printerUnits(25.4), 1);
  units.name = "  Mm ";
  EXPECT_EQ(units.printerUnits(25.4), 1);
  units.name = "cm";
  EXPECT_EQ(units.printerUnits(1), 0.39);
  EXPECT_EQ(units.printerUnits(2.54), 1);
  units.name = "Inches";
  EXPECT_EQ(units.printerUnits(25.4), 25.4);
  units.name = "Pouces";
  EXPECT_EQ(units.printerUnits(25.4), 25.4);
}

TEST(clsUnits, FromInches) {
  clsUnits units;
  EXPECT_EQ(units.userUnits(1), 25.4);
  EXPECT_EQ(units.userUnits(0.5), 12.7);
  units.name = "CM";
  EXPECT_EQ(units.userUnits(1), 2.54);
  units.name = "Inches";
  EXPECT_EQ(units.userUnits(3.14159), 3.14);
}

TEST(clsUnits, HalfwayRoundsToEven) {
  clsUnits units;
  units.name = "Inches";
  EXPECT_EQ(units.printerUnits(0.125), 0.12);
  EXPECT_EQ(units.printerUnits(0.375), 0.38);
  EXPECT_EQ(units.userUnits(0.625), 0.62);
  EXPECT_EQ(units.userUnits(-0.125), -0.12);
  units.name = "mm";
  // 3.175 mm is exactly 0.125 inch.
  EXPECT_EQ(units.printerUnits(3.175), 0.12);
}
