#include "clsPJLOption.h"

#include <cmath>
#include <functional>

#include "MlStringModule.h"
#include "clsJob.h"
#include "clsPJLOptionCategory.h"
#include "clsPaperSizes.h"
#include "clsSettings.h"
#include "modPJLOpts.h"
#include "modRCF.h"

namespace {

QString withoutQuotes(const QString& text) { return QString(text).remove('"'); }

// The key of a value in the UI-name and description lists.
QString valueKey(const QString& value) { return QStringLiteral("x") + withoutQuotes(value).toUpper(); }

bool isBlankOrTab(QChar c) { return c == ' ' || c == '\t'; }

QString trimBlanksAndTabs(const QString& text) {
  qsizetype from = 0;
  qsizetype to = text.size();
  while (from < to && isBlankOrTab(text[from])) ++from;
  while (to > from && isBlankOrTab(text[to - 1])) --to;
  return text.mid(from, to - from);
}

template <typename T>
void addUnlessListed(KeyedCollection<T>& list, const QString& key, const T& item) {
  if (!list.contains(key)) list.insert(key, item);
}

// RCF entries: "XS" is the scale as a factor written "0.0##", "AS" and "AR"
// ask for automatic scaling and rotation.
QString pageScalingEntry(const QString& value) {
  if (value.compare(QLatin1String("AUTO"), Qt::CaseInsensitive) == 0) return QStringLiteral("AS=1");
  const double percent = modRCF::numericValue(value);
  if (percent < 1 || percent > 1000) return QStringLiteral("XS=1.0, AS=0, ");
  const auto thousandths = static_cast<qint32>(std::nearbyint(percent * 10));
  QString decimals = QStringLiteral("%1").arg(thousandths % 1000, 3, 10, QChar('0'));
  while (decimals.size() > 1 && decimals.endsWith('0')) decimals.chop(1);
  return QStringLiteral("XS=") + QString::number(thousandths / 1000) + '.' + decimals +
         QStringLiteral(", AS=0");
}

QString pageRotateEntry(const QString& value) {
  if (modRCF::numericValue(value) < 1 && !modRCF::trimBlanks(value).startsWith('0'))
    return QStringLiteral("AR=1");
  return QStringLiteral("RO=") + value + QStringLiteral(", AR=0");
}

// Only one digit of a roll or tray number is written.
QString mediaSourceEntry(const QString& value) {
  const QString kind = value.left(4).toUpper();
  const QString number = value.mid(4, 1);
  if (kind == QLatin1String("MANU")) return QStringLiteral("BY=1, RS=0");
  if (kind == QLatin1String("ROLL")) return QStringLiteral("RN=") + number + QStringLiteral(", RS=0");
  if (kind == QLatin1String("TRAY")) return QStringLiteral("TR=") + number + QStringLiteral(", RS=0");
  return QStringLiteral("RS=1");
}

QString finishingEntry(const QString& value) {
  const QString program = modRCF::trimBlanks(withoutQuotes(value));
  const bool bypass = program.isEmpty() || program.startsWith(QLatin1String("NO"), Qt::CaseInsensitive) ||
                      program.compare(QLatin1String("BYPASS"), Qt::CaseInsensitive) == 0;
  return bypass ? QStringLiteral("FO=0") : QStringLiteral("FO=1");
}

}  // namespace

clsPJLOption::clsPJLOption()
    : possibleValues_(std::make_shared<ValueList>()),
      possibleUIValues_(std::make_shared<TextList>()),
      possibleValueDescriptions_(std::make_shared<TextList>()),
      ml_RuntimeSupport(std::make_unique<MLRuntime::RuntimeSupport>()) {
  QObject::connect(
      ml_RuntimeSupport.get(), &MLRuntime::RuntimeSupport::LanguageChanged, ml_RuntimeSupport.get(),
      [this](int id, const QString& language) { ml_RuntimeSupport_LanguageChanged(id, language); });
  modPJLOpts::Initialise(false);
}

