#include "clsPJLOptionSet.h"

#include <QFile>

#include "Ansi.h"
#include "MlStringModule.h"
#include "clsPJLOptionCategory.h"
#include "clsPaperSizes.h"
#include "modPJLOpts.h"
#include "modRCF.h"

namespace {

QString& translationTable() {
  static QString path;
  return path;
}

// One pair of double quotes is taken off a text that is a string.
QVariant withoutOuterQuotes(const QVariant& value) {
  if (value.typeId() != QMetaType::QString) return value;
  QString text = value.toString();
  if (text.startsWith('"')) text.remove(0, 1);
  if (text.endsWith('"')) text.chop(1);
  return text;
}

// A field of the translator's table: "£" stands for a comma, "~" for a double quote.
QString decodeField(QString field) {
  if (field.size() >= 2 && field.startsWith('"') && field.endsWith('"'))
    field = field.mid(1, field.size() - 2);
  return field.replace(QChar(0x00A3), ',').replace('~', '"');
}

QString lineWithoutEnd(const QByteArray& line) {
  QByteArray text = line;
  while (text.endsWith('\n') || text.endsWith('\r')) text.chop(1);
  return fromAnsi(text);
}

QString translated(const QString& text) {
  QString unused1;
  QString unused2;
  QString translation;
  return clsPJLOptionSet::lookupPJL(text, unused1, unused2, translation) ? translation : text;
}

const QString kCrLf = QStringLiteral("\r\n");

// The entries of an RCF section line as options: a conversion that gives
// nothing sets nothing, so a value too large to convert skips its entry.
using RCFConversion = std::optional<QString> (*)(const QString& value, double number,
                                                 const clsPaperSizes& sizes);

struct RCFRule {
  const char* code;
  const char* option;  // null: the entry is ignored
  RCFConversion convert;
};

std::optional<QString> unchanged(const QString& value, double, const clsPaperSizes&) { return value; }

std::optional<QString> wholeText(std::optional<qint32> whole) {
  if (!whole) return std::nullopt;
  return QString::number(*whole);
}

std::optional<QString> textWhen(bool condition, const char* text) {
  if (!condition) return std::nullopt;
  return QString::fromLatin1(text);
}

const RCFRule kRCFRules[] = {
    {"002CO", "COPIES", unchanged},
    {"002AI", "ACCT_ACCTID", unchanged},
    {"002UI", "ACCT_USERID", unchanged},
    {"002JB", nullptr, nullptr},
    {"003XS", "PAGESCALING",
     [](const QString&, double number, const clsPaperSizes&) {
       return wholeText(modRCF::toLong(number * 100));
     }},
    {"003AS", "PAGESCALING",
     [](const QString&, double number, const clsPaperSizes&) { return textWhen(number > 0, "AUTO"); }},
    {"003RO", "PAGEROTATE",
     [](const QString&, double number, const clsPaperSizes&) { return wholeText(modRCF::toLong(number)); }},
    {"003AR", "PAGEROTATE",
     [](const QString&, double number, const clsPaperSizes&) { return textWhen(number > 0, "AUTO"); }},
    {"015CM", "RENDERMODE",
     [](const QString&, double number, const clsPaperSizes&) {
       return std::optional<QString>(number == 1 ? QStringLiteral("COLOR") : QStringLiteral("GREYSCALE"));
     }},
    {"021BY", "MEDIASOURCE",
     [](const QString&, double number, const clsPaperSizes&) { return textWhen(number == 1, "MANUAL_FD"); }},
    {"021RN", "MEDIASOURCE",
     [](const QString& value, double, const clsPaperSizes&) {
       return std::optional<QString>(QStringLiteral("ROLL") + value);
     }},
    {"021TR", "MEDIASOURCE",
     [](const QString& value, double, const clsPaperSizes&) {
       return std::optional<QString>(QStringLiteral("TRAY") + value);
     }},
    {"021RS", "MEDIASOURCE",
     [](const QString&, double number, const clsPaperSizes&) { return textWhen(number == 1, "AUTO"); }},
    {"021PF", "PAPER",
     [](const QString&, double number, const clsPaperSizes& sizes) -> std::optional<QString> {
       const std::optional<qint16> id = modRCF::toInteger(number);
       if (!id) return std::nullopt;
       return sizes.getSizeID(*id);
     }},
    {"021AF", "PAPER",
     [](const QString&, double number, const clsPaperSizes&) { return textWhen(number == 1, "ANY"); }},
    {"022FO", "FINISHPROGID",
     [](const QString&, double number, const clsPaperSizes&) {
       return std::optional<QString>(number == 0 ? QStringLiteral("BYPASS")
                                                 : QStringLiteral("DIN C 210x297"));
     }},
};

}  // namespace

