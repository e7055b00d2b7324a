#pragma once

#include <QString>
#include <QStringList>

// The user's measurement unit and conversion to and from the printer's unit,
// the inch.
class clsUnits {
 public:
  clsUnits();

  // "mm", "cm" and the inch in the language current at creation.
  QStringList choice;
  QString name = QStringLiteral("mm");

  // A length in the user's unit as inches, rounded to 2 decimals.
  double printerUnits(double dimension) const;
  // A length in inches in the user's unit, rounded to 2 decimals.
  double userUnits(double dimension) const;
  bool LoadFromReg();
  bool SaveToReg();

 private:
  // Millimetres or centimetres per inch; 1 for the inch itself.
  double perInch() const;
};
