// The job ticket (".kvt"): the job written as sections of key=value lines, and read back.

#include <QDateTime>
#include <QFile>
#include <QSet>
#include <QStringTokenizer>
#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

#include "Ansi.h"
#include "ReplaceFile.h"
#include "clsJob.h"
#include "clsSettings.h"
#include "modFileSystem.h"
#include "modLumasetCommon.h"

namespace {

// An empty value in a ticket stands for an option the job did not have: it
// removes the option instead of making one that would send an empty SET line.
void assign(clsPJLOptionSet& set, const QString& name, const QString& value) {
  set.setPjlOpt(name, value.isEmpty() ? QVariant() : QVariant(value));
}

const QString kVersion = QStringLiteral("VERSION=17");
const QString kNoCopies = QStringLiteral("1");

const QStringList kStampLines = {"RASTERSCALING=100", "STAMPUNITS=INCH",  "RASTERSCALEMODE=RELATIVE",
                                 "RASTERROTATE=90",   "STAMPUSED=false",  kVersion,
                                 "RASTERID=",         "RASTERABSY=0",     "RASTERABSX=0",
                                 "RASTERLOCY=CENTER", "RASTERLOCX=CENTER"};

const QStringList kRenderLines = {"RASTER_HALFTONE=SCREEN",   "CONTRAST=0",
                                  "VECTOR_HALFTONE=AREAFILL", "LIGHTNESS=0",
                                  "VECMINLINEWIDTH=1",        "DOCUMENT_TYPE=AUTOSELECT",
                                  "RENDER_MODE=COLOR",        kVersion,
                                  "FINELINE_GSR=CONTONE",     "RENDER_ENABLED=false",
                                  "QUALITY_MODE=FAST",        "FINELINE_PT=7"};

const QStringList kPageCompLines = {"PAGECOMPSIZE=ANSI_E", "PAGECOMPROTATE=0", "PAGECOMPSCALE=false",
                                    "PAGECOMPPOSY=0.0",    "PAGECOMPPOSX=0.0", kVersion,
                                    "PAGECOMPUNITS=INCH"};

const QStringList kHpglLines = {"TERMSP=false", "TERMPLOTOFF=true", "TERMFR=true", "TERMPG=true",
                                "TERMNR=false", "TERMRP=true",      kVersion,      "TERMDETECTSIZE=false",
                                "TERMAH=true",  "TERMAF=true"};

const QStringList kCalcompLines = {
    "TERMMANUAL=false", "SYNC=22",       "TERMNEWPLOT=false", "TERMTOF=true",       kVersion,
    "TERMEOP=2",        "EOM=13",        "TERMSA=BOTH",       "TERMSTARTPLOT=true", "TERMPAUSE=true",
    "CHEKSUM=true",     "STEPSIZE=2032", "NUMSYNC=2",         "TERMFORCEPLOT=true"};

// Keys that only carry values from the ticket to their options while loading.
const QStringList kTemporaryKeys = {"MIRRORX",   "MIRRORY",        "JUSTUNITS",       "JUSTDISTX",
                                    "JUSTDISTY", "PAGEROTATETYPE", "PAGESCALINGTYPE", "LABELUNITS",
                                    "LABELABSX", "LABELABSY"};

// A document whose label is not used shows the label of the document defaults.
const QStringList kDefaultLabelKeys = {"LABELSTRING",  "LABELLOCX",   "LABELLOCY", "LABELFONT",
                                       "LABELSHADING", "LABELROTATE", "LABELSIZE"};

constexpr double kMillimetresPerInch = 25.4;

// Numbers in a ticket use "." whatever the locale.
std::optional<double> numberIn(const QString& text) { return finiteNumber(text); }

double numberOf(const QString& text) { return numberIn(text).value_or(0); }

QString numberText(double number) {
  // No "-0".
  if (number == 0) number = 0;
  return QString::number(number, 'f', QLocale::FloatingPointShortest);
}

QString N(const QString& text) { return numberText(numberOf(text)); }

QString Q(QString text) { return text.remove(QLatin1Char('"')); }

QString TF(bool condition) { return condition ? QStringLiteral("true") : QStringLiteral("false"); }

// The options of one set as the ticket writes them.
class Options {
 public:
  explicit Options(clsPJLOptionSet& set) : set_(set) {}

