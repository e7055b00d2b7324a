#include "modMain.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <cstdio>

#include "LanguageSelect.h"
#include "MessageBox.h"
#include "MlStringModule.h"
#include "ProgramIcons.h"
#include "RegObj.h"
#include "RegistryStore.h"
#include "clsJob.h"
#include "clsSettings.h"
#include "frmDebug.h"
#include "frmMain.h"
#include "frmMainCommands.h"
#include "frmSettings.h"
#include "modLumasetCommon.h"
#include "modMultiThread.h"
#include "modPJL.h"
#include "modPJLOpts.h"

QString gStartDir;

namespace modMain {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kTab = QStringLiteral("\t");
const QString kIndent = QStringLiteral("          ");

constexpr int kNoPrinterConfigured = 174;
constexpr int kPrintersUnreadable = 175;

// The switch names: with one of these an argument is a switch even when it
// would otherwise read as a path.
const QStringList kSwitchNames{"/PRINTER", "--PRINTER", "/OPTS",   "--OPTS", "/ADD",
                               "--ADD",    "/PRINT",    "--PRINT", "/P",     "-P",
                               "/QUIT",    "--QUIT",    "/Q",      "-Q",     "--XSHOWLOG"};

// Options that belong to the job whichever document a /OPTS follows.
const QStringList kJobLevelOptions{"COPIES",      "COLLATIONENABLE", "ACCT_ACCTID",
                                   "ACCT_USERID", "PRIORITY",        "HOLDRELEASE"};

bool isSwitchIn(const QString& upper, std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (upper == QLatin1String(name)) return true;
  return false;
}

// The argument after `index` exists and is no switch.
bool nextIsValue(const QStringList& arguments, qsizetype index) {
  return index + 1 < arguments.size() && !isSwitch(arguments.at(index + 1));
}

// "name=value" into the job's options or the target set; without "=" or a name it is ignored.
void applyOption(const QString& argument, clsJob& job, clsPJLOptionSet& target) {
  const qsizetype equals = argument.indexOf(QLatin1Char('='));
  if (equals <= 0) return;
  const QString name = argument.left(equals).toUpper();
  const QString value = argument.mid(equals + 1);
  clsPJLOptionSet& set = kJobLevelOptions.contains(name) ? *job.jobOpts : target;
  set.setPjlOpt(name, value);
}

// The printer of that name (any case) as the settings write it; the job keeps its printer otherwise.
void choosePrinter(const QString& name, clsJob& job) {
  if (!gSettings) return;
  if (const clsPrinter* printer = gSettings->printers.printer(name)) job.printerName = printer->name;
}

// The globals go before the application object does: their windows and timers need it.
void releaseGlobals() {
  gJob.reset();
  gSettings.reset();
}

// Shells hand over arguments already split at blanks, quotes dropped; empty ones do not count.
QStringList programArguments() {
  QStringList arguments = QCoreApplication::arguments().mid(1);
  arguments.removeAll(QString());
  return arguments;
}

// Loads the main window hidden, with its commands.
frmMain* loadMainWindow() {
  auto* window = new frmMain;
  window->setAttribute(Qt::WA_DeleteOnClose);
  new frmMainCommands(window);
  return window;
}

// The automatic print; false when it did not run to its end.
bool printJob(bool unattended) {
  clsPrinter* printer = gSettings->printers.printer(gJob->printerName);
  if (gJob->submit(printer, unattended)) return true;
  MsgBox(GetResString(126), MsgBoxStyle::Critical | MsgBoxStyle::OkOnly, GetResString(116));
  return false;
}

// Nobody could answer the settings dialog: say why the run ends and how to
// configure a printer without it.
void reportUnusableSettings() {
  const bool noPrinter = gSettings->printers.names().isEmpty();
  const QString file = RegistryStore(HKEY_CURRENT_USER).filePath();
  const QString text = GetResString(noPrinter ? kNoPrinterConfigured : kPrintersUnreadable).arg(file);
  std::fprintf(stderr, "%s\n", qPrintable(text));
}

QString programName() { return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName(); }

QString helpLine(const QString& start, const QString& gap, int id) {
  return start + gap + GetResString(id) + kCrLf;
}

}  // namespace

std::optional<int> Main() { return Main(programArguments()); }

