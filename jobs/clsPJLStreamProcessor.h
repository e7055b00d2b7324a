#pragma once

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QStringList>
#include <memory>
#include <optional>

#include "mosSafeArray.h"

class ccrpTimer;

// Reads one document file in timer-driven steps through a fixed buffer and cuts
// it into parts: header lines and data, without the document's own UELs, PJL
// lines and CGM clear-text header records.
//
// The owner may release the streamer from inside its own StreamComplete or
// ProcessData handler, but only with deleteLater(); a handler may also call
// StopNow. Nothing the streamer does after the signal returns relies on state
// such a handler changes.
class clsPJLStreamProcessor : public QObject {
  Q_OBJECT
 public:
  static constexpr qint32 BufferSize = 1048577;
  static constexpr int FirstStepMs = 250;
  static constexpr int NextStepMs = 50;

  explicit clsPJLStreamProcessor(QObject* parent = nullptr);
  ~clsPJLStreamProcessor() override;

  // Starts streaming `fileName`; `forwardFileName`, when not empty, receives a copy of every byte read.
  void BeginFileStream(const QString& fileName, const QString& forwardFileName);
  // Ends the stream; StreamComplete is raised once per stream however often this runs.
  void StopNow();
  bool isIdle() const;

 signals:
  // One part. `headers` is null when the part continues data of an earlier
  // call; otherwise it holds the part's header lines (possibly none). `bData`
  // views the streamer's buffer and is valid only while the handler runs.
  void ProcessData(const QStringList* headers, const ByteView& bData);
  void StreamComplete(bool success);
  void UpdateProgress(qint64 bytesDone);

 private:
  enum ParseState { Start = 0, PjlHeader = 1, Data = 2, CgmHeader = 3, CgmData = 4 };

  // What a pattern test found at the parse position.
  struct Match {
    qint32 status = 0;  // -1 more data needed, 0 no match, 1 found
    qint32 length = 0;  // bytes up to the line's terminator
    bool terminated = false;
    qint32 terminatorLength = 0;  // of the terminator as far as it is buffered
    QString text;
  };

  void tmr_Timer();
  void readFileChunk();
  void openCapture(const QString& path);
  void closeFiles();
  void captureNewBytes();

  void parseBuffer(bool final);
  // One visit of the current state; false when parsing stops for this call.
  bool parseStart(bool final);
  bool parsePjlHeader(bool final);
  bool parseData(bool final, const QByteArray& boundary);
  bool parseCgmHeader(bool final);
  void addCgmRecord(const QString& rcfText);
  void addCgmJobLines(const QString& lineText);
  // Raises ProcessData for the current lines and `length` bytes at the parse position.
  void raisePart(qint32 length);
  // Raises the lines when they hold at least one.
  void raiseCollectedLines();
  // A handler of the last event ended or restarted the stream.
  bool streamChanged() const { return generation_ != parseGeneration_; }

  qint32 available() const { return fill_ - pos_; }
  bool startsWith(const QByteArray& pattern) const;
  Match findPattern(const QByteArray& pattern, bool wantLine, bool anyLine, bool final) const;
  qint32 terminatorAt(qint32 at, int slot) const;
  void consumeLine(const Match& match, bool final);
  // Consumes the bytes of a line end that stand at the parse position, from
  // `slot` of its NUL, NUL, CR, LF run on; remembers where it stopped when the
  // buffered bytes end inside it.
  void skipLineEnd(int slot, bool final);

  QByteArray buffer_;
  qint32 fill_ = 0;
  qint32 pos_ = 0;
  ByteView dataView_;
  std::unique_ptr<QFile> input_;
  std::unique_ptr<QFile> capture_;
  qint32 captured_ = 0;
  bool error_ = false;
  bool idle_ = true;
  ParseState state_ = Start;
  bool cgmSeen_ = false;
  bool busy_ = false;
  // Slot of the line-end run to go on with at the next parse; -1 when none.
  int pendingLineEnd_ = -1;
  // The header lines of this parse call; nothing when the part continues.
  std::optional<QStringList> lines_;
  // Changes whenever a stream starts or stops, so a parse or read step can
  // tell that a handler ended its stream.
  quint64 generation_ = 0;
  quint64 parseGeneration_ = 0;
  std::unique_ptr<ccrpTimer> tmr_;
};