clsPJLOptionSet::clsPJLOptionSet() : ml_RuntimeSupport(std::make_unique<MLRuntime::RuntimeSupport>()) {
  QObject::connect(
      ml_RuntimeSupport.get(), &MLRuntime::RuntimeSupport::LanguageChanged, ml_RuntimeSupport.get(),
      [this](int id, const QString& language) { ml_RuntimeSupport_LanguageChanged(id, language); });
  modPJLOpts::Initialise(false);
}

clsPJLOptionSet::~clsPJLOptionSet() = default;

clsPJLOption* clsPJLOptionSet::option(const QString& name) const {
  const auto* found = jobOptions.find(name);
  return found ? found->get() : nullptr;
}

QVariant clsPJLOptionSet::pjlOpt(const QString& OptionName, const QVariant& defaultValue) {
  return lookupValue(OptionName.toUpper(), defaultValue);
}

QVariant clsPJLOptionSet::pjlOpt(QString& OptionName, const QVariant& defaultValue) {
  OptionName = OptionName.toUpper();
  return lookupValue(OptionName, defaultValue);
}

// MEDIANAME and PRINTMODE stand in for each other, one attempt deep.
QVariant clsPJLOptionSet::lookupValue(const QString& name, const QVariant& defaultValue) {
  clsPJLOption* held = option(name);
  QVariant result = defaultValue;
  if (held) {
    result = held->value();
  } else if (!substituting_ && (name == QStringLiteral("MEDIANAME") || name == QStringLiteral("PRINTMODE"))) {
    substituting_ = true;
    result = lookupValue(
        name == QStringLiteral("MEDIANAME") ? QStringLiteral("PRINTMODE") : QStringLiteral("MEDIANAME"),
        defaultValue);
  }
  substituting_ = false;
  return held && held->quoted() ? result : withoutOuterQuotes(result);
}

void clsPJLOptionSet::setPjlOpt(const QString& OptionName, const QVariant& newValue) {
  storeValue(OptionName.toUpper(), newValue);
}

void clsPJLOptionSet::setPjlOpt(QString& OptionName, const QVariant& newValue) {
  OptionName = OptionName.toUpper();
  storeValue(OptionName, newValue);
}

void clsPJLOptionSet::storeValue(const QString& name, const QVariant& newValue) {
  clsPJLOption* held = option(name);
  if (!newValue.isValid()) {
    if (!held) return;
    if (held->causesReprocess()) setReprocessNeeded();
    jobOptions.remove(name);
    return;
  }
  if (name != clsPJLOption::withoutControls(name)) return;
  if (!held) {
    auto created = std::make_shared<clsPJLOption>();
    created->name = name;
    jobOptions.insert(name, created);
    held = created.get();
  }
  const QString before = held->value();
  const QString text = newValue.toString();
  held->setValue(text);
  if (text != before && held->causesReprocess()) setReprocessNeeded();
}

void clsPJLOptionSet::UpdateFromString(const QString& PJLStr, bool noOverwriteJobOpts) {
  clsPJLOption scratch;
  if (!scratch.SetFromPJLString(PJLStr)) return;
  if (noOverwriteJobOpts && scratch.isJobOption() && pjlOpt(scratch.name).isValid()) return;
  setPjlOpt(scratch.name, scratch.value());
}

