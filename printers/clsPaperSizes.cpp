#include "clsPaperSizes.h"

#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "Ansi.h"
#include "MlStringModule.h"
#include "RegObj.h"
#include "clsXML.h"
#include "modLumasetCommon.h"

namespace {

const QString kSheet = QStringLiteral("Sheet");
const QString kRoll = QStringLiteral("Roll");

// A size as read from the catalogue file, before it is admitted.
struct PendingSize {
  QString name;
  qint32 id = -1;
  double width = 0;
  double height = 0;
  QString family;
  QString loading;
  QString desc;
};

double numberOr(const QString& text, double fallback) { return finiteNumber(text).value_or(fallback); }

qint32 idOr(const QString& text, qint32 fallback) {
  const auto number = finiteNumber(text);
  return number ? roundedLong(*number).value_or(fallback) : fallback;
}

PendingSize readSizeTag(const KeyedCollection<QString>& params) {
  PendingSize size;
  size.id = idOr(params.value(QStringLiteral("xID")), -1);
  size.name = params.value(QStringLiteral("xNAME"));
  size.width = numberOr(params.value(QStringLiteral("xWIDTH")), 0);
  size.height = numberOr(params.value(QStringLiteral("xHEIGHT")), 0);
  size.family = params.value(QStringLiteral("xFAMILY"));
  size.loading = params.value(QStringLiteral("xLOADING"));
  return size;
}

// Blanks in the family list count: ", ISO" does not admit ISO.
bool admitted(const PendingSize& size, const QString& wrappedFamilies, bool sheets, bool rolls) {
  const bool familyOk = wrappedFamilies.isEmpty() ||
                        wrappedFamilies.contains(QLatin1Char(',') + size.family.toUpper() + QLatin1Char(','));
  const bool loadingOk = (size.loading == kSheet && sheets) || (size.loading == kRoll && rolls);
  return familyOk && loadingOk && !size.name.isEmpty();
}

QString describe(const std::optional<KeyedCollection<QString>>& list, const QString& name) {
  const QString text = list ? list->value(name.toUpper()) : QString();
  return text.isEmpty() ? name : text;
}

QString singleText(float number) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, number).ptr;
  return QString::fromLatin1(text, end - text);
}

RegObj& openCatalogueKey(RegObj& reg, const QString& queue) {
  reg.setRoot(HKEY_CURRENT_USER);
  reg.setKey(paperSizesKey(queue));
  return reg;
}

// One list of the catalogue file: element, item tag, and items with their
// English and Italian descriptions.
struct DescriptionList {
  QString element;
  QString item;
  QList<std::pair<QString, QString>> english;
  QList<QString> italian;
};

const QList<DescriptionList>& descriptionLists() {
  static const QList<DescriptionList> lists = {
      {"mediatypes",
       "type",
       {{"Bond", "Bond"}, {"Tracing", "Tracing"}, {"Film", "Film"}},
       {"Opaca", "Opaca", "Film"}},
      {"mediastatus",
       "status",
       {{"Full", "Full"}, {"Low", "Low"}, {"Empty", "Empty"}},
       {"Pieno", "Scarso", "Terminato"}},
      {"medialoading", "loading", {{"TRAY", "Tray"}, {"ROLL", "Roll"}}, {"Vassoio", "Bobina"}},
      {"orientation", "orient", {{"_LE", "Landscape"}, {"_SE", "Portrait"}}, {"Paesaggio", "Ritratto"}},
  };
  return lists;
}

QString quoted(const QString& text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

QString sizeLine(const clsPaperSize& size) {
  QString line = QStringLiteral("    <size Name=") + quoted(size.name);
  if (size.id >= 0) line += QStringLiteral(" id=") + quoted(QString::number(size.id));
  line += QStringLiteral(" width=") + quoted(sizeText(size.width)) + QStringLiteral(" height=") +
          quoted(sizeText(size.height)) + QStringLiteral(" family=") + quoted(QStringLiteral("ISO")) +
          QStringLiteral(" loading=") + quoted(size.name.left(4) == QStringLiteral("ROLL") ? kRoll : kSheet) +
          QLatin1Char('>');
  return line;
}

void appendDescriptionList(QStringList& lines, const DescriptionList& list) {
  lines << QStringLiteral("  <") + list.element + QLatin1Char('>');
  for (qsizetype i = 0; i < list.english.size(); ++i) {
    lines << QStringLiteral("    <") + list.item + QStringLiteral(" name=") + quoted(list.english[i].first) +
                 '>'
          << QStringLiteral("        <desc>") + list.english[i].second + QStringLiteral("</desc>")
          << QStringLiteral("        <desc1040>") + list.italian[i] + QStringLiteral("</desc1040>")
          << QStringLiteral("    </") + list.item + QLatin1Char('>');
  }
  lines << QStringLiteral("  </") + list.element + QLatin1Char('>');
}

}  // namespace

