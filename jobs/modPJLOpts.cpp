#include "modPJLOpts.h"

#include <QFile>

#include "Ansi.h"
#include "MlStringModule.h"
#include "XmlTag.h"
#include "clsPJLOptionCategory.h"
#include "clsPaperSizes.h"
#include "modFileSystem.h"
#include "modLumasetCommon.h"

KeyedCollection<std::shared_ptr<clsPJLOptionCategory>> gCategories;
QString gDefaultCategory;

namespace {

const QString kAppDefinedError = QStringLiteral("Application-defined or object-defined error");
const QString kInvalidArgument = QStringLiteral("Invalid procedure call or argument");
const QString kDuplicateKey =
    QStringLiteral("This key is already associated with an element of this collection");

bool gLoaded = false;
bool gLoading = false;

QString& supportOverride() {
  static QString folder;
  return folder;
}

// The file of that name in `folder`, its name compared without regard to case.
QString findFile(const QString& folder, const QString& fileName) {
  for (const QString& present : GetFileNames(folder))
    if (present.compare(fileName, Qt::CaseInsensitive) == 0) return folder + QStringLiteral("/") + present;
  return {};
}

QString attribute(const XmlTag& tag, const char* name) {
  return tag.params.value(QStringLiteral("x") + QLatin1String(name));
}

bool hasAttribute(const XmlTag& tag, const char* name) {
  return tag.params.contains(QStringLiteral("x") + QLatin1String(name));
}

// QUOTED and REPROCESS count as yes with any non-empty value, "0" included.
bool flagAttribute(const XmlTag& tag, const char* name) { return !attribute(tag, name).isEmpty(); }

// Reads the definition file: the whole file as one text, scanned by position.
class DefinitionReader {
 public:
  explicit DefinitionReader(QFile& file) : file_(file) {}

  void readFile();
  bool hasError() const { return !error_.isEmpty(); }
  QString errorDescription() const { return error_; }
  // The buffer around the position where reading stopped, for the log.
  QString bufferExcerpt() const { return buffer_.mid(qMax<qsizetype>(0, position_ - 10), 80); }

 private:
  qsizetype find(const QString& needle);
  void fillBuffer();
  XmlTag readTag();
  QString readText(const QString& elementName);
  void readCategory(const XmlTag& categoryTag);
  void readOption(clsPJLOptionSet& set, const XmlTag& optionTag);
  void fail(const QString& description) { error_ = description; }

