#pragma once

#include <QStringList>

// The paper-size ranges and which of them the user has enabled.
class clsSizes {
 public:
  clsSizes();

  // "ISO", "ANSI", "ARCH", "Roll"; never changed.
  QStringList ranges;
  // The enabled ranges; all four after creation.
  QStringList enabled;

  // True when the size belongs to an enabled range; "ANY" and "BESTFIT" count
  // as belonging while any range is enabled.
  bool isEnabled(const QString& SizeName) const;
  bool LoadFromReg();
  bool SaveToReg() const;
};