  QString o(const QString& key, const QString& fallback = QString()) const {
    return set_.pjlOpt(key, fallback).toString();
  }
  // "ABSOLUTE" for a distance, otherwise the named position.
  QString A(const QString& key) const {
    const QString value = o(key, QStringLiteral("0"));
    return numberIn(value) ? QStringLiteral("ABSOLUTE") : value;
  }

 private:
  clsPJLOptionSet& set_;
};

// The ticket's text; every section ends with an empty line, every line with CR LF.
class TicketText {
 public:
  void line(const QString& text) { text_ += text + QStringLiteral("\r\n"); }
  void lines(const QStringList& texts) {
    for (const QString& text : texts) line(text);
  }
  // A value never breaks its line.
  void value(const QString& key, QString text) {
    line(key + QLatin1Char('=') + text.remove(QLatin1Char('\r')).remove(QLatin1Char('\n')));
  }
  void section(const QString& name) {
    endSection();
    line(QLatin1Char('[') + name + QLatin1Char(']'));
    inSection_ = true;
  }
  QString finish() {
    endSection();
    return text_;
  }

 private:
  void endSection() {
    if (inSection_) line(QString());
    inSection_ = false;
  }

  QString text_;
  bool inSection_ = false;
};

QString threeDigits(qsizetype number) { return QStringLiteral("%1").arg(number, 3, 10, QLatin1Char('0')); }

// The configured printer the job goes to; nullptr when there is none.
const clsPrinter* jobPrinter(const clsJob& job) {
  return gSettings ? gSettings->printers.printer(job.printerName) : nullptr;
}

void writeHeader(TicketText& ticket) {
  ticket.line(QStringLiteral("#  File saved by Dravmit on ") +
              QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
  ticket.line(QString());
  ticket.line(QString());
}

void writeJobSetup(TicketText& ticket, const clsJob& job) {
  const Options s(*job.jobOpts);
  ticket.section(QStringLiteral("JOBSETUP"));
  ticket.value(QStringLiteral("NAME"), job.jobName);
  ticket.value(QStringLiteral("ACCOUNT"), s.o(QStringLiteral("ACCT_ACCTID")));
  ticket.line(kVersion);
  ticket.value(QStringLiteral("SUBACCOUNT"), s.o(QStringLiteral("ACCT_USERID")));
  ticket.value(QStringLiteral("COPIES"), s.o(QStringLiteral("COPIES"), QStringLiteral("1")));
  ticket.value(QStringLiteral("PRIORITY"), s.o(QStringLiteral("PRIORITY"), QStringLiteral("5")));
  ticket.value(QStringLiteral("HOLDRELEASE"), s.o(QStringLiteral("HOLDRELEASE"), QStringLiteral("NONE")));
  ticket.line(QStringLiteral("AUTO_NAME=false"));
  ticket.value(QStringLiteral("PRINTER"), job.printerName);
}

void writeJobComp(TicketText& ticket, const clsJob& job) {
  ticket.section(QStringLiteral("JOBCOMP"));
  ticket.lines({"PLOTNESTING=OFF", "PAGECOMPENABLE=false"});
  ticket.value(QStringLiteral("FILECOUNT"), QString::number(job.documentCount()));
  ticket.lines({"PAGECOMPMEDIATYPE=ANY", kVersion, "PAGECOMPPAPER=ANSI_E", "PAGECOMPMEDIASOURCE=AUTO",
                "SINGLEPGJOB=DISABLED"});
}

// The job's finishing carries the job's collation; a document's carries none.
void writeFinishing(TicketText& ticket, const Options& s, const clsPrinter* printer,
                    const std::optional<QString>& collation) {
  ticket.value(QStringLiteral("FOLDINGINTELLIGENT_TB"),
               TF(s.o(QStringLiteral("FININTTITLEBLOCK")).toUpper() == QStringLiteral("ON")));
  if (collation)
    ticket.value(QStringLiteral("COLLATION"), *collation);
  else
    ticket.line(QStringLiteral("DOC_OPTIONS_USED=true"));
  // Without a configured printer there is no folder to name.
  if (printer)
    ticket.value(QStringLiteral("FOLDER"),
                 printer->finisherModel.isEmpty() ? QStringLiteral("BYPASS") : printer->finisherModel);
  ticket.line(kVersion);
  ticket.value(QStringLiteral("FOLDING"), Q(s.o(QStringLiteral("FINISHPROGID"), QStringLiteral("BYPASS"))));
  if (collation)
    ticket.lines(
        {"MEDIAMISMATCH=SCALE", "FOLDINGMARGIN=false", "BANNER=false", "REVERSE=false", "FOLDINGPATH="});
  else
    ticket.line(QStringLiteral("FOLDINGMARGIN=false"));
  ticket.value(QStringLiteral("FOLDINGTITLEBLK"),
               s.o(QStringLiteral("TITLEBLOCK"), QStringLiteral("LOWERRIGHT")));
  ticket.lines({"FOLDINGPUNCH=false", "FOLDINGSORTBIN=DEFAULT", "FOLDINGTAB=false", "FOLDINGCROSS=false"});
}

void writeLabel(TicketText& ticket, const Options& s) {
  ticket.value(QStringLiteral("LABELFONT"), s.o(QStringLiteral("LABELFONT"), QStringLiteral("Courier")));
  ticket.value(QStringLiteral("LABELSHADING"), s.o(QStringLiteral("LABELSHADING"), QStringLiteral("100")));
  ticket.value(QStringLiteral("LABELSIZE"), s.o(QStringLiteral("LABELSIZE"), QStringLiteral("12")));
  ticket.lines({"LABELUNITS=INCH", "LABELUSED=true", kVersion});
  ticket.value(QStringLiteral("LABELABSY"), N(s.o(QStringLiteral("LABELLOCY"), QStringLiteral("0"))));
  ticket.value(QStringLiteral("LABELABSX"), N(s.o(QStringLiteral("LABELLOCX"), QStringLiteral("0"))));
  ticket.value(QStringLiteral("LABELLOCY"), s.A(QStringLiteral("LABELLOCY")));
  ticket.value(QStringLiteral("LABELLOCX"), s.A(QStringLiteral("LABELLOCX")));
  ticket.value(QStringLiteral("LABELSTRING"), Q(s.o(QStringLiteral("LABELSTRING"))));
  ticket.value(QStringLiteral("LABELROTATE"), s.o(QStringLiteral("LABELROTATE"), QStringLiteral("0")));
}

void writeColors(TicketText& ticket, const clsPrinter* printer) {
  ticket.section(QStringLiteral("JOB_COLOR"));
  ticket.line(QStringLiteral("MEDIATYPE=NoMediaTypeSelected"));
  if (printer) ticket.value(QStringLiteral("ITEM_COUNT"), QString::number(printer->mediaTypes.size()));
  ticket.line(kVersion);
  if (!printer) return;
  for (qsizetype k = 0; k < printer->mediaTypes.size(); ++k) {
    ticket.section(QStringLiteral("COLOR_") + threeDigits(k));
    ticket.value(QStringLiteral("COLOR_MEDIATYPE"), printer->mediaTypes.at(k).name);
    ticket.lines({kVersion, "APPLY_GAMMA=false", "APPLY_INK=false", "GAMMA=1.0,1.0,1.0,1.0",
                  "INK_LIMIT=100,100,100,100"});
  }
}

void writeJobSections(TicketText& ticket, const clsJob& job, const clsPrinter* printer) {
  const QString count = QString::number(job.documentCount());
  ticket.section(QStringLiteral("DOCSET"));
  ticket.line(kVersion);
  ticket.value(QStringLiteral("DOCUMENTCOUNT"), count);
  ticket.section(QStringLiteral("PRINTER_ID"));
  ticket.line(QStringLiteral("JBA_AVAILABLE=true"));
  writeJobSetup(ticket, job);
  writeJobComp(ticket, job);
  const Options defaults(*job.docDefaults);
  ticket.section(QStringLiteral("JOBFINISHING"));
  // Collation is a job option: it is kept with the job's own options.
  writeFinishing(ticket, defaults, printer,
                 Options(*job.jobOpts).o(QStringLiteral("COLLATIONENABLE"), QStringLiteral("OFF")));
  ticket.section(QStringLiteral("LABEL"));
  writeLabel(ticket, defaults);
  ticket.section(QStringLiteral("STAMP"));
  ticket.lines(kStampLines);
  ticket.section(QStringLiteral("RENDER"));
  ticket.lines(kRenderLines);
  writeColors(ticket, printer);
  ticket.section(QStringLiteral("DOCUMENTDEFAULTS"));
  ticket.line(kVersion);
}

void writeSetup(TicketText& ticket, const Options& s) {
  const QString mirror = s.o(QStringLiteral("MIRRORIMAGE"));
  const QString scaling = N(s.o(QStringLiteral("PAGESCALING"), QStringLiteral("100")));
  ticket.value(QStringLiteral("JUSTTYPEX"), s.A(QStringLiteral("JUSTIFYX")));
  ticket.value(QStringLiteral("DESCRIPTION"), s.o(QStringLiteral("DOCCOPIES"), QStringLiteral("1")));
  ticket.lines({"HALFTONE=SCREEN", kVersion});
  ticket.value(QStringLiteral("MIRRORY"), TF(mirror.contains(QLatin1Char('Y'), Qt::CaseInsensitive)));
  ticket.line(QStringLiteral("JUSTUNITS=INCH"));
  ticket.value(QStringLiteral("MIRRORX"), TF(mirror.contains(QLatin1Char('X'), Qt::CaseInsensitive)));
  ticket.line(QStringLiteral("INK_LIMIT=100,100,100,100"));
  ticket.value(QStringLiteral("MEDIATYPE"), Q(s.o(QStringLiteral("MEDIANAME"))));
  ticket.value(
      QStringLiteral("AUTOROTATE"),
      TF(s.o(QStringLiteral("PAGEROTATE"), QStringLiteral("AUTO")).toUpper() == QStringLiteral("AUTO")));
  ticket.lines({"PDFOPTIMIZE=true", "COLOR_MEDIATYPE=ANY"});
  ticket.value(QStringLiteral("MEDIASOURCE"), s.o(QStringLiteral("MEDIASOURCE")));
  ticket.value(QStringLiteral("ROTATION"), N(s.o(QStringLiteral("PAGEROTATE"))));
  ticket.line(QStringLiteral("APPLY_GAMMA=false"));
  ticket.value(QStringLiteral("SCALINGPERCENT"), numberOf(scaling) == 0 ? QStringLiteral("100") : scaling);
  ticket.value(QStringLiteral("JUSTDISTY"), N(s.o(QStringLiteral("JUSTIFYY"), QStringLiteral("0"))));
  ticket.value(QStringLiteral("JUSTDISTX"), N(s.o(QStringLiteral("JUSTIFYX"), QStringLiteral("0"))));
  ticket.line(QStringLiteral("CIECOLOR=false"));
  ticket.value(
      QStringLiteral("LINESCALEMODE"),
      TF(s.o(QStringLiteral("LINESCALEMODE"), QStringLiteral("ON")).toUpper() == QStringLiteral("ON")));
  ticket.value(QStringLiteral("SCALINGTYPE"),
               s.o(QStringLiteral("PAGESCALING"), QStringLiteral("AUTO")).toUpper() == QStringLiteral("AUTO")
                   ? QStringLiteral("TOFIT")
                   : QStringLiteral("FIXED"));
  ticket.line(QStringLiteral("PDL=AUTO"));
  ticket.value(QStringLiteral("MEDIASIZE"), s.o(QStringLiteral("PAPER"), QStringLiteral("BESTFIT")));
  ticket.lines({"APPLY_INK=false", "RESETPAGE=false"});
  ticket.value(QStringLiteral("FOLDINGTITLEBLK"),
               s.o(QStringLiteral("TITLEBLOCK"), QStringLiteral("LOWERRIGHT")));
  ticket.lines({"USEDEFAULT=true", "GAMMA=1.0,1.0,1.0,1.0"});
  ticket.value(QStringLiteral("JUSTTYPEY"), s.A(QStringLiteral("JUSTIFYY")));
}

// Number 000 is the document defaults, 001 and up the documents in send order.
void writeDocumentSections(TicketText& ticket, qsizetype number, const clsDocument* document,
                           const Options& s, const clsPrinter* printer) {
  const QString nnn = threeDigits(number);
  if (document) {
    ticket.section(QStringLiteral("DOCUMENT") + nnn);
    ticket.value(QStringLiteral("DOCUMENTNAME"), document->fileName);
    ticket.lines({kVersion, "ISDEFAULT=false"});
  }
  ticket.section(QStringLiteral("SETUP") + nnn);
  writeSetup(ticket, s);
  ticket.section(QStringLiteral("PAGECOMP") + nnn);
  ticket.lines(kPageCompLines);
  ticket.section(QStringLiteral("LABEL") + nnn);
  writeLabel(ticket, s);
  ticket.section(QStringLiteral("STAMP") + nnn);
  ticket.lines(kStampLines);
  ticket.section(QStringLiteral("RENDER") + nnn);
  ticket.lines(kRenderLines);
  ticket.section(QStringLiteral("JOBFINISHING") + nnn);
  writeFinishing(ticket, s, printer, std::nullopt);
  ticket.section(QStringLiteral("HPGL") + nnn);
  ticket.lines(kHpglLines);
  ticket.section(QStringLiteral("CALCOMP") + nnn);
  ticket.lines(kCalcompLines);
}

QString ticketText(const clsJob& job) {
  const clsPrinter* printer = jobPrinter(job);
  TicketText ticket;
  writeHeader(ticket);
  writeJobSections(ticket, job, printer);
  writeDocumentSections(ticket, 0, nullptr, Options(*job.docDefaults), printer);
  qsizetype number = 0;
  for (const auto& entry : job.docs()) {
    const clsDocument& document = *entry.second;
    writeDocumentSections(ticket, ++number, &document, Options(*document.opts), printer);
  }
  return ticket.finish();
}

// Copies as the ticket's DESCRIPTION gives them: whole, from 2 to 999.
QString docCopies(const QString& value) {
  const double number = numberOf(value);
  if (number <= 1 || number >= 1000) return kNoCopies;
  return numberText(std::nearbyint(number));
}

QString upper(const QString& value) { return value.toUpper(); }

QString trueToOnOff(const QString& value) {
  return value.toUpper() == QStringLiteral("TRUE") ? QStringLiteral("ON") : QStringLiteral("OFF");
}

// A section name split into its base name and its number: the digits it ends
// in, at least three of them, as the writer writes numbers ("007", "1000").
struct SectionName {
  QString base;
  std::optional<qint64> number;
};

SectionName sectionName(const QString& name) {
  constexpr qsizetype kMostDigits = 18;
  qsizetype start = name.size();
  while (start > 0 && name[start - 1] >= QLatin1Char('0') && name[start - 1] <= QLatin1Char('9')) --start;
  const QString digits = name.mid(start);
  // A run with a leading zero (or too long to be a count) is read as three-digit numbers always were.
  const bool asBefore =
      digits.size() > 3 && (digits.front() == QLatin1Char('0') || digits.size() > kMostDigits);
  const qsizetype extra = asBefore ? digits.size() - 3 : 0;
  const QString number = digits.mid(extra);
  if (number.size() < 3) return {name, std::nullopt};
  return {name.left(start + extra), number.toLongLong()};
}

bool namesDocument(const SectionName& section) {
  return section.number &&
         (section.base == QStringLiteral("DOCUMENT") || section.base == QStringLiteral("FILE"));
}

// How many documents the ticket names, counting each section number once;
// counting stops one past the most a ticket may name.
qsizetype documentsNamed(const QString& content) {
  QSet<qint64> numbers;
  for (const QStringView line : QStringTokenizer(content, u'\n')) {
    const QStringView text = line.trimmed();
    if (!text.startsWith(QLatin1Char('[')) || text.size() < 2) continue;
    const SectionName section = sectionName(text.sliced(1, text.size() - 2).toString().toUpper());
    if (namesDocument(section)) numbers.insert(*section.number);
    if (numbers.size() > clsJob::MaxTicketDocuments) break;
  }
  return numbers.size();
}

}  // namespace

// Reads the lines of a ticket into a job, section by section.
class TicketReader {
 public:
  TicketReader(clsJob& job, std::function<void(clsPJLOptionSet&)> convert)
      : job_(job), convert_(std::move(convert)), current_(job.docDefaults.get()) {}