QStringList clsPJLOptionSet::optionNames() const {
  QStringList names;
  for (const auto& entry : jobOptions) names.append(entry.second->name);
  return names;
}

QStringList clsPJLOptionSet::optsList() const { return optionNames(); }

std::unique_ptr<clsPJLOptionSet> clsPJLOptionSet::Clone(bool jobOpts, bool docOpts) const {
  auto copy = std::make_unique<clsPJLOptionSet>();
  for (const auto& entry : jobOptions) {
    const clsPJLOption& option = *entry.second;
    const bool wanted =
        jobOpts == docOpts || (docOpts && option.isDocOption()) || (jobOpts && option.isJobOption());
    if (wanted) copy->jobOptions.insert(option.name, std::shared_ptr<clsPJLOption>(option.Clone()));
  }
  if (reprocessNeeded_) copy->setReprocessNeeded();
  return copy;
}

// A merged-in value fills the "$NAME$" placeholder of an existing value
// instead of replacing it.
void clsPJLOptionSet::Merge(const clsPJLOptionSet& optionSet, bool newOptsOK) {
  if (newOptsOK && optionSet.ReprocessNeeded()) setReprocessNeeded();
  for (const auto& entry : optionSet.jobOptions) {
    clsPJLOption& incoming = *entry.second;
    clsPJLOption* existing = option(incoming.name);
    if (!existing) {
      jobOptions.insert(incoming.name, std::shared_ptr<clsPJLOption>(incoming.Clone()));
      if (incoming.causesReprocess() && !newOptsOK) setReprocessNeeded();
      continue;
    }
    const QString before = existing->value();
    const QString placeholder = QStringLiteral("$") + incoming.name + QStringLiteral("$");
    existing->setValue(
        QString(before).replace(placeholder, QString(incoming.value()).remove('"'), Qt::CaseInsensitive));
    if (existing->value() != before && incoming.causesReprocess()) setReprocessNeeded();
  }
}

bool clsPJLOptionSet::WriteToFile(QIODevice& file) const {
  QString text = QString::number(jobOptions.size()) + kCrLf;
  for (const auto& entry : jobOptions) text += entry.second->GetString() + kCrLf;
  const QByteArray bytes = toAnsi(text);
  return file.write(bytes) == bytes.size();
}

bool clsPJLOptionSet::ReadFromFile(QIODevice& file) {
  if (file.atEnd()) return false;
  bool ok = false;
  const int total = lineWithoutEnd(file.readLine()).trimmed().toInt(&ok);
  if (!ok || total < 0) return false;
  for (int i = 0; i < total; ++i) {
    if (file.atEnd()) return false;
    auto read = std::make_shared<clsPJLOption>();
    read->SetFromString(lineWithoutEnd(file.readLine()));
    if (jobOptions.contains(read->name)) return false;
    jobOptions.insert(read->name, read);
  }
  return true;
}

void clsPJLOptionSet::setTranslationTable(const QString& path) { translationTable() = path; }

bool clsPJLOptionSet::lookupPJL(const QString& text, QString& out1, QString& out2, QString& out3) {
  if (text.isEmpty() || translationTable().isEmpty()) return false;
  QFile table(translationTable());
  if (!table.open(QIODevice::ReadOnly)) return false;
  while (!table.atEnd()) {
    const QStringList fields = lineWithoutEnd(table.readLine()).split(',');
    if (fields.size() < 2 || decodeField(fields[1]) != text) continue;
    out1.clear();
    out2.clear();
    out3 = decodeField(fields[0]);
    return true;
  }
  return false;
}