  QFile& file_;
  QString buffer_;
  qsizetype position_ = 0;
  QString error_;
};

void DefinitionReader::fillBuffer() {
  LogMessage(QStringLiteral("modPJLOpts-inBuffer: Filling buffer."));
  const QByteArray rest = file_.readAll();
  if (rest.size() != buffer_.size())
    LogMessage(QStringLiteral("modPJLOpts-fillBuffer: Resizing buffer to ") + QString::number(rest.size()) +
               QStringLiteral("bytes."));
  buffer_ = fromAnsi(rest);
  position_ = 0;
}

// The first failing search reads the rest of the file.
qsizetype DefinitionReader::find(const QString& needle) {
  qsizetype found = buffer_.indexOf(needle, position_);
  if (found < 0 && !file_.atEnd()) {
    fillBuffer();
    found = buffer_.indexOf(needle, position_);
  }
  return found;
}

XmlTag DefinitionReader::readTag() {
  const qsizetype open = find(QStringLiteral("<"));
  if (open < 0) return {};
  const qsizetype close = buffer_.indexOf('>', open + 1);
  if (close < 0 || close == open + 1) return {};
  position_ = close + 1;
  XmlTag tag = XmlTag::split(buffer_.mid(open + 1, close - open - 1));
  if (tag.duplicateAttribute) fail(kDuplicateKey);
  return tag;
}

QString DefinitionReader::readText(const QString& elementName) {
  const QString ownEnd = QStringLiteral("/") + elementName;
  QString text;
  for (qsizetype end = find(QStringLiteral("</")); end >= 0; end = find(QStringLiteral("</"))) {
    text += buffer_.mid(position_, end - position_);
    position_ = end;
    const QString name = readTag().name;
    if (name == ownEnd || name.isEmpty()) return text;
    if (name == QStringLiteral("/LINE")) text += QStringLiteral("\r\n");
  }
  // The file ends inside the element.
  text.replace('\r', ' ').replace('\n', ' ').replace('\t', ' ');
  while (text.contains(QStringLiteral("  "))) text.replace(QStringLiteral("  "), QStringLiteral(" "));
  return text;
}

void DefinitionReader::readFile() {
  bool seenOptions = false;
  for (XmlTag tag = readTag(); !tag.name.isEmpty() && tag.name != QStringLiteral("/PJLOPTIONS");
       tag = readTag()) {
    if (tag.name == QStringLiteral("PJLOPTIONS")) {
      if (seenOptions) {
        fail(kAppDefinedError);
        return;
      }
      seenOptions = true;
    } else if (tag.name == QStringLiteral("CATEGORY") && !tag.duplicateAttribute) {
      readCategory(tag);
    }
  }
  if (!seenOptions) fail(kAppDefinedError);
}

// An error abandons the category; its remaining tags are skipped at the top level.
void DefinitionReader::readCategory(const XmlTag& categoryTag) {
  error_.clear();
  if (!hasAttribute(categoryTag, "NAME")) return fail(kInvalidArgument);
  auto category = std::make_shared<clsPJLOptionCategory>();
  category->name = attribute(categoryTag, "NAME");
  category->jobOptions = attribute(categoryTag, "JOBOPTIONS") == QStringLiteral("1");
  for (XmlTag tag = readTag(); !tag.name.isEmpty() && tag.name != QStringLiteral("/CATEGORY");
       tag = readTag()) {
    if (tag.duplicateAttribute) return;
    if (tag.name == QStringLiteral("DESCRIPTION")) {
      category->description = readText(QStringLiteral("DESCRIPTION"));
    } else if (tag.name == QStringLiteral("OPTION")) {
      if (!hasAttribute(tag, "NAME")) return fail(kInvalidArgument);
      readOption(category->Commands, tag);
      if (attribute(tag, "NAME").isEmpty()) gDefaultCategory = category->name;
    }
  }
  const QString key = QStringLiteral("x") + category->name;
  if (gCategories.contains(key)) return fail(kDuplicateKey);
  gCategories.insert(key, category);
  LogMessage(QStringLiteral("modPJLOpts-ReadCategory: Adding category ") + category->name);
}

// An OPTION with an empty NAME defines nothing: its content is read into a
// scratch option that no set holds. A repeated NAME adds to the first one.
void DefinitionReader::readOption(clsPJLOptionSet& set, const XmlTag& optionTag) {
  error_.clear();
  const QString name = attribute(optionTag, "NAME");
  clsPJLOption scratch;
  clsPJLOption* option = &scratch;
  if (!name.isEmpty()) {
    set.setPjlOpt(name, QStringLiteral(" "));
    if (clsPJLOption* held = set.option(name)) option = held;
  }
  option->setQuoted(flagAttribute(optionTag, "QUOTED"));
  option->setCausesReprocess(flagAttribute(optionTag, "REPROCESS"));
  for (XmlTag tag = readTag(); !tag.name.isEmpty() && tag.name != QStringLiteral("/OPTION");
       tag = readTag()) {
    if (tag.name == QStringLiteral("DESCRIPTION")) {
      option->setDescription(readText(QStringLiteral("DESCRIPTION")));
    } else if (tag.name == QStringLiteral("VALUE")) {
      const QString text = readText(QStringLiteral("VALUE"));
      if (tag.duplicateAttribute) continue;
      option->possValueDesc(attribute(tag, "NAME"), attribute(tag, "UINAME"),
                            attribute(tag, "DEFAULT").toUpper() == QStringLiteral("TRUE"), text);
    }
  }
  error_.clear();
}

QString definitionFile() {
  const QString folder = modPJLOpts::supportFolder();
  const QString local =
      findFile(folder, QStringLiteral("pjl-") + QString::number(gLanguageID) + QStringLiteral(".xml"));
  if (!local.isEmpty()) return local;
  LogMessage(QStringLiteral("modPJLOpts-Initialise:  Found local version"));
  const QString common = findFile(folder, QStringLiteral("pjl.xml"));
  return common.isEmpty() ? folder + QStringLiteral("/pjl.xml") : common;
}

void load() {
  LogMessage(QStringLiteral("modPJLOpts-Initialise: Looking for PJL..."));
  const QString name = definitionFile();
  LogMessage(QStringLiteral("modPJLOpts-Initialise: Opening PJL file: '") + name + QStringLiteral("'"));
  QFile file(name);
  if (!file.open(QIODevice::ReadOnly)) {
    const QString reason = file.exists() ? file.errorString() : QStringLiteral("File not found");
    LogMessage(QStringLiteral("modPJLOpts-Initialise: Error opening PJL data file (") + name +
               QStringLiteral("). ") + reason);
    return;
  }
  LogMessage(QStringLiteral("modPJLOpts-Initialise: PJL Opened."));
  DefinitionReader reader(file);
  reader.readFile();
  if (reader.hasError())
    LogMessage(QStringLiteral("modPJLOpts-Initialise: An error occured while reading PJL data file (") +
               name + QStringLiteral("). Buffer data=\"") + reader.bufferExcerpt() +
               QStringLiteral("\".  Error = '") + reader.errorDescription() + QStringLiteral("'"));
}

// Looked up by key for plain names, which every working option asks for; the
// text search stays for names that the key cannot answer alike.
bool namesOption(const clsPJLOptionCategory& category, const QString& optionName) {
  if (optionName.isEmpty() || optionName.contains(QLatin1Char(',')))
    return category.CommandList().contains(QStringLiteral(",") + optionName + QStringLiteral(","));
  const clsPJLOption* found = category.Commands.option(optionName);
  return found && found->name == optionName;
}

}  // namespace

namespace modPJLOpts {

// Options and sets created while loading call this again; the flags make those
// calls return at once.
void Initialise(bool force) {
  if (gLoading || (gLoaded && !force)) return;
  gLoaded = true;
  gLoading = true;
  gCategories.clear();
  load();
  gLoading = false;
}

clsPJLOptionCategory* FindCategory(const QString& optionName) {
  for (const auto& entry : gCategories)
    if (namesOption(*entry.second, optionName)) return entry.second.get();
  if (gDefaultCategory.isEmpty()) return nullptr;
  return gCategories.value(QStringLiteral("x") + gDefaultCategory).get();
}

QStringList CategoryNames() {
  QStringList names;
  for (const auto& entry : gCategories) names.append(entry.second->name);
  return names;
}

QStringList CategoryOptions(const QString& categoryName) {
  const auto category = gCategories.value(QStringLiteral("x") + categoryName);
  return category ? category->Commands.optionNames() : QStringList();
}

QString CategoryDescription(const QString& categoryName) {
  const auto category = gCategories.value(QStringLiteral("x") + categoryName);
  return category ? category->description : QString();
}

QString supportFolder() {
  if (!supportOverride().isEmpty()) return supportOverride();
  // The folder the paper-size catalogue comes from.
  return GetParentFolderName(paperSizesFile());
}

void setSupportFolder(const QString& folder) { supportOverride() = folder; }

}  // namespace modPJLOpts