  void read(QString line) {
    // A carriage return is never part of a value: the writer drops it too, so what loads saves back alike.
    line = line.remove(QLatin1Char('\r')).trimmed();
    if (line.isEmpty() || QStringLiteral(";#'").contains(line.front())) return;
    if (line.front() == QLatin1Char('[')) {
      readSection(line.size() < 2 ? QString() : line.mid(1, line.size() - 2).toUpper());
      return;
    }
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals < 0 || base_.isNull()) return;
    readValue(line.left(equals).trimmed().toUpper(), line.mid(equals + 1).trimmed());
  }

  // The set read last still waits for its conversion.
  void finish() { convert_(*current_); }

 private:
  void readSection(const QString& name) {
    const SectionName section = sectionName(name);
    base_ = section.base;
    if (!section.number) return;
    const qint64 number = *section.number;
    if (base_ != QStringLiteral("COLOR_") && number > highest_) {
      highest_ = number;
      skipping_ = true;
    }
    if (namesDocument(section)) startDocument(number);
  }

  // A repeated section names its document again.
  void startDocument(qint64 number) {
    convert_(*current_);
    clsDocument*& document = documents_[number];
    if (!document) document = job_.addDocument(-1, QString(), *job_.docDefaults);
    document_ = document;
    current_ = document_->opts.get();
    skipping_ = false;
  }

