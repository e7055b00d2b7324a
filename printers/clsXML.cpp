#include "clsXML.h"

#include "Ansi.h"
#include "XmlTag.h"
#include "modLumasetCommon.h"

namespace {

const QChar kLineBreakMarker = QChar(0);

// Line breaks and tabs of the file are layout only; a LINE tag is a real break.
QString normaliseText(QString text) {
  text.replace('\r', ' ').replace('\n', ' ').replace('\t', ' ');
  text.replace(kLineBreakMarker, QStringLiteral("\r\n"));
  while (text.contains(QStringLiteral("  "))) text.replace(QStringLiteral("  "), QStringLiteral(" "));
  return text;
}

}  // namespace

clsXML::~clsXML() { closeFile(); }

bool clsXML::openFile(const QString& path) {
  position_ = 1;
  buffer_.clear();
  if (file_.isOpen()) {
    bufferStart_ = file_.pos();
    return true;
  }
  file_.setFileName(path);
  if (!file_.open(QIODevice::ReadOnly)) {
    LogMessage(QStringLiteral("clsXML-openFile: Error opening PJL data file (") + path +
               QStringLiteral("). ") + file_.errorString());
    return false;
  }
  bufferStart_ = 0;
  return true;
}

void clsXML::closeFile() {
  if (file_.isOpen()) file_.close();
}

QString clsXML::ReadData(const QString& tag) {
  QString result;
  qsizetype from = position_;
  qsizetype closing = inBuffer(from, QStringLiteral("</"));
  while (closing > 0) {
    result += buffer_.mid(position_ - 1, closing - position_);
    position_ = closing;
    KeyedCollection<QString> params;
    const QString name = ReadXMLTag(params);
    if (name.isEmpty() || name == QStringLiteral("/") + tag) break;
    if (name == QStringLiteral("/LINE")) result += kLineBreakMarker;
    from = position_;
    closing = inBuffer(from, QStringLiteral("</"));
  }
  return normaliseText(result);
}

QString clsXML::ReadXMLTag(KeyedCollection<QString>& Params, bool* ok) {
  Params = KeyedCollection<QString>();
  if (ok) *ok = true;
  qsizetype from = position_;
  const qsizetype open = inBuffer(from, QStringLiteral("<"));
  if (open == 0) return {};
  qsizetype afterOpen = open + 1;
  const qsizetype close = inBuffer(afterOpen, QStringLiteral(">"));
  if (close == 0 || close == open + 1) return {};
  position_ = close + 1;
  XmlTag tag = XmlTag::split(buffer_.mid(open, close - open - 1));
  Params = std::move(tag.params);
  if (ok && tag.duplicateAttribute) *ok = false;
  return tag.name;
}

void clsXML::fillBuffer() {
  if (!file_.isOpen()) return;
  const qint64 from = bufferStart_ + position_ - 1;
  QByteArray bytes;
  if (file_.seek(from)) bytes = file_.readAll();
  if (bytes.size() != buffer_.size())
    LogMessage(QStringLiteral("clsXML-fillBuffer: Resizing buffer to ") + QString::number(bytes.size()) +
               QStringLiteral("bytes."));
  buffer_ = fromAnsi(bytes);
  bufferStart_ = from;
  position_ = 1;
}

// A fill takes the whole rest of the file, so one fill per search is enough;
// searching again after a fill that read nothing new would never end.
qsizetype clsXML::inBuffer(qsizetype& position, const QString& text) {
  if (!file_.isOpen()) return 0;
  const qsizetype found = find(position, text);
  if (found > 0 || allRead()) return found;
  position_ = position;
  LogMessage(QStringLiteral("clsXML-inBuffer: Filling buffer."));
  fillBuffer();
  position = 1;
  return find(position, text);
}

bool clsXML::allRead() const { return file_.pos() >= file_.size(); }

qsizetype clsXML::find(qsizetype position, const QString& text) const {
  if (position < 1) return 0;
  return buffer_.indexOf(text, position - 1) + 1;
}
