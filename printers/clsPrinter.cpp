#include "clsPrinter.h"

#include <QDataStream>
#include <QLabel>
#include <QProgressBar>
#include <algorithm>
#include <optional>

#include "MLRuntime.h"
#include "MlStringModule.h"
#include "RegObj.h"
#include "ccrpTimer.h"
#include "clsServerCon.h"
#include "frmProgress.h"
#include "modLumasetCommon.h"
#include "modPJL.h"

namespace {

const QString kPJL = QStringLiteral("@PJL");

QString itemKey(const QString& item) { return QStringLiteral("x") + item.toUpper(); }

// Adds under "x" + the upper-cased item; a duplicate is refused.
template <typename T>
bool addItem(KeyedCollection<T>& list, const QString& item, T value) {
  const QString key = itemKey(item);
  if (list.contains(key)) return false;
  list.insert(key, std::move(value));
  return true;
}

bool addText(KeyedCollection<QString>& list, const QString& text) { return addItem(list, text, text); }

KeyedCollection<QString> listOf(const QString& text) {
  KeyedCollection<QString> list;
  addText(list, text);
  return list;
}

// The text from the echo up to the next reply (or the end mark); null when absent.
QString replySection(const QString& reply, const QString& echo) {
  const qsizetype p = reply.indexOf(echo);
  if (p < 0) return QString();
  qsizetype q = reply.indexOf(kPJL, p + echo.size());
  if (q < 0) q = reply.size();
  return reply.mid(p, q - p);
}

// Where the line holding `from` ends: its CR or LF, or the end of the text.
qsizetype lineEnd(const QString& text, qsizetype from) {
  for (qsizetype i = from; i < text.size(); ++i)
    if (text[i] == QLatin1Char('\r') || text[i] == QLatin1Char('\n')) return i;
  return text.size();
}

// The start of the line after `count` line ends (LF) from `from`, or -1.
qsizetype afterLineEnds(const QString& text, qsizetype from, int count) {
  qsizetype pos = from;
  for (int i = 0; i < count; ++i) {
    const qsizetype lf = text.indexOf(QLatin1Char('\n'), pos);
    if (lf < 0) return -1;
    pos = lf + 1;
  }
  return pos;
}

// Item lines from `start` on while at least six characters follow the line's
// start; each line is handed over without its LF. Stops when no line end follows.
template <typename Fn>
void forEachItemLine(const QString& section, qsizetype start, Fn&& handle) {
  while (start >= 0 && section.size() - (start + 1) >= 6) {
    const qsizetype lf = section.indexOf(QLatin1Char('\n'), start);
    handle(section.mid(start, (lf < 0 ? section.size() : lf) - start));
    if (lf < 0) return;
    start = lf + 1;
  }
}

QString trimBlanks(const QString& text) {
  qsizetype first = 0, last = text.size();
  while (first < last && text[first] == QLatin1Char(' ')) ++first;
  while (last > first && text[last - 1] == QLatin1Char(' ')) --last;
  return text.mid(first, last - first);
}

// The value of a "KEY = value" field that ends at a TAB, else at a CR.
QString GetLangValue(const QString& text) {
  qsizetype end = text.indexOf(QLatin1Char('\t'));
  if (end < 0) end = lineEnd(text, 0);
  const QString field = text.left(end);
  const qsizetype eq = field.indexOf(QLatin1Char('='));
  return eq < 0 ? QString() : field.mid(eq + 2);
}

QString langValue(const QString& line, const QString& key) {
  const qsizetype k = line.indexOf(key);
  return k < 0 ? QString() : GetLangValue(line.mid(k));
}

// "TAB item CR LF" lines right below the heading's line; nullopt when the heading is absent.
std::optional<KeyedCollection<QString>> tabList(const QString& section, const QString& heading) {
  const qsizetype h = section.indexOf(heading);
  if (h < 0) return std::nullopt;
  KeyedCollection<QString> list;
  qsizetype line = afterLineEnds(section, h, 1);
  while (line >= 0 && line < section.size() && section[line] == QLatin1Char('\t')) {
    addText(list, section.mid(line + 1, lineEnd(section, line) - line - 1));
    line = afterLineEnds(section, line, 1);
  }
  return list;
}

// The leading whole number of a text, 0 when there is none or it does not fit 16 bits.
int leadingCount(const QString& text) {
  const QString blanksGone = trimBlanks(text);
  qsizetype digits = 0;
  while (digits < blanksGone.size() && blanksGone[digits].isDigit()) ++digits;
  bool ok = false;
  const int n = blanksGone.left(digits).toInt(&ok);
  return ok && n <= 32767 ? n : 0;
}

QByteArray statusQuery() {
  const QStringList commands{QStringLiteral(" RESET"),
                             QStringLiteral(" INFO PLVMEDIA"),
                             QStringLiteral(" INFO PLVFINISHER"),
                             QStringLiteral(" INFO CONFIG"),
                             QStringLiteral(" INQUIRE IOTNUMTRAYS"),
                             QStringLiteral(" INFO PLVFONTS"),
                             QStringLiteral(" INFO ID")};
  QByteArray query;
  for (const QString& command : commands) query += modPJL::lineBytes(kPJL + command);
  return query;
}

const QStringList kListKeys{QStringLiteral("Finish Programs"), QStringLiteral("Sizes"),
                            QStringLiteral("Sources"), QStringLiteral("Fonts")};

}  // namespace