  // `text` keeps its double quotes: names and paths are written as they are.
  void readValue(const QString& key, const QString& text) {
    const QString value = Q(text);
    if (base_ == QStringLiteral("JOB") || base_ == QStringLiteral("JOBSETUP"))
      readJobValue(key, text, value);
    else if (base_ == QStringLiteral("SETUP") || base_ == QStringLiteral("FILE"))
      readSetupValue(key, text, value);
    else if (base_ == QStringLiteral("DOCUMENT") && key == QStringLiteral("DOCUMENTNAME"))
      setFileName(text);
    else if ((base_ == QStringLiteral("LABEL") || base_ == QStringLiteral("JOBFINISHING")) && !skipping_)
      readLabelValue(key, value);
  }

  void readJobValue(const QString& key, const QString& text, const QString& value) {
    clsPJLOptionSet& jobOpts = *job_.jobOpts;
    if (key == QStringLiteral("NAME"))
      job_.jobName = text;
    else if (key == QStringLiteral("ACCOUNT"))
      assign(jobOpts, QStringLiteral("ACCT_ACCTID"), value);
    else if (key == QStringLiteral("SUBACCOUNT"))
      assign(jobOpts, QStringLiteral("ACCT_USERID"), value);
    else if (key == QStringLiteral("PRIORITY") || key == QStringLiteral("COPIES"))
      assign(jobOpts, key, value);
    else if (key == QStringLiteral("COLLATION"))
      assign(jobOpts, QStringLiteral("COLLATIONENABLE"), upper(value));
    else if (key == QStringLiteral("HOLDRELEASE"))
      assign(jobOpts, key, upper(value));
    else if (key == QStringLiteral("FOLDING"))
      assign(jobOpts, QStringLiteral("FINISHPROGID"), value);
    else if (key == QStringLiteral("PRINTER"))
      job_.printerName = text;
  }

