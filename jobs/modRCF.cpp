#include "modRCF.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "clsPaperSizes.h"

namespace {

bool isDigit(QChar c) { return c >= '0' && c <= '9'; }

template <typename T>
std::optional<T> rounded(double value) {
  const double whole = std::nearbyint(value);
  if (!(whole >= std::numeric_limits<T>::min() && whole <= std::numeric_limits<T>::max()))
    return std::nullopt;
  return static_cast<T>(whole);
}

}  // namespace

double modRCF::numericValue(const QString& text) {
  qsizetype i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  std::string number;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    if (text[i] == '-') number += '-';
    ++i;
  }
  bool anyDigit = false;
  bool bigWhole = false;
  for (; i < text.size() && isDigit(text[i]); ++i) {
    number += text[i].toLatin1();
    anyDigit = true;
    bigWhole = bigWhole || text[i] != '0';
  }
  if (i < text.size() && text[i] == '.') {
    number += '.';
    for (++i; i < text.size() && isDigit(text[i]); ++i) {
      number += text[i].toLatin1();
      anyDigit = true;
    }
  }
  if (!anyDigit) return 0;
  double value = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error == std::errc::result_out_of_range) {
    // Only a huge whole part overflows; a tiny fraction reads as 0.
    const double huge = bigWhole ? std::numeric_limits<double>::infinity() : 0.0;
    return number.front() == '-' ? -huge : huge;
  }
  return value;
}

std::optional<qint32> modRCF::toLong(double value) { return rounded<qint32>(value); }

std::optional<qint16> modRCF::toInteger(double value) { return rounded<qint16>(value); }

QString modRCF::trimBlanks(const QString& text) {
  qsizetype from = 0;
  qsizetype to = text.size();
  while (from < to && text[from] == ' ') ++from;
  while (to > from && text[to - 1] == ' ') --to;
  return text.mid(from, to - from);
}

QString modRCF::sectionText(qint16 section) {
  const QString digits = QStringLiteral("%1").arg(std::abs(int(section)), 3, 10, QChar('0'));
  return section < 0 ? QStringLiteral("-") + digits : digits;
}

std::unique_ptr<clsPaperSizes> modRCF::sheetSizes() {
  auto sizes = std::make_unique<clsPaperSizes>();
  sizes->GetSheetDefaults(false);
  return sizes;
}
