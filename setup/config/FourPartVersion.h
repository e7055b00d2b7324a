#pragma once

#include <QString>
#include <QtGlobal>

// A version of up to four parts, as configurations and version blocks give
// them. All parts zero is the empty version (no version at all).
struct FourPartVersion {
  qint32 major = 0;
  qint32 minor = 0;
  qint32 build = 0;
  qint32 revision = 0;
  int count = 0;  // the parts the text held

  // The digit runs of `text`, any other characters separating them; a run too
  // long for a part saturates at the largest 32-bit value.
  static FourPartVersion Parse(const QString& text);

  bool IsEmpty() const;
  // Negative, zero or positive as this version is lower than, equal to or higher than `other`.
  int Compare(const FourPartVersion& other) const;
  // The parts joined by ".", trailing parts of 0 or 65535 left out; "0.0.0.0" when none is left.
  QString Format() const;
};