  void readSetupValue(const QString& key, const QString& text, const QString& value) {
    clsPJLOptionSet& set = *current_;
    if (key == QStringLiteral("FILEPATH"))
      setFileName(text);
    else if (key == QStringLiteral("MEDIASOURCE") || key == QStringLiteral("JUSTDISTX") ||
             key == QStringLiteral("JUSTDISTY"))
      assign(set, key, value);
    else if (key == QStringLiteral("MEDIASIZE"))
      assign(set, QStringLiteral("PAPER"), value);
    else if (key == QStringLiteral("MEDIATYPE"))
      assign(set, QStringLiteral("MEDIANAME"),
             upper(value) == QStringLiteral("PAPER") ? QStringLiteral("BOND") : value);
    else if (key == QStringLiteral("SCALINGTYPE"))
      assign(set, QStringLiteral("PAGESCALINGTYPE"), upper(value));
    else if (key == QStringLiteral("SCALINGPERCENT"))
      assign(set, QStringLiteral("PAGESCALING"), value);
    else if (key == QStringLiteral("AUTOROTATE"))
      assign(set, QStringLiteral("PAGEROTATETYPE"), upper(value));
    else if (key == QStringLiteral("ROTATION"))
      assign(set, QStringLiteral("PAGEROTATE"), value);
    else if (key == QStringLiteral("JUSTTYPEX"))
      assign(set, QStringLiteral("JUSTIFYX"), upper(value));
    else if (key == QStringLiteral("JUSTTYPEY"))
      assign(set, QStringLiteral("JUSTIFYY"), upper(value));
    else if (key == QStringLiteral("JUSTUNITS") || key == QStringLiteral("MIRRORX") ||
             key == QStringLiteral("MIRRORY"))
      assign(set, key, upper(value));
    else if (key == QStringLiteral("LINESCALEMODE"))
      assign(set, key, trueToOnOff(value));
    else if (key == QStringLiteral("FOLDINGTITLEBLK"))
      assign(set, QStringLiteral("TITLEBLOCK"), upper(value));
    else if (key == QStringLiteral("DESCRIPTION"))
      assign(set, QStringLiteral("DOCCOPIES"), docCopies(value));
  }