clsPJLOption::~clsPJLOption() = default;

QString clsPJLOption::withoutControls(const QString& text) {
  QString clean;
  clean.reserve(text.size());
  for (const QChar c : text)
    if (c.category() != QChar::Other_Control) clean.append(c);
  return clean;
}

clsPJLOption* clsPJLOption::definition() const {
  clsPJLOptionCategory* category = modPJLOpts::FindCategory(name);
  if (!category) return nullptr;
  const auto* found = category->Commands.jobOptions.find(name);
  return found ? found->get() : nullptr;
}

clsPJLOption* clsPJLOption::master() const {
  clsPJLOption* found = definition();
  return found == this ? nullptr : found;
}

bool clsPJLOption::listOnly() const { return !possibleValues_->contains(QStringLiteral("x")); }

void clsPJLOption::setQuoted(bool quoted) { quoted_ = quoted ? Yes : No; }

void clsPJLOption::setCausesReprocess(bool reprocess) { reprocess_ = reprocess ? Yes : No; }

// An unset flag is taken over once from the master definition and then kept.
bool clsPJLOption::resolveTriState(TriState& state, bool (clsPJLOption::*ask)()) {
  if (state == Unset) {
    if (clsPJLOption* definition = master()) state = (definition->*ask)() ? Yes : No;
  }
  return state == Yes;
}

bool clsPJLOption::quoted() { return resolveTriState(quoted_, &clsPJLOption::quoted); }

bool clsPJLOption::causesReprocess() { return resolveTriState(reprocess_, &clsPJLOption::causesReprocess); }

void clsPJLOption::storeValue(const QString& text) { value_ = withoutControls(text); }

void clsPJLOption::setValue(const QString& text) {
  storeValue(quoted() ? QStringLiteral("\"") + withoutQuotes(text) + QStringLiteral("\"") : text);
}

QString clsPJLOption::value() const { return value_; }

void clsPJLOption::RefreshValueLists() {
  if (possibleValues_->isEmpty()) {
    if (clsPJLOption* definition = master()) {
      possibleValues_ = definition->possibleValues_;
      possibleUIValues_ = definition->possibleUIValues_;
      possibleValueDescriptions_ = definition->possibleValueDescriptions_;
      default_ = definition->default_;
    }
  }
  RefreshPrinterLists();
}

void clsPJLOption::RefreshPrinterLists() {
  const QString option = name.toUpper();
  const bool media = option == QStringLiteral("PRINTMODE") || option == QStringLiteral("MEDIANAME");
  const bool plain = option == QStringLiteral("FINISHPROGID") || option == QStringLiteral("PAPER") ||
                     option == QStringLiteral("MEDIASOURCE") || option == QStringLiteral("LABELFONTOBJ");
  // A definition keeps the lists and default of its file: every working option starts from them.
  if ((!media && !plain) || definition() == this) return;
  // New lists: the shared definition lists are never changed through a working option.
  possibleValues_ = std::make_shared<ValueList>();
  possibleUIValues_ = std::make_shared<TextList>();
  possibleValueDescriptions_ = std::make_shared<TextList>();
  const clsPrinter* printer = gSettings && gJob ? gSettings->printers.printer(gJob->printerName) : nullptr;
  if (!printer) return;
  if (media) {
    for (const auto& entry : printer->mediaTypes) {
      const clsMedia& medium = entry.second;
      possValueDesc(medium.name, medium.localName(), medium.name.toUpper() == QStringLiteral("ANY"),
                    medium.localName());
    }
    return;
  }
  const auto addItems = [this](const KeyedCollection<QString>& items, const QString& defaultItem,
                               const std::function<bool(const QString&)>& offered) {
    for (const auto& entry : items)
      if (offered(entry.second))
        possValueDesc(entry.second, QString(), entry.second.toUpper() == defaultItem, entry.second);
  };
  const auto all = [](const QString&) { return true; };
  if (option == QStringLiteral("FINISHPROGID")) addItems(printer->finishProgs, QStringLiteral("BYPASS"), all);
  if (option == QStringLiteral("MEDIASOURCE")) addItems(printer->sources, QStringLiteral("AUTO"), all);
  if (option == QStringLiteral("LABELFONTOBJ")) addItems(printer->fonts, QStringLiteral("COURIER"), all);
  if (option == QStringLiteral("PAPER"))
    addItems(printer->sizes, QStringLiteral("ANY"),
             [](const QString& size) { return gSettings->ranges.isEnabled(size); });
}

