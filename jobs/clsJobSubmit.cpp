// Sending a job: one PJL stream per submission, stepped by the job's timer and
// the document streamer's events while the progress dialog is shown.

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <algorithm>
#include <cmath>
#include <limits>

#include "MessageBox.h"
#include "MlStringModule.h"
#include "ccrpTimer.h"
#include "clsJob.h"
#include "clsPJLStreamProcessor.h"
#include "clsPrinter.h"
#include "clsServerCon.h"
#include "frmProgress.h"
#include "modFileSystem.h"
#include "modLumasetCommon.h"
#include "modPJL.h"
#include "modRCF.h"

namespace {

const QString kPJL = QStringLiteral("@PJL");

// How often a document's data goes out: its DOCCOPIES rounded up, at least once.
qint32 timesSent(const clsDocument& doc) {
  const double copies = modRCF::numericValue(doc.opts->pjlOpt(QStringLiteral("DOCCOPIES"), 1).toString());
  return static_cast<qint32>(
      std::clamp(std::ceil(copies), 1.0, static_cast<double>(std::numeric_limits<qint32>::max())));
}

// A job name can never end its own quoted value or line.
QString cleanJobName(const QString& name) {
  return clsPJLOption::withoutControls(name).remove(QLatin1Char('"'));
}

// The PJL line of an option that exists only for this line; quoting follows its definition.
QString temporaryOptionLine(const QString& name, const QString& value) {
  clsPJLOption option;
  option.name = name;
  option.setValue(value);
  return option.GetPJLString();
}

}  // namespace

bool clsJob::submit(clsPrinter* destPrn, bool unattended) {
  modPJL::Init();
  frmProgress* dialog = frmProgress::Load();
  dialog->pbProgress->setRange(0, ProgressMax);
  dialog->pbProgress->setValue(0);
  dialog->lblFilename->clear();

  printer_ = destPrn;
  // With a window the progress dialog's Cancel is the way out of a stalled printer.
  if (printer_) printer_->setStallLimit(unattended || !canAnswerDialogs() ? stallLimit_ : 0);
  pjlStream_UpdateProgress(-1);
  bytesDone_ = 0;
  documentIndex_ = -1;
  sendFailed_ = false;

  tmr->setEventType(ccrpTimer::TimerOneShot);
  tmr->setInterval(StepMs);
  tmr->setEnabled(true);

  dialog->exec();

  const bool result = !dialog->cancelled;
  if (pjlStream) pjlStream->StopNow();
  tmr->setEnabled(false);
  if (printer_) {
    printer_->disconnect();
    printer_->setStallLimit(0);
  }
  QCoreApplication::processEvents();
  printer_ = nullptr;
  currentDocument_ = nullptr;
  frmProgress::Unload();
  return result;
}

void clsJob::tmr_Timer() {
  if (stopped()) return;
  if (documentIndex_ < 0) {
    if (!startJob()) return;
    documentIndex_ = 1;
    copyCounter_ = 0;
    tmr->setEnabled(true);
  } else if (documentIndex_ > documentCount()) {
    endJob();
  } else {
    startDocument(documentIndex_);
    ++copyCounter_;
    if (timesSent(*currentDocument_) <= copyCounter_) {
      copyCounter_ = 0;
      ++documentIndex_;
    }
  }
}

bool clsJob::startJob() {
  frmProgress* dialog = frmProgress::instance();
  totalBytes_ = 0;
  for (const auto& [key, doc] : documents_) {
    dialog->lblFilename->setText(GetResString(103) + doc->fileName + QStringLiteral("..."));
    QFile file;
    if (!openRegularFile(file, doc->fileName)) {
      // A document that vanished is never sent as empty data: the job fails before it starts.
      MsgBox(doc->fileName, MsgBoxStyle::Information, GetResString(101));
      failSend();
      return false;
    }
    totalBytes_ += file.size() * timesSent(*doc);
  }

  if (printer_) dialog->lblFilename->setText(GetResString(102) + printer_->name + QStringLiteral("..."));
  if (!printer_ || !printer_->connect()) {
    // The caller reports the failure.
    dialog->cancelled = true;
    dialog->hide();
    return false;
  }
  sendJobHeader();
  return !sendFailed_;
}

void clsJob::sendJobHeader() {
  sendExitLanguage();
  sendString(kPJL + QStringLiteral(" JOB NAME=\"") + cleanJobName(jobName) + QStringLiteral("\""));
  for (const auto& [key, option] : jobOpts->jobOptions) sendString(option->GetPJLString());
}

void clsJob::startDocument(qint32 position) {
  currentDocument_ = documents_.at(position - 1).get();
  if (frmProgress* dialog = frmProgress::instance())
    dialog->lblFilename->setText(GetFileName(currentDocument_->fileName));
  startFileStream(currentDocument_->fileName);
}