  void readLabelValue(const QString& key, const QString& value) {
    clsPJLOptionSet& set = *current_;
    static const QStringList kAsWritten = {"LABELFONT", "LABELSHADING", "LABELSIZE",  "LABELABSY",
                                           "LABELABSX", "LABELROTATE",  "LABELSTRING"};
    static const QStringList kUpperCased = {"LABELUNITS", "LABELLOCY", "LABELLOCX", "LABELUSED"};
    if (kAsWritten.contains(key))
      assign(set, key, value);
    else if (kUpperCased.contains(key))
      assign(set, key, upper(value));
    else if (key == QStringLiteral("FOLDINGINTELLIGENT_TB"))
      assign(set, QStringLiteral("FININTTITLEBLOCK"), trueToOnOff(value));
    else if (key == QStringLiteral("COLLATION"))
      // Collation is a job option, saved with the job's finishing.
      assign(*job_.jobOpts, QStringLiteral("COLLATIONENABLE"), upper(value));
    else if (key == QStringLiteral("FOLDING"))
      assign(set, QStringLiteral("FINISHPROGID"), value);
    else if (key == QStringLiteral("FOLDINGTITLEBLK"))
      assign(set, QStringLiteral("TITLEBLOCK"), upper(value));
  }

  void setFileName(const QString& path) {
    if (!skipping_ && document_) document_->fileName = path;
  }