clsPrinter::clsPrinter(const QString& name, const QString& address, QObject* parent)
    : QObject(parent),
      name(name),
      address(address),
      finishProgs(listOf(QStringLiteral("Bypass"))),
      sizes(listOf(QStringLiteral("Any"))),
      sources(listOf(QStringLiteral("Auto"))),
      fonts(listOf(QStringLiteral("Courier"))),
      tmr(std::make_unique<ccrpTimer>()),
      ml_RuntimeSupport(std::make_unique<MLRuntime::RuntimeSupport>()) {
  ResetMedia();
  QObject::connect(tmr.get(), &ccrpTimer::Timer, this, &clsPrinter::tmr_Timer);
  QObject::connect(ml_RuntimeSupport.get(), &MLRuntime::RuntimeSupport::LanguageChanged, this,
                   &clsPrinter::ml_RuntimeSupport_LanguageChanged);
}

clsPrinter::~clsPrinter() { tmr->setEnabled(false); }

void clsPrinter::ResetMedia() {
  mediaTypes.clear();
  clsMedia any;
  any.name = QStringLiteral("ANY");
  any.frenchName = QStringLiteral("Tout");
  any.spainishName = QStringLiteral("Todo");
  any.italianName = QStringLiteral("Tutto");
  any.germanName = QStringLiteral("Alle");
  any.portugueseName = QStringLiteral("Tudo");
  addItem(mediaTypes, any.name, any);
}

QString clsPrinter::logPrefix() const { return QStringLiteral("clsPrinter(") + name + QStringLiteral(")-"); }

bool clsPrinter::connect() {
  if (!statusCon) {
    statusCon = std::make_unique<clsServerCon>();
    if (connectLimit_ > 0) statusCon->setConnectLimit(connectLimit_);
    statusCon->setStallLimit(stallLimit_);
    QObject::connect(statusCon.get(), &clsServerCon::ProcessResult, this,
                     &clsPrinter::statusCon_ProcessResult);
    QObject::connect(statusCon.get(), &clsServerCon::ConnectionLost, this,
                     &clsPrinter::statusCon_ConnectionLost);
  }
  waiting_ = false;
  if (statusCon->connected()) statusCon->disconnect();
  while (statusCon->connected()) PumpEvents();
  return statusCon->connect(ipAddress(), port());
}

QString clsPrinter::ipAddress() const { return address.section(QLatin1Char(':'), 0, 0); }

int clsPrinter::port() const {
  const qsizetype colon = address.indexOf(QLatin1Char(':'));
  if (colon < 0) return DefaultPort;
  const QString digits = address.mid(colon + 1);
  bool ok = false;
  const int n = digits.toInt(&ok);
  const bool plainDigits =
      !digits.isEmpty() && std::all_of(digits.begin(), digits.end(), [](QChar c) { return c.isDigit(); });
  return ok && plainDigits && n >= 1 && n <= 65535 ? n : 0;
}

void clsPrinter::setStallLimit(int milliseconds) {
  stallLimit_ = milliseconds;
  if (statusCon) statusCon->setStallLimit(milliseconds);
}

void clsPrinter::send(const QByteArray& bData, qint32 length) {
  if (statusCon) statusCon->send(bData, length);
}

bool clsPrinter::sending() const { return statusCon && statusCon->sending; }

bool clsPrinter::sendSucceeded() const {
  return statusCon && statusCon->connected() && statusCon->sendSuccess;
}

void clsPrinter::stopSend() {
  if (statusCon) statusCon->stopSend();
}

void clsPrinter::disconnect() {
  if (statusCon) statusCon->disconnect();
  waiting_ = false;
  replyBuffer_.clear();
  if (frmProgress* dialog = frmProgress::instance()) dialog->hide();
}