void clsJob::startFileStream(const QString& path) {
  // Every copy sends its own option lines, whatever its file starts with.
  optionsSent_ = false;
  pjlStream = new clsPJLStreamProcessor(this);
  connect(pjlStream, &clsPJLStreamProcessor::ProcessData, this, &clsJob::pjlStream_ProcessData);
  connect(pjlStream, &clsPJLStreamProcessor::StreamComplete, this, &clsJob::pjlStream_StreamComplete);
  connect(pjlStream, &clsPJLStreamProcessor::UpdateProgress, this, &clsJob::pjlStream_UpdateProgress);
  pjlStream->BeginFileStream(path, QString());
}

void clsJob::endJob() {
  sendString(kPJL + QStringLiteral(" EOJ"));
  currentDocument_ = nullptr;
  printer_->disconnect();
  if (frmProgress* dialog = frmProgress::instance()) dialog->hide();
}

void clsJob::pjlStream_ProcessData(const QStringList* headers, const ByteView& bData) {
  // After Cancel or a failure no more document data goes out.
  if (stopped()) return;
  if (headers) {
    if (dataSent_) {
      sendExitLanguage();
      optionsSent_ = false;
    }
    dataSent_ = false;
  }
  if (bData.size() < 1) return;
  if (!optionsSent_) {
    optionsSent_ = true;
    sendDocumentHeader();
  }
  dataSent_ = true;
  // A view onto the streamer's buffer, not a copy; the send ends before the handler returns.
  sendBytes(QByteArray::fromRawData(bData.data(), bData.size()));
}

void clsJob::sendDocumentHeader() {
  if (currentDocument_) {
    for (const auto& [key, option] : currentDocument_->opts->jobOptions)
      if (option->name.toUpper() != QStringLiteral("DOCCOPIES")) sendString(option->GetPJLString());
    const QString& path = currentDocument_->fileName;
    sendString(temporaryOptionLine(QStringLiteral("SOURCEFILENAME"), GetBaseName(path)));
    sendString(temporaryOptionLine(QStringLiteral("SOURCEFILEEXT"), GetExtensionName(path)));
  }
  sendString(kPJL + QStringLiteral(" ENTER LANGUAGE=AUTO"));
}

void clsJob::pjlStream_StreamComplete(bool success) {
  sendExitLanguage();
  releaseStream();
  // A document that could not be read to its end leaves the job incomplete.
  if (!success) failSend();
  if (success && currentDocument_) bytesDone_ += GetPathSize(currentDocument_->fileName);
  tmr->setEnabled(true);
}

// Raised inside the streamer's own event, so it goes once that event is over.
void clsJob::releaseStream() {
  if (!pjlStream) return;
  pjlStream->disconnect(this);
  pjlStream->deleteLater();
  pjlStream = nullptr;
}

void clsJob::pjlStream_UpdateProgress(qint64 bytesDone) {
  if (bytesDone < 1) {
    lastProgress_ = 0;
    return;
  }
  frmProgress* dialog = frmProgress::instance();
  if (!dialog || totalBytes_ <= 0) return;
  const double share = static_cast<double>(bytesDone + bytesDone_) * dialog->pbProgress->maximum() /
                       static_cast<double>(totalBytes_);
  const qint32 value = static_cast<qint32>(MinValue(std::nearbyint(share), double(ProgressMax)));
  if (value <= lastProgress_) return;
  dialog->pbProgress->setValue(value);
  dialog->repaint();
  lastProgress_ = value;
}

// One PJL line; whatever could break the line never reaches the printer.
void clsJob::sendString(const QString& text) { sendBytes(modPJL::lineBytes(text)); }

// Closes a part or a copy: the printer leaves the document's language.
void clsJob::sendExitLanguage() { sendBytes(gUELBytes + modPJL::lineBytes(QStringLiteral(" ") + kPJL)); }

void clsJob::sendBytes(const QByteArray& bytes) {
  if (!printer_ || sendFailed_ || bytes.isEmpty()) return;
  printer_->send(bytes, 0);
  while (printer_->sending()) {
    // A printer that stopped reading must not hold a cancelled job.
    if (stopped()) {
      printer_->stopSend();
      return;
    }
    PumpEvents();
  }
  if (!printer_->sendSucceeded()) failSend();
}

// A lost connection or a failed write ends the job as failed.
void clsJob::failSend() {
  sendFailed_ = true;
  if (frmProgress* dialog = frmProgress::instance()) {
    dialog->cancelled = true;
    dialog->hide();
  }
}

bool clsJob::stopped() const {
  const frmProgress* dialog = frmProgress::instance();
  return !dialog || dialog->cancelled;
}
