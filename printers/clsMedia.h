#pragma once

#include <QString>

// One media type of a printer: its English name and its names in five more languages.
class clsMedia {
 public:
  QString name;
  QString frenchName;
  QString spainishName;
  QString italianName;
  QString germanName;
  QString portugueseName;
  // 1-based position in the printer's list, set when the list is loaded.
  qint32 index = 0;

  bool SaveToReg(const QString& prnName) const;
  // The name in the current interface language; `name` when that one is empty.
  QString localName() const;
  bool LoadFromReg(const QString& prnName, const QString& mediaName);
};
