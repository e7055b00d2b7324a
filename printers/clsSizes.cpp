#include "clsSizes.h"

#include "RegObj.h"
#include "modLumasetCommon.h"

namespace {

QString rangesKey() { return gRegRoot + QStringLiteral("Ranges"); }

// A registry value that holds the Boolean True, as text or as a number.
bool isTrue(const QVariant& data) {
  const QString text = data.toString().trimmed();
  if (text.compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0) return true;
  const auto number = finiteNumber(text);
  return number && *number != 0;
}

}  // namespace

clsSizes::clsSizes()
    : ranges{QStringLiteral("ISO"), QStringLiteral("ANSI"), QStringLiteral("ARCH"), QStringLiteral("Roll")},
      enabled(ranges) {}

bool clsSizes::isEnabled(const QString& SizeName) const {
  const QString size = SizeName.toUpper();
  for (const QString& range : enabled)
    if (size == QStringLiteral("ANY") || size == QStringLiteral("BESTFIT") || size.contains(range.toUpper()))
      return true;
  return false;
}

bool clsSizes::LoadFromReg() {
  RegObj reg;
  reg.setKey(rangesKey());
  const auto values = reg.AllValues();
  if (values.isEmpty()) return true;
  enabled.clear();
  for (const auto& [name, data] : values)
    if (isTrue(data)) enabled.append(name);
  return true;
}

bool clsSizes::SaveToReg() const {
  RegObj reg;
  reg.setKey(rangesKey());
  reg.DeleteKey();
  reg.setKey(rangesKey());
  bool ok = true;
  for (const QString& range : enabled) ok = reg.setValue(range, true) && ok;
  return ok;
}