QString clsPJLOption::Default() {
  RefreshValueLists();
  return default_;
}

QString clsPJLOption::uiDefault() {
  RefreshValueLists();
  const QString plainDefault = withoutQuotes(default_);
  const QString result = possibleUIValues_->value(valueKey(plainDefault));
  if (uiValue().isEmpty()) setUiValue(plainDefault);
  return result;
}

QString clsPJLOption::uiValue() {
  RefreshValueLists();
  const QString shown = possibleUIValues_->value(valueKey(value_));
  return shown.isEmpty() ? withoutQuotes(value_) : shown;
}

void clsPJLOption::setUiValue(const QString& text) {
  RefreshValueLists();
  const QVariant* listed = possibleValues_->find(valueKey(text));
  QString newValue = listed && listed->isValid() ? listed->toString() : text;
  if (name.toUpper() == QStringLiteral("PAGESCALING")) newValue.remove('%');
  storeValue(newValue);
}

void clsPJLOption::possValueDesc(const QString& possVal, const QString& uiVal, bool isDefault,
                                 const QString& possDesc) {
  const bool freeEntry = possVal.isEmpty();
  const QString key = QStringLiteral("x") + withoutQuotes(possVal.trimmed()).toUpper();
  QString sent = withoutControls(possVal);
  if (quoted() && !freeEntry) sent = QStringLiteral("\"") + withoutQuotes(sent) + QStringLiteral("\"");
  const QString shown = uiVal.isEmpty() ? withoutQuotes(sent) : uiVal;
  if (isDefault && !freeEntry) default_ = sent;
  addUnlessListed(*possibleValues_, QStringLiteral("x") + shown.toUpper(),
                  freeEntry ? QVariant() : QVariant(sent));
  addUnlessListed(*possibleUIValues_, key, shown);
  addUnlessListed(*possibleValueDescriptions_, key, possDesc);
}

const clsPJLOption::TextList& clsPJLOption::possibleValueDescriptions() {
  RefreshValueLists();
  return *possibleValueDescriptions_;
}

QString clsPJLOption::valueDescription() {
  if (possibleValueDescriptions_->isEmpty()) {
    if (clsPJLOption* definition = master())
      possibleValueDescriptions_ = definition->possibleValueDescriptions_;
  }
  const QString described = possibleValueDescriptions_->value(valueKey(value_));
  return described.isEmpty() ? possibleValueDescriptions_->value(QStringLiteral("x")) : described;
}

void clsPJLOption::setDescription(const QString& text) { description_ = text; }

QString clsPJLOption::description() {
  RefreshValueLists();
  return description_;
}

const clsPJLOption::TextList& clsPJLOption::possibleUIValues() {
  RefreshValueLists();
  return *possibleUIValues_;
}

const clsPJLOption::ValueList& clsPJLOption::possibleValues() {
  RefreshValueLists();
  return *possibleValues_;
}

QString clsPJLOption::category() const {
  const clsPJLOptionCategory* found = modPJLOpts::FindCategory(name);
  return found ? found->name : QString();
}