std::optional<int> Main(const QStringList& arguments) {
  gStartDir = QDir::currentPath();
  // Every window of the program carries its icon, the dialogs before the main window included.
  QApplication::setWindowIcon(ProgramIcons::application());
  ReadLogSwitch(arguments);
  LogMessage(QStringLiteral("modMain-Main: Calling commonInit..."));
  commonInit();
  LogMessage(QStringLiteral("modMain-Main: Calling modPJL.Init..."));
  modPJL::Init();
  LogMessage(QStringLiteral("modMain-Main: Calling modthread.nit"));
  modMultiThread::Init();
  modPJLOpts::Initialise(false);
  InitLocalisation();
  const int definitionsLanguage = gLanguageID;
  LanguageSelect::ShowDialog(true);
  // No window listens yet: definitions loaded before the stored language was
  // applied would show their names in the wrong language for the whole run.
  if (gLanguageID != definitionsLanguage) modPJLOpts::Initialise(true);
  qAddPostRoutine(releaseGlobals);
  gSettings = std::make_unique<clsSettings>();
  if (!EnsureSettings(true)) {
    if (!canAnswerDialogs()) reportUnusableSettings();
    return ExitSettingsCancelled;
  }

  gJob = std::make_unique<clsJob>();
  const SwitchFlags flags = ApplySwitches(arguments, *gJob);
  if (flags.usage) return ExitUsage;
  QPointer<frmMain> window = loadMainWindow();
  // A job without its ticket is not what was asked to be printed.
  const bool ticketLoaded = !window->ticketFailed();
  if (!ticketLoaded)
    MsgBox(GetResString(113), MsgBoxStyle::Critical | MsgBoxStyle::OkOnly, GetResString(114));
  const bool printed = !flags.print || (ticketLoaded && printJob(flags.quit));
  if (flags.quit) {
    delete window;
    if (!printed) return ExitPrintFailed;
    return gJob->refusedDocuments() > 0 ? ExitDocumentRefused : ExitSuccess;
  }
  if (window) window->show();
  return std::nullopt;
}

bool isSwitch(const QString& argument) {
  if (!argument.startsWith(QLatin1Char('/')) && !argument.startsWith(QLatin1Char('-'))) return false;
  return kSwitchNames.contains(argument.toUpper()) || !argument.mid(1).contains(QLatin1Char('/'));
}

void ReadLogSwitch(const QStringList& arguments) {
  for (qsizetype i = 0; i + 1 < arguments.size(); ++i) {
    if (arguments.at(i).toUpper() != QLatin1String("--XSHOWLOG")) continue;
    gLogging = true;
    if (nextIsValue(arguments, i)) {
      gLogFile = arguments.at(++i).trimmed();
    } else {
      frmDebug::instance().show();
    }
  }
}

SwitchFlags ApplySwitches(const QStringList& arguments, clsJob& job) {
  SwitchFlags flags;
  clsPJLOptionSet* target = job.docDefaults.get();
  // Options that follow a refused document belong to no document.
  clsPJLOptionSet refusedOptions;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& argument = arguments.at(i);
    const QString upper = argument.toUpper();
    const bool hasNext = i + 1 < arguments.size();
    if (isSwitchIn(upper, {"/PRINTER", "--PRINTER"})) {
      target = job.docDefaults.get();
      if (hasNext && nextIsValue(arguments, i)) choosePrinter(arguments.at(i + 1), job);
      if (hasNext) ++i;
    } else if (isSwitchIn(upper, {"/OPTS", "--OPTS"})) {
      if (hasNext) applyOption(arguments.at(++i), job, *target);
    } else if (isSwitchIn(upper, {"/ADD", "--ADD"})) {
      target = job.docDefaults.get();
      if (!nextIsValue(arguments, i)) continue;
      const qint32 refusedBefore = job.refusedDocuments();
      if (clsDocument* added = job.addDoc(-1, arguments.at(++i)))
        target = added->opts.get();
      else if (job.refusedDocuments() > refusedBefore)
        target = &refusedOptions;
    } else if (isSwitchIn(upper, {"/PRINT", "--PRINT", "/P", "-P"})) {
      flags.print = true;
    } else if (isSwitchIn(upper, {"/QUIT", "--QUIT", "/Q", "-Q"})) {
      flags.quit = true;
    } else if (upper == QLatin1String("--XSHOWLOG")) {
      if (nextIsValue(arguments, i)) ++i;
    } else if (isSwitch(argument)) {
      ShowCommandLineHelp();
      flags.usage = true;
      return flags;
    } else {
      target = job.docDefaults.get();
      job.kvtFile = argument;
    }
  }
  return flags;
}

QString CommandLineHelpText() {
  QString text = programName() +
                 QStringLiteral(
                     " [jobticket.kvt]  [/PRINTER printername]  [/OPTS option=value]  "
                     "[/ADD docfile  [/OPTS option=value] ]  [/PRINT  [/QUIT] ]") +
                 kCrLf + kCrLf;
  text += GetResString(127) + kCrLf;
  text += helpLine(kIndent + QStringLiteral("jobticket.kvt"), kTab + kTab, 128);
  text += helpLine(kIndent + QStringLiteral("/PRINTER printername"), kTab, 129);
  text += helpLine(kIndent + QStringLiteral("/OPTS option=value"), kTab, 130);
  text += helpLine(QString(), kTab + kTab + kTab, 131);
  text += helpLine(kIndent + QStringLiteral("/ADD docfile"), kTab + kTab, 132);
  text += helpLine(QString(), kTab + kTab + kTab, 133);
  text += helpLine(kIndent + QStringLiteral("/PRINT"), kTab + kTab, 134);
  text += helpLine(kIndent + QStringLiteral("/QUIT"), kTab + kTab, 135);
  return text;
}

bool EnsureSettings(bool skipFirstShow) {
  frmSettings dialog;
  if (!skipFirstShow) dialog.exec();
  while (!gSettings->LoadFromReg()) {
    if (dialog.cancelled) return false;
    dialog.exec();
  }
  return true;
}

void ShowCommandLineHelp() { MsgBox(CommandLineHelpText(), MsgBoxStyle::Information, GetResString(136)); }

}  // namespace modMain