QString clsPrinter::model() const {
  const qsizetype blank = IDstring.lastIndexOf(QLatin1Char(' '));
  return blank < 0 ? IDstring : IDstring.left(blank);
}

QString clsPrinter::version() const {
  const qsizetype blank = IDstring.lastIndexOf(QLatin1Char(' '));
  return blank < 0 ? QStringLiteral("1.0") : IDstring.mid(blank + 1);
}

bool clsPrinter::update() {
  frmProgress* dialog = frmProgress::Load();
  tmr->setEventType(ccrpTimer::TimerOneShot);
  tmr->setInterval(statusTick_);
  dialog->pbProgress->setRange(0, 100);
  dialog->pbProgress->setValue(0);
  dialog->lblFilename->clear();
  requested_ = true;
  tmr->setEnabled(true);
  dialog->exec();
  const bool result = !dialog->cancelled;
  // A tick left armed (after a failed connect or a Cancel) would later close
  // whatever connection the printer holds then, a job's included.
  tmr->setEnabled(false);
  requested_ = false;
  frmProgress::Unload();
  disconnect();
  return result;
}

void clsPrinter::tmr_Timer() {
  if (requested_) {
    RequestStatus();
    requested_ = false;
    StatusProgress.idleTicks = 0;
    StatusProgress.lastLength = 0;
    tmr->setEnabled(true);
  } else if (waiting_) {
    waitingTick();
  } else {
    disconnect();
  }
}

void clsPrinter::waitingTick() {
  ++StatusProgress.idleTicks;
  if (replyBuffer_.size() > StatusProgress.lastLength) StatusProgress.idleTicks = 0;
  StatusProgress.lastLength = replyBuffer_.size();
  frmProgress* dialog = frmProgress::instance();
  if (dialog && dialog->pbProgress->value() < StatusProgress.idleTicks)
    dialog->pbProgress->setValue(StatusProgress.idleTicks);
  if (StatusProgress.idleTicks < StatusIdleTicks) {
    tmr->setEnabled(true);
    return;
  }
  failQuery();
  LogMessage(logPrefix() + QStringLiteral("update: Status request timed out. Resetting connection."));
}

// The query ends as failed: the driver reads `cancelled`.
void clsPrinter::failQuery() {
  if (frmProgress* dialog = frmProgress::instance()) dialog->cancelled = true;
  disconnect();
}

void clsPrinter::RequestStatus() {
  frmProgress* dialog = frmProgress::instance();
  if (dialog) {
    dialog->pbProgress->setValue(10);
    dialog->lblFilename->setText(GetResString(102) + name + QStringLiteral("..."));
  }
  if (!connect()) {
    if (dialog) {
      dialog->cancelled = true;
      dialog->hide();
    }
    LogMessage(logPrefix() + QStringLiteral("update: Status connection failed."));
    return;
  }
  waiting_ = false;
  if (dialog) {
    dialog->lblFilename->setText(GetResString(103) + name + QStringLiteral("..."));
    dialog->pbProgress->setValue(20);
  }
  LogMessage(QStringLiteral("clsPrintQueue(") + name +
             QStringLiteral(")-update: Requesting PLV_SYS_STAT, STATUS, PLVQUEUE and INROLLnSTAT..."));
  waiting_ = true;
  query_ = statusQuery();
  send(query_, 0);
}

void clsPrinter::ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language) {
  SetLanguage(LanguageID, Language);
}

// The reply is parsed once, when it is complete; what comes after it is ignored.
void clsPrinter::statusCon_ProcessResult(const QString& result) {
  if (!waiting_) return;
  if (result.contains(QStringLiteral("@PJL INFO PLVMEDIA"))) replyBuffer_.clear();
  replyBuffer_ += result;
  if (replyBuffer_.size() > ReplyCap) {
    failQuery();
    LogMessage(logPrefix() + QStringLiteral("update: Status reply too long. Resetting connection."));
    return;
  }
  const qsizetype count = replyBuffer_.count(kPJL);
  LogMessage(logPrefix() + QStringLiteral("StatusCon_ProcessResult. Got  ") + QString::number(count) +
             QStringLiteral(" responses, expected ") + QString::number(ExpectedReplies) +
             QStringLiteral("."));
  if (gLogging)
    LogMessage(logPrefix() + QStringLiteral("StatusCon_ProcessResult. So far: >>") + replyBuffer_ +
               QStringLiteral("<<"));
  if (count < ExpectedReplies) return;
  replyBuffer_ += kPJL;
  waiting_ = false;
  parseReply();
}

void clsPrinter::takeStatusReply(const QStringList& messages) {
  replyBuffer_.clear();
  waiting_ = true;
  for (const QString& message : messages) statusCon_ProcessResult(message);
  waiting_ = false;
}