QString paperSizesFile() {
  QString folder = qEnvironmentVariable("KVT_SUPPORT_DIR");
  if (folder.isEmpty()) folder = QCoreApplication::applicationDirPath() + QStringLiteral("/support");
  return folder + QStringLiteral("/sizes.xml");
}

clsPaperSizes::clsPaperSizes() : ml_RuntimeSupport(std::make_unique<MLRuntime::RuntimeSupport>()) {
  QObject::connect(ml_RuntimeSupport.get(), &MLRuntime::RuntimeSupport::LanguageChanged,
                   ml_RuntimeSupport.get(), [this](int LanguageID, const QString& Language) {
                     ml_RuntimeSupport_LanguageChanged(LanguageID, Language);
                   });
}

clsPaperSizes::~clsPaperSizes() = default;

QString clsPaperSizes::getType(const QString& name) const { return describe(paperTypes, name); }
QString clsPaperSizes::getLoading(const QString& name) const { return describe(paperLoadings, name); }
QString clsPaperSizes::getStatus(const QString& name) const { return describe(paperStatus, name); }
QString clsPaperSizes::getOrient(const QString& name) const { return describe(orientations, name); }

QString clsPaperSizes::GetBestSizeName(double width, double height) {
  int rotate = -1;
  return GetBestSizeName(width, height, rotate);
}

QString clsPaperSizes::GetBestSizeName(double width, double height, int& rotate) {
  LogMessage(QStringLiteral("clsPaperSizes-GetBestSizeName: Finding match for ") + sizeText(width) +
             QStringLiteral("mm wide x ") + sizeText(height) + QStringLiteral("mm high. Rotate=") +
             QString::number(rotate));
  const bool bothWays = rotate < 0;
  if (!bothWays && rotate % 180 > 0) std::swap(width, height);
  const double margin = 1.0 + overSizeMargin / 100.0;
  double best = -64000000.0;
  QString result;
  for (int pass = bothWays ? 0 : 1; pass <= 1; ++pass) {
    for (const auto& entry : paperSizes) {
      const clsPaperSize& size = *entry.second;
      const bool roll = size.width == 0;
      double w = margin * (roll ? width : size.width);
      double h = margin * size.height;
      const double dw = w - width;
      const double dh = h - height;
      if (dw < 0 && dh >= 0) {
        h = height;
      } else if (dh < 0 && dw >= 0) {
        w = width;
      } else if (dw >= 0 && dh >= 0 && roll) {
        w *= margin;
        h *= margin;
      }
      const double leftOver = w * h - width * height;
      if ((leftOver >= 0 && (best < 0 || leftOver < best)) || (leftOver < 0 && best < 0 && leftOver > best)) {
        best = leftOver;
        result = size.name;
        if (bothWays) rotate = pass == 1 ? 270 : 0;
      }
    }
    std::swap(width, height);
  }
  LogMessage(QStringLiteral("clsPaperSizes-GetBestSizeName: Selected size ") + result +
             QStringLiteral(". With rotate=") + QString::number(rotate));
  return result;
}

bool clsPaperSizes::LoadFromReg(const QString& queue) {
  paperSizes.clear();
  RegObj reg;
  openCatalogueKey(reg, queue);
  bool ok = true;
  const QVariant margin = reg.value(QStringLiteral("OverSizeMargin"));
  const auto number = margin.isValid() ? finiteNumber(margin.toString()) : std::optional<double>(0);
  const bool isNumber = number && std::abs(*number) <= std::numeric_limits<float>::max();
  overSizeMargin = isNumber ? static_cast<float>(*number) : 0;
  if (!isNumber) ok = false;
  if (!isNumber || overSizeMargin == 0) overSizeMargin = 5;
  const QStringList names = reg.AllKeys();
  for (const QString& name : names) {
    auto size = std::make_shared<clsPaperSize>();
    if (size->LoadFromReg(name, queue))
      paperSizes.insert(name, size);
    else
      ok = false;
  }
  if (names.isEmpty() && queue.isEmpty()) LoadIsoSheetDefaults();
  return ok;
}

