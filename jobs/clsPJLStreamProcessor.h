#pragma once

#include "mosSafeArray.h"

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QStringList>

#include <memory>

class ccrpTimer;

// Reads one document file in timer-driven steps through a fixed buffer and cuts
// it into parts: header lines and data, without the document's own UELs, PJL
// lines and CGM clear-text header records.
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
};