// A reply that can no longer complete fails the query at once.
void clsPrinter::statusCon_ConnectionLost() {
  if (!waiting_) return;
  failQuery();
  LogMessage(logPrefix() + QStringLiteral("update: Status connection closed before the reply was complete."));
}

void clsPrinter::parseReply() {
  parseConfig(replySection(replyBuffer_, QStringLiteral("@PJL INFO CONFIG")));
  parseTrays(replySection(replyBuffer_, QStringLiteral("@PJL INQUIRE IOTNUMTRAYS")));
  parseFinisher(replySection(replyBuffer_, QStringLiteral("@PJL INFO PLVFINISHER")));
  parseMedia(replySection(replyBuffer_, QStringLiteral("@PJL INFO PLVMEDIA")));
  parseFonts(replySection(replyBuffer_, QStringLiteral("@PJL INFO PLVFONTS")));
  parseId(replySection(replyBuffer_, QStringLiteral("@PJL INFO ID")));
}

void clsPrinter::parseConfig(const QString& section) {
  if (section.isNull()) return;
  if (auto papers = tabList(section, QStringLiteral("PAPERS "))) sizes = std::move(*papers);
  if (auto rolls = tabList(section, QStringLiteral("IN ROLLS "))) sources = std::move(*rolls);
}

// Trays follow the rolls of this reply, or else join the sources as they were.
void clsPrinter::parseTrays(const QString& section) {
  if (section.isNull()) return;
  const qsizetype start = afterLineEnds(section, 0, 1);
  if (start < 0) return;
  const QString value = section.mid(start, lineEnd(section, start) - start);
  LogMessage(logPrefix() + QStringLiteral("StatusCon_ProcessResult. Got tray count: ") + value);
  const int trays = leadingCount(value);
  for (int i = 1; i <= trays; ++i) addText(sources, QStringLiteral("TRAY") + QString::number(i));
}

void clsPrinter::parseFinisher(const QString& section) {
  if (section.isNull()) return;
  const qsizetype m = section.indexOf(QStringLiteral("MODEL"));
  if (m >= 0) {
    const qsizetype end = lineEnd(section, m);
    const qsizetype eq = section.indexOf(QLatin1Char('='), m);
    if (eq >= 0 && eq < end) finisherModel = trimBlanks(section.mid(eq + 1, end - eq - 1));
  }
  const qsizetype f = section.indexOf(QStringLiteral("FINISHPROGRAMS"));
  if (f < 0) return;
  finishProgs.clear();
  forEachItemLine(section, afterLineEnds(section, f, 2), [this](const QString& line) {
    const qsizetype tab = line.indexOf(QLatin1Char('\t'));
    if (tab >= 0) addText(finishProgs, line.left(tab));
  });
  if (finishProgs.isEmpty()) addText(finishProgs, QStringLiteral("Bypass"));
}

void clsPrinter::parseMedia(const QString& section) {
  if (section.isNull()) return;
  ResetMedia();
  forEachItemLine(section, afterLineEnds(section, 0, 1), [this](const QString& line) {
    const qsizetype tab = line.indexOf(QLatin1Char('\t'));
    if (tab < 0) return;
    const QString first = line.left(tab);
    const qsizetype eq = first.indexOf(QLatin1Char('='));
    if (eq < 0) return;
    clsMedia media;
    media.name = first.mid(eq + 2);
    if (media.name.isEmpty()) return;
    media.frenchName = langValue(line, QStringLiteral("FRENCHNAME"));
    media.italianName = langValue(line, QStringLiteral("ITALIANNAME"));
    media.germanName = langValue(line, QStringLiteral("GERMANNAME"));
    media.spainishName = langValue(line, QStringLiteral("SPANISHNAME"));
    media.portugueseName = langValue(line, QStringLiteral("PORTUGUESENAME"));
    addItem(mediaTypes, media.name, media);
  });
}

void clsPrinter::parseFonts(const QString& section) {
  if (section.isNull()) return;
  fonts.clear();
  forEachItemLine(section, afterLineEnds(section, 0, 2), [this](const QString& line) {
    const qsizetype open = line.indexOf(QLatin1Char('"'));
    if (open < 0) return;
    const qsizetype close = line.indexOf(QLatin1Char('"'), open + 1);
    if (close >= 0) addText(fonts, line.mid(open + 1, close - open - 1));
  });
}

