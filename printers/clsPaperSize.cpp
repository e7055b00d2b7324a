#include "clsPaperSize.h"

#include "MlStringModule.h"
#include "RegObj.h"
#include "modLumasetCommon.h"

namespace {

QString sizeKey(const QString& sizeName, const QString& queue) {
  return paperSizesKey(queue) + QLatin1Char('\\') + sizeName;
}

// A stored number: 0 when the value is missing; false when it is not a number.
bool readNumber(RegObj& reg, const QString& valueName, double& number) {
  const QVariant value = reg.value(valueName);
  number = 0;
  if (!value.isValid()) return true;
  const auto read = finiteNumber(value.toString());
  number = read.value_or(0);
  return read.has_value();
}

}  // namespace

QString sizeText(double millimetres) {
  return QString::number(millimetres, 'g', QLocale::FloatingPointShortest);
}

QString paperSizesKey(const QString& queue) {
  if (queue.isEmpty()) return gRegRoot + QStringLiteral("PaperSizes");
  return gRegRoot + QStringLiteral("PrintQueues\\") + queue + QStringLiteral("\\PaperSizes");
}

clsPaperSize::clsPaperSize() : ml_RuntimeSupport(std::make_unique<MLRuntime::RuntimeSupport>()) {
  QObject::connect(ml_RuntimeSupport.get(), &MLRuntime::RuntimeSupport::LanguageChanged,
                   ml_RuntimeSupport.get(), [this](int LanguageID, const QString& Language) {
                     ml_RuntimeSupport_LanguageChanged(LanguageID, Language);
                   });
}

clsPaperSize::~clsPaperSize() = default;

QString clsPaperSize::getDesc() const { return desc.isEmpty() ? name : desc; }

bool clsPaperSize::SaveToReg(const QString& queue) const {
  RegObj reg;
  reg.setRoot(HKEY_CURRENT_USER);
  reg.setKey(sizeKey(name, queue));
  bool ok = reg.setValue(QStringLiteral("Width"), sizeText(width));
  ok = reg.setValue(QStringLiteral("Height"), sizeText(height)) && ok;
  ok = reg.setValue(QStringLiteral("id"), id) && ok;
  ok = reg.setValue(QStringLiteral("desc"), desc) && ok;
  return ok;
}

bool clsPaperSize::LoadFromReg(const QString& sizeName, const QString& queue) {
  name = sizeName;
  RegObj reg;
  reg.setRoot(HKEY_CURRENT_USER);
  reg.setKey(sizeKey(sizeName, queue));
  bool ok = readNumber(reg, QStringLiteral("Width"), width);
  ok = readNumber(reg, QStringLiteral("Height"), height) && ok;
  double storedId = 0;
  const auto wholeId = readNumber(reg, QStringLiteral("id"), storedId) ? roundedLong(storedId) : std::nullopt;
  if (wholeId) id = *wholeId;
  ok = wholeId.has_value() && ok;
  desc = reg.value(QStringLiteral("desc")).toString();
  return ok;
}

void clsPaperSize::ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language) {
  SetLanguage(LanguageID, Language);
}
