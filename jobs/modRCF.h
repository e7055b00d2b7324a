#pragma once

#include <QString>
#include <memory>
#include <optional>

class clsPaperSizes;

// What the two directions of the RCF conversion share.
namespace modRCF {

// The number at the start of the text (blanks before it allowed, optional
// sign, digits, one "." with decimals); 0 when the text starts otherwise.
// Too many digits give an infinite value.
double numericValue(const QString& text);

// The value rounded half to even; nothing when it lies outside the type's range.
std::optional<qint32> toLong(double value);
std::optional<qint16> toInteger(double value);

// The text without blanks at either end.
QString trimBlanks(const QString& text);

// A section number with at least three digits: 2 gives "002".
QString sectionText(qint16 section);

// A private catalogue holding the sheet sizes of the catalogue file.
std::unique_ptr<clsPaperSizes> sheetSizes();

}  // namespace modRCF
