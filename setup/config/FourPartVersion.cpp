#include "FourPartVersion.h"

#include <QStringList>
#include <array>
#include <limits>

namespace {

bool isDigit(QChar c) { return c >= '0' && c <= '9'; }

std::array<qint32, 4> partsOf(const FourPartVersion& v) { return {v.major, v.minor, v.build, v.revision}; }

}  // namespace

FourPartVersion FourPartVersion::Parse(const QString& text) {
  std::array<qint32, 4> parts{};
  int count = 0;
  qsizetype pos = 0;
  while (pos < text.size() && !isDigit(text[pos])) ++pos;
  while (count < 4 && pos < text.size()) {
    qint64 value = 0;
    for (; pos < text.size() && isDigit(text[pos]); ++pos)
      value = std::min<qint64>(value * 10 + text[pos].digitValue(), std::numeric_limits<qint32>::max());
    parts[count++] = qint32(value);
    while (pos < text.size() && !isDigit(text[pos])) ++pos;
  }
  return {parts[0], parts[1], parts[2], parts[3], count};
}

bool FourPartVersion::IsEmpty() const { return major == 0 && minor == 0 && build == 0 && revision == 0; }

int FourPartVersion::Compare(const FourPartVersion& other) const {
  const auto mine = partsOf(*this);
  const auto theirs = partsOf(other);
  for (int i = 0; i < 4; ++i)
    if (mine[i] != theirs[i]) return mine[i] < theirs[i] ? -1 : 1;
  return 0;
}

QString FourPartVersion::Format() const {
  const auto parts = partsOf(*this);
  int kept = 4;
  while (kept > 0 && (parts[kept - 1] == 0 || parts[kept - 1] == 65535)) --kept;
  if (kept == 0) return QStringLiteral("0.0.0.0");
  QStringList texts;
  for (int i = 0; i < kept; ++i) texts.append(QString::number(parts[i]));
  return texts.join('.');
}