void clsPaperSizes::GetSheetDefaults(bool keepExisting) {
  if (!keepExisting) ClearSizes();
  LoadDefaultSizes(QString(), true, false);
}

void clsPaperSizes::WriteXML(const QString& path) {
  GetDefaults();
  QStringList lines;
  lines << QStringLiteral("<?xml version=\"1.0\" ?>")
        << QStringLiteral("<!-- This file defines the available media -->") << QStringLiteral("<media>")
        << QStringLiteral("  <mediasizes>");
  for (const auto& entry : paperSizes)
    lines << sizeLine(*entry.second) << QStringLiteral("        <desc></desc>")
          << QStringLiteral("    </size>");
  lines << QStringLiteral("  </mediasizes>");
  for (const DescriptionList& list : descriptionLists()) appendDescriptionList(lines, list);
  lines << QStringLiteral("</media>");
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
  file.write(toAnsi(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
}

void clsPaperSizes::GetRollDefaults(bool keepExisting) {
  if (!keepExisting) ClearSizes();
  LoadDefaultSizes(QString(), false, true);
}

void clsPaperSizes::GetDefaults() {
  ClearSizes();
  LoadDefaultSizes(QString(), true, true);
}

void clsPaperSizes::ClearSizes() { paperSizes.clear(); }

bool clsPaperSizes::SaveToReg(const QString& queue) {
  RegObj reg;
  openCatalogueKey(reg, queue);
  bool ok = true;
  for (const QString& name : reg.AllKeys()) {
    RegObj old;
    old.setRoot(HKEY_CURRENT_USER);
    old.setKey(paperSizesKey(queue) + QLatin1Char('\\') + name);
    if (!old.DeleteKey()) ok = false;
  }
  for (const auto& entry : paperSizes)
    if (!entry.second->SaveToReg(queue)) ok = false;
  if (!reg.setValue(QStringLiteral("OverSizeMargin"), singleText(overSizeMargin))) ok = false;
  return ok;
}

clsPaperSize* clsPaperSizes::getSize(const QString& name) const {
  const auto* entry = paperSizes.find(name);
  return entry ? entry->get() : nullptr;
}

void clsPaperSizes::setSize(const QString& SizeName, double width, double height,
                            std::optional<qint32> sizeId, const QString& desc) {
  const QString name = SizeName.toUpper();
  if ((width > 0 && height > width) || height == 0) std::swap(width, height);
  if (!(width >= 0 && height > 0)) {
    paperSizes.remove(name);
    return;
  }
  clsPaperSize* size = getSize(name);
  if (!size) {
    paperSizes.insert(name, std::make_shared<clsPaperSize>());
    size = getSize(name);
  }
  size->width = width;
  size->height = height;
  size->name = name;
  size->desc = desc;
  size->id = sizeId.value_or(-1);
}

QString clsPaperSizes::getSizeID(qint16 sizeId) const {
  for (const auto& entry : paperSizes)
    if (entry.second->id == sizeId) return entry.second->name;
  return QStringLiteral("ANY");
}

bool clsPaperSizes::CompareSize(const QString& sizeA, const QString& op, const QString& sizeB, double dimX,
                                double dimY, double pageScale) const {
  const clsPaperSize* a = getSize(sizeA);
  const clsPaperSize* b = getSize(sizeB);
  if (!a || !b || a->height == 0 || b->height == 0) return false;
  double aW = a->width;
  double aH = a->height;
  double bW = b->width;
  const double bH = b->height;
  if (pageScale != 100) {
    if (pageScale < 1) {
      const double shorter = std::min(dimX, dimY);
      const double longer = std::max(dimX, dimY);
      if (shorter == 0 || (aW > 0 && longer == 0)) return false;
      pageScale = aH / shorter;
      if (aW > 0 && aW / longer < pageScale) pageScale = aW / longer;
      pageScale *= 100;
    }
    dimX = dimX * pageScale / 100;
    dimY = dimY * pageScale / 100;
  }
  const auto rollLength = [&](double rollWidth) {
    return std::max(dimX, dimY) <= rollWidth ? std::min(dimX, dimY) : std::max(dimX, dimY);
  };
  if (aW == 0) aW = rollLength(aH);
  if (bW == 0) bW = rollLength(bH);
  if ((aW / aH < 1) != (bW / bH < 1)) std::swap(aW, aH);
  if (op == QStringLiteral("<")) return aW < bW && aH < bH;
  if (op == QStringLiteral("<=")) return aW <= bW && aH <= bH;
  if (op == QStringLiteral("=")) return aW == bW && aH == bH;
  if (op == QStringLiteral("<>")) return aW != bW || aH != bH;
  if (op == QStringLiteral(">")) return aW > bW || aH > bH;
  if (op == QStringLiteral(">=")) return aW >= bW || aH >= bH;
  return false;
}

void clsPaperSizes::readXML() { readDescriptions(); }

void clsPaperSizes::ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language) {
  SetLanguage(LanguageID, Language);
  if (paperLoadings && !readDescriptions())
    LogMessage(QStringLiteral(
        "clsPaperSizes-ml_RuntimeSupport_LanguageChanged: An error occured while reading data file"));
}

void clsPaperSizes::LoadIsoSheetDefaults() { LoadDefaultSizes(QStringLiteral("ISO"), true, false); }

void clsPaperSizes::LoadDefaultSizes(const QString& families, bool sheets, bool rolls) {
  const QString wrapped =
      families.isEmpty() ? QString() : QLatin1Char(',') + families.toUpper() + QLatin1Char(',');
  clsXML xml;
  if (!xml.openFile(paperSizesFile())) return;
  bool mediaSeen = false;
  std::optional<PendingSize> pending;
  KeyedCollection<QString> params;
  for (;;) {
    bool tagOk = true;
    const QString tag = xml.ReadXMLTag(params, &tagOk);
    if (tag.isEmpty() || tag == QStringLiteral("/MEDIA")) break;
    if (!tagOk) continue;
    if (tag == QStringLiteral("MEDIA")) {
      if (mediaSeen) break;
      mediaSeen = true;
    } else if (tag == QStringLiteral("SIZE")) {
      pending = readSizeTag(params);
    } else if (tag == QStringLiteral("DESC") && pending) {
      pending->desc = xml.ReadData(QStringLiteral("DESC"));
    } else if (tag == QStringLiteral("/SIZE") && pending) {
      if (admitted(*pending, wrapped, sheets, rolls))
        setSize(pending->name, pending->width, pending->height, pending->id, pending->desc);
      pending.reset();
    }
  }
  xml.closeFile();
}

bool clsPaperSizes::readDescriptions() {
  clsXML xml;
  if (!xml.openFile(paperSizesFile())) return true;
  paperLoadings.emplace();
  orientations.emplace();
  paperTypes.emplace();
  paperStatus.emplace();
  const QHash<QString, KeyedCollection<QString>*> listOf = {
      {QStringLiteral("/TYPE"), &*paperTypes},
      {QStringLiteral("/STATUS"), &*paperStatus},
      {QStringLiteral("/LOADING"), &*paperLoadings},
      {QStringLiteral("/ORIENT"), &*orientations},
  };
  const QStringList itemTags = {QStringLiteral("TYPE"), QStringLiteral("STATUS"), QStringLiteral("LOADING"),
                                QStringLiteral("ORIENT")};
  bool clean = true;
  bool mediaSeen = false;
  QString itemName;
  QString defaultText;
  QString localText;
  KeyedCollection<QString> params;
  for (;;) {
    bool tagOk = true;
    const QString tag = xml.ReadXMLTag(params, &tagOk);
    if (tag.isEmpty() || tag == QStringLiteral("/MEDIA")) break;
    if (!tagOk) {
      clean = false;
      continue;
    }
    if (tag == QStringLiteral("MEDIA")) {
      if (mediaSeen) break;
      mediaSeen = true;
    } else if (itemTags.contains(tag)) {
      itemName = params.value(QStringLiteral("xNAME"));
      defaultText.clear();
      localText.clear();
    } else if (tag == QStringLiteral("DESC")) {
      const double language = numberOr(params.value(QStringLiteral("xID")), 0);
      const QString text = xml.ReadData(QStringLiteral("DESC"));
      if (language == 0)
        defaultText = text;
      else if (language == gLanguageID)
        localText = text;
    } else if (KeyedCollection<QString>* list = listOf.value(tag)) {
      const QString key = itemName.toUpper();
      if (!itemName.isEmpty() && !list->contains(key))
        list->insert(key, localText.isEmpty() ? defaultText : localText);
    }
  }
  xml.closeFile();
  return clean;
}
