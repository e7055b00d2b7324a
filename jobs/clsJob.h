#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>

#include "KeyedCollection.h"
#include "clsDocument.h"
#include "clsPJLOptionSet.h"

class ByteView;
class ccrpTimer;
class clsPJLStreamProcessor;
class clsPrinter;

// The print job being edited and sent: its printer, name, ticket path, job-level
// and document-default option sets, and its documents in send order.
class clsJob : public QObject {
  Q_OBJECT
 public:
  using Documents = KeyedCollection<std::shared_ptr<clsDocument>>;
  // A ticket that names more documents is damaged (or hostile) and is refused.
  static constexpr qsizetype MaxTicketDocuments = 65535;
  // How long a job that no one can cancel waits for the printer to take a byte:
  // controllers may stop reading for a while as they process a large sheet.
  static constexpr int StallLimitMs = 5 * 60 * 1000;

  clsJob();
  ~clsJob() override;

  QString printerName;
  std::unique_ptr<clsPJLOptionSet> jobOpts;
  std::unique_ptr<clsPJLOptionSet> docDefaults;
  QString kvtFile;
  QString jobName;

  qint32 documentCount() const;
  // The documents in send order, keyed "x" + id.
  const Documents& docs() const;
  // The document with that id, or nullptr.
  clsDocument* document(qint32 id) const;
  // Moves the listed documents before the document `beforeId`, or to the end
  // when it is negative or names no document.
  void moveDocs(const QList<qint32>& docIds, qint32 beforeId);
  void deleteDoc(qint32 id);
  // Adds a file, or every file of a folder tree; the options default to
  // docDefaults. Only a regular file (links followed) becomes a document:
  // anything else is refused with the "Could Not Read File" message. The
  // document added last, or nullptr when none was.
  clsDocument* addDoc(qint32 beforeId, const QString& fileName, const clsPJLOptionSet* options = nullptr);
  // How many named documents were refused since the job was created, a ticket's included.
  qint32 refusedDocuments() const { return refused_; }

  // Sends the job to the printer behind the progress dialog. True when it ran to its end.
  // `unattended`: no one is there to cancel (as with /PRINT /QUIT); a platform without
  // windows counts as such anyway. Then a printer that takes no byte for the stall limit fails the job.
  bool submit(clsPrinter* destPrn, bool unattended = false);
  // Tests shorten the stall limit.
  void setStallLimit(int milliseconds) { stallLimit_ = milliseconds; }

  bool saveToKVT();
  bool loadFromKVT();

 private:
  // The ticket reader adds its documents before it knows their files.
  friend class TicketReader;

  clsDocument* addDocument(qint32 beforeId, const QString& fileName, const clsPJLOptionSet& options);
  clsDocument* addFile(qint32 beforeId, const QString& fileName, const clsPJLOptionSet& options);
  clsDocument* addFolder(qint32 beforeId, const QString& folder, const clsPJLOptionSet& options);
  void refuse(const QString& fileName);

  // Sending.
  static constexpr int StepMs = 450;
  static constexpr int ProgressMax = 1000;

  void pjlStream_ProcessData(const QStringList* headers, const ByteView& bData);
  void pjlStream_StreamComplete(bool success);
  void pjlStream_UpdateProgress(qint64 bytesDone);
  void tmr_Timer();
  bool startJob();
  void startDocument(qint32 position);
  void startFileStream(const QString& path);
  void endJob();
  void sendJobHeader();
  void sendDocumentHeader();
  void sendBytes(const QByteArray& bytes);
  // One line, with or without its own line end.
  void sendString(const QString& text);
  void sendExitLanguage();
  void failSend();
  void releaseStream();
  // The dialog was cancelled, by the user or by a failure.
  bool stopped() const;

  // Job tickets.
  void convertLoadedOptions(clsPJLOptionSet& set);
  void removeTemporaryKeys();
  void refuseTicketDocumentsThatAreNoFiles();

  Documents documents_;
  qint32 nextDocId_ = 0;
  qint32 refused_ = 0;
  int stallLimit_ = StallLimitMs;

  clsPrinter* printer_ = nullptr;
  clsDocument* currentDocument_ = nullptr;
  qint32 documentIndex_ = -1;
  qint32 copyCounter_ = 0;
  qint64 totalBytes_ = 0;
  qint64 bytesDone_ = 0;
  // The streamer of the copy being sent; released with deleteLater, never inside its own event.
  QPointer<clsPJLStreamProcessor> pjlStream;
  std::unique_ptr<ccrpTimer> tmr;
  bool dataSent_ = false;
  bool optionsSent_ = false;
  // A send failed or the connection went: nothing more goes out in this submission.
  bool sendFailed_ = false;
  qint32 lastProgress_ = 0;
};

// The one current job; File New and File Open replace it.
extern std::unique_ptr<clsJob> gJob;