QString clsPJLOptionSet::GenXML() const {
  const QString pad4(4, ' ');
  const QString pad8(8, ' ');
  const QString pad12(12, ' ');
  QString xml = QStringLiteral("<?xml version='1.0' ?>") + kCrLf +
                QStringLiteral("<!-- This file define the available PJL Commands -->") + kCrLf +
                QStringLiteral("<pjloptions>") + kCrLf;
  for (const QString& categoryName : modPJLOpts::CategoryNames()) {
    xml +=
        pad4 + QStringLiteral("<category name=\"") + translated(categoryName) + QStringLiteral("\">") + kCrLf;
    xml += pad8 + QStringLiteral("<description>") +
           translated(modPJLOpts::CategoryDescription(categoryName)) + QStringLiteral("</description>") +
           kCrLf;
    const clsPJLOptionCategory* category = gCategories.value(QStringLiteral("x") + categoryName).get();
    for (const QString& optionName : modPJLOpts::CategoryOptions(categoryName)) {
      // The definition's own description: a working option carries none.
      const QString description = category->Commands.option(optionName)->description();
      clsPJLOption fresh;
      fresh.name = optionName;
      xml += pad8 + QStringLiteral("<option name=\"") + optionName + QStringLiteral("\">") + kCrLf;
      xml += pad12 + QStringLiteral("<description>") + translated(description) +
             QStringLiteral("</description>") + kCrLf;
      for (const auto& entry : fresh.possibleValues()) {
        if (!entry.second.isValid()) {
          xml += pad12 + QStringLiteral("<value name=\"\">") +
                 translated(QStringLiteral("See documentation for other values")) +
                 QStringLiteral("</value>") + kCrLf;
          continue;
        }
        fresh.setValue(entry.second.toString());
        // Written without its quotes: a quoted value holding a blank would not read back.
        xml += pad12 + QStringLiteral("<value name=\"") + QString(fresh.value()).remove('"') +
               QStringLiteral("\">") + translated(fresh.valueDescription()) + QStringLiteral("</value>") +
               kCrLf;
      }
      xml += pad8 + QStringLiteral("</option>") + kCrLf;
    }
    xml += pad4 + QStringLiteral("</category>") + kCrLf;
  }
  return xml + QStringLiteral("</pjloptions>") + kCrLf;
}

void clsPJLOptionSet::ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language) {
  SetLanguage(LanguageID, Language);
}

void clsPJLOptionSet::UpdateFromRCF(const QString& RCFData) {
  const std::unique_ptr<clsPaperSizes> sizes = modRCF::sheetSizes();
  const QString line = modRCF::trimBlanks(RCFData);
  const qsizetype blank = line.indexOf(' ');
  if (blank < 0 || blank > 4) return;
  // A section number that does not fit is no section line.
  const std::optional<qint16> section = modRCF::toInteger(modRCF::numericValue(line.left(blank + 1)));
  if (!section) return;
  QString entries = modRCF::trimBlanks(line.mid(blank));
  if (entries.startsWith('"')) entries.remove(0, 1);
  if (entries.endsWith(';')) entries.chop(1);
  if (entries.endsWith('"')) entries.chop(1);
  for (const QString& entry : entries.split(',')) {
    const qsizetype equals = entry.indexOf('=');
    if (equals < 0 || equals == entry.size() - 1) continue;
    const QString code = modRCF::sectionText(*section) + modRCF::trimBlanks(entry.left(equals)).toUpper();
    applyRCFEntry(code, modRCF::trimBlanks(entry.mid(equals + 1)), *sizes);
  }
}

void clsPJLOptionSet::applyRCFEntry(const QString& code, const QString& value, const clsPaperSizes& sizes) {
  for (const RCFRule& rule : kRCFRules) {
    if (code != QLatin1String(rule.code)) continue;
    if (!rule.option) return;
    if (const std::optional<QString> converted = rule.convert(value, modRCF::numericValue(value), sizes))
      setPjlOpt(QLatin1String(rule.option), *converted);
    return;
  }
  setPjlOpt(QStringLiteral("APL_") + code, value);
}