bool clsPJLOption::SetFromPJLString(const QString& PJLStr) {
  qsizetype start = 0;
  while (start < PJLStr.size() && isBlankOrTab(PJLStr[start])) ++start;
  if (PJLStr.size() - start <= 1) return false;
  const qsizetype eq = PJLStr.indexOf('=', start);
  if (eq < 0) return false;
  const QString newName = trimBlanksAndTabs(PJLStr.mid(start, eq - start));
  if (newName.isEmpty() || newName != withoutControls(newName)) return false;
  name = newName;
  setValue(trimBlanksAndTabs(PJLStr.mid(eq + 1)));
  return true;
}

bool clsPJLOption::SetFromString(const QString& line) {
  const qsizetype open = line.indexOf('"');
  if (open < 0) return false;
  const qsizetype close = line.indexOf(QStringLiteral("\","), open + 1);
  if (close < 0) return false;
  const QString newName = line.mid(open + 1, close - open - 1);
  if (newName != withoutControls(newName)) return false;
  name = newName;
  const qsizetype flag = close + 2;
  supported = flag < line.size() && line[flag].toUpper() == 'Y';
  const qsizetype valueStart = line.indexOf(',', flag);
  setValue(valueStart < 0 ? QString() : line.mid(valueStart + 1));
  return true;
}

QString clsPJLOption::GetPJLString() const {
  return QStringLiteral("@PJL SET ") + withoutControls(name) + QStringLiteral("=") + value_ +
         QStringLiteral("\r\n");
}

QString clsPJLOption::GetString() const {
  return QStringLiteral("\"") + name + QStringLiteral("\",") +
         (supported ? QStringLiteral("Y") : QStringLiteral("N")) + QStringLiteral(",") + value_;
}

std::unique_ptr<clsPJLOption> clsPJLOption::Clone() const {
  auto copy = std::make_unique<clsPJLOption>();
  copy->name = name;
  copy->supported = supported;
  copy->setValue(value_);
  return copy;
}

bool clsPJLOption::isJobOption() const {
  const clsPJLOptionCategory* found = modPJLOpts::FindCategory(name);
  return found && found->jobOptions;
}

bool clsPJLOption::isDocOption() const { return !isJobOption(); }

void clsPJLOption::ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language) {
  SetLanguage(LanguageID, Language);
}

qint16 clsPJLOption::GetRCFEntry(QString& RCFData) const {
  const QString upper = name.toUpper();
  if (upper == QLatin1String("ACCT_ACCTID")) {
    RCFData = QStringLiteral("AI=") + value_;
    return 2;
  }
  if (upper == QLatin1String("ACCT_USERID")) {
    RCFData = QStringLiteral("UI=") + value_;
    return 2;
  }
  if (upper == QLatin1String("RENDERMODE")) {
    RCFData = value_.toUpper() == QLatin1String("COLOR") ? QStringLiteral("CM=1") : QStringLiteral("CM=0");
    return 15;
  }
  if (upper == QLatin1String("PAGESCALING")) {
    RCFData = pageScalingEntry(value_);
    return 3;
  }
  if (upper == QLatin1String("PAGEROTATE")) {
    RCFData = pageRotateEntry(value_);
    return 3;
  }
  if (upper == QLatin1String("MEDIASOURCE")) {
    RCFData = mediaSourceEntry(value_);
    return 21;
  }
  if (upper == QLatin1String("PAPER")) {
    const std::unique_ptr<clsPaperSizes> sizes = modRCF::sheetSizes();
    const clsPaperSize* size = sizes->getSize(value_);
    if (!size || size->id < 0) return 0;
    RCFData = QStringLiteral("PF=") + QString::number(size->id);
    return 21;
  }
  if (upper == QLatin1String("FINISHPROGID")) {
    RCFData = finishingEntry(value_);
    return 22;
  }
  if (upper.startsWith(QLatin1String("APL_0"))) {
    RCFData = name.mid(7, 2) + '=' + value_;
    return *modRCF::toInteger(modRCF::numericValue(name.mid(4, 3)));
  }
  return -1;
}