void clsPrinter::parseId(const QString& section) {
  if (section.isNull()) return;
  IDstring = section.mid(12);
  IDstring.remove(QLatin1Char('\r')).remove(QLatin1Char('\n')).remove(QLatin1Char('"'));
  LogMessage(logPrefix() + QStringLiteral("StatusCon_ProcessResult. ID: ") + IDstring);
}

namespace {

QString printerKey(const QString& name) { return gRegRoot + QStringLiteral("Printers\\") + name; }

void deleteKey(const QString& key) {
  RegObj reg;
  reg.setRoot(HKEY_CURRENT_USER);
  reg.setKey(key);
  reg.DeleteKey();
}

// Values "1", "2", ... in list order.
bool writeList(const QString& key, const KeyedCollection<QString>& list) {
  RegObj reg;
  reg.setRoot(HKEY_CURRENT_USER);
  reg.setKey(key);
  bool ok = reg.haveWritePerms();
  for (qsizetype i = 0; i < list.size(); ++i) ok = reg.setValue(QString::number(i + 1), list.at(i)) && ok;
  return ok;
}

// Replaces the list only when the key holds values; a duplicate is an error.
bool readList(const QString& key, KeyedCollection<QString>& list) {
  RegObj reg;
  reg.setRoot(HKEY_CURRENT_USER);
  reg.setKey(key);
  const auto values = reg.AllValues();
  if (values.isEmpty()) return true;
  bool ok = true;
  list.clear();
  for (const auto& value : values) ok = addText(list, value.second.toString()) && ok;
  return ok;
}

}  // namespace

bool clsPrinter::SaveToReg() {
  const QString key = printerKey(name);
  RegObj reg;
  reg.setRoot(HKEY_CURRENT_USER);
  reg.setKey(key);
  bool ok = reg.haveWritePerms();
  ok = reg.setValue(QStringLiteral("address"), address) && ok;
  ok = reg.setValue(QStringLiteral("IDstring"), IDstring) && ok;
  ok = reg.setValue(QStringLiteral("finisherModel"), finisherModel) && ok;
  for (const QString& list : kListKeys) deleteKey(key + QStringLiteral("\\") + list);
  deleteKey(key + QStringLiteral("\\Media"));
  ok = writeList(key + QStringLiteral("\\Finish Programs"), finishProgs) && ok;
  for (const auto& media : mediaTypes) ok = media.second.SaveToReg(name) && ok;
  ok = writeList(key + QStringLiteral("\\Sizes"), sizes) && ok;
  ok = writeList(key + QStringLiteral("\\Sources"), sources) && ok;
  ok = writeList(key + QStringLiteral("\\Fonts"), fonts) && ok;
  return ok;
}

QByteArray clsPrinter::savedState() const {
  QByteArray state;
  QDataStream out(&state, QIODevice::WriteOnly);
  out << name << address << IDstring << finisherModel;
  for (const KeyedCollection<QString>* list : {&finishProgs, &sizes, &sources, &fonts}) {
    out << qint64(list->size());
    for (const auto& item : *list) out << item.second;
  }
  out << qint64(mediaTypes.size());
  for (const auto& [key, media] : mediaTypes)
    out << media.name << media.frenchName << media.spainishName << media.italianName << media.germanName
        << media.portugueseName;
  return state;
}

bool clsPrinter::LoadFromReg(const QString& pName) {
  name = pName;
  const QString key = printerKey(pName);
  RegObj reg;
  reg.setRoot(HKEY_CURRENT_USER);
  reg.setKey(key);
  address = reg.value(QStringLiteral("address")).toString();
  IDstring = reg.value(QStringLiteral("IDstring")).toString();
  finisherModel = reg.value(QStringLiteral("finisherModel")).toString();
  bool ok = readList(key + QStringLiteral("\\Finish Programs"), finishProgs);
  ok = readList(key + QStringLiteral("\\Sizes"), sizes) && ok;
  ok = readList(key + QStringLiteral("\\Sources"), sources) && ok;
  ok = readList(key + QStringLiteral("\\Fonts"), fonts) && ok;

  RegObj mediaReg;
  mediaReg.setRoot(HKEY_CURRENT_USER);
  mediaReg.setKey(key + QStringLiteral("\\Media"));
  const QStringList mediaNames = mediaReg.AllKeys();
  if (mediaNames.isEmpty()) return ok;
  mediaTypes.clear();
  for (const QString& mediaName : mediaNames) {
    clsMedia media;
    ok = media.LoadFromReg(pName, mediaName) && ok;
    if (addItem(mediaTypes, media.name, media))
      mediaTypes.at(mediaTypes.size() - 1).index = static_cast<qint32>(mediaTypes.size());
    else
      ok = false;
  }
  return ok;
}