  clsJob& job_;
  std::function<void(clsPJLOptionSet&)> convert_;
  clsPJLOptionSet* current_;
  clsDocument* document_ = nullptr;
  QHash<qint64, clsDocument*> documents_;
  qint64 highest_ = -1;
  bool skipping_ = false;
  // The base name of the last section line; null before the first.
  QString base_;
};

namespace {

QString text(clsPJLOptionSet& set, const QString& key) { return set.pjlOpt(key).toString(); }

void convertToInches(clsPJLOptionSet& set, const QString& key) {
  set.setPjlOpt(key, numberText(numberOf(text(set, key)) / kMillimetresPerInch));
}

// A set whose distances were converted must not be converted again by a
// document that inherits them.
void convertDistances(clsPJLOptionSet& set, const QString& units, const QString& x, const QString& y) {
  if (text(set, units) != QStringLiteral("MM")) return;
  convertToInches(set, x);
  convertToInches(set, y);
  set.setPjlOpt(units, QStringLiteral("INCH"));
}

void takeAbsolute(clsPJLOptionSet& set, const QString& position, const QString& distance) {
  if (text(set, position) == QStringLiteral("ABSOLUTE")) set.setPjlOpt(position, set.pjlOpt(distance));
}

QString mirrorImage(clsPJLOptionSet& set) {
  const bool x = text(set, QStringLiteral("MIRRORX")) == QStringLiteral("TRUE");
  const bool y = text(set, QStringLiteral("MIRRORY")) == QStringLiteral("TRUE");
  if (x && y) return QStringLiteral("MIRROR_XY");
  if (x) return QStringLiteral("MIRROR_X");
  if (y) return QStringLiteral("MIRROR_Y");
  return QStringLiteral("MIRROR_OFF");
}

}  // namespace

bool clsJob::saveToKVT() {
  if (kvtFile.isEmpty()) return false;
  // The old ticket stays until the new one is complete; what a killed save left beside it goes.
  return replaceFile(kvtFile, toAnsi(ticketText(*this)));
}

bool clsJob::loadFromKVT() {
  if (kvtFile.isEmpty() || !PathExists(kvtFile, false)) return false;
  QFile file(kvtFile);
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QString content = fromAnsi(file.readAll());
  file.close();
  const qsizetype named = documentsNamed(content);
  if (named > MaxTicketDocuments) {
    LogMessage(QStringLiteral("clsJob-loadFromKVT: ") + kvtFile + QStringLiteral(" names ") +
               QString::number(named) + QStringLiteral(" documents, more than ") +
               QString::number(MaxTicketDocuments) + QStringLiteral("; the ticket is taken as damaged."));
    return false;
  }
  TicketReader reader(*this, [this](clsPJLOptionSet& set) { convertLoadedOptions(set); });
  for (const QStringView line : QStringTokenizer(content, u'\n')) reader.read(line.toString());
  reader.finish();
  removeTemporaryKeys();
  refuseTicketDocumentsThatAreNoFiles();
  return true;
}

// A ticket may name a file that is missing for now (the job fails if it still is
// when sent), but never a folder, FIFO, device or socket.
void clsJob::refuseTicketDocumentsThatAreNoFiles() {
  QList<qint32> refused;
  for (const auto& [key, doc] : documents_)
    if (pathKind(doc->fileName) == PathKind::NotAFile) refused.append(doc->id);
  for (const qint32 id : refused) {
    refuse(document(id)->fileName);
    deleteDoc(id);
  }
}

void clsJob::convertLoadedOptions(clsPJLOptionSet& set) {
  if (text(set, QStringLiteral("PAGESCALINGTYPE")) == QStringLiteral("TOFIT"))
    set.setPjlOpt(QStringLiteral("PAGESCALING"), QStringLiteral("AUTO"));
  if (text(set, QStringLiteral("PAGEROTATETYPE")) == QStringLiteral("TRUE"))
    set.setPjlOpt(QStringLiteral("PAGEROTATE"), QStringLiteral("AUTO"));
  convertDistances(set, QStringLiteral("JUSTUNITS"), QStringLiteral("JUSTDISTX"),
                   QStringLiteral("JUSTDISTY"));
  takeAbsolute(set, QStringLiteral("JUSTIFYY"), QStringLiteral("JUSTDISTY"));
  takeAbsolute(set, QStringLiteral("JUSTIFYX"), QStringLiteral("JUSTDISTX"));
  set.setPjlOpt(QStringLiteral("MIRRORIMAGE"), mirrorImage(set));
  convertDistances(set, QStringLiteral("LABELUNITS"), QStringLiteral("LABELABSX"),
                   QStringLiteral("LABELABSY"));
  takeAbsolute(set, QStringLiteral("LABELLOCY"), QStringLiteral("LABELABSY"));
  takeAbsolute(set, QStringLiteral("LABELLOCX"), QStringLiteral("LABELABSX"));
  if (text(set, QStringLiteral("LABELUSED")) == QStringLiteral("TRUE") || &set == docDefaults.get()) return;
  for (const QString& key : kDefaultLabelKeys) set.setPjlOpt(key, docDefaults->pjlOpt(key));
}

void clsJob::removeTemporaryKeys() {
  QList<clsPJLOptionSet*> sets = {jobOpts.get(), docDefaults.get()};
  for (const auto& entry : documents_) sets.append(entry.second->opts.get());
  for (clsPJLOptionSet* set : sets)
    for (const QString& key : kTemporaryKeys) set->setPjlOpt(key, QVariant());
}
