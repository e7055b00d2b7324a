#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

#include "KeyedCollection.h"
#include "clsMedia.h"

class ccrpTimer;
class clsServerCon;
namespace MLRuntime {
class RuntimeSupport;
}

// One configured printer controller: its name and address, what it reported
// about itself, and the one TCP client through which both its status query and
// a print job's data travel.
class clsPrinter : public QObject {
  Q_OBJECT
 public:
  static constexpr int DefaultPort = 2000;
  static constexpr int StatusTickMs = 100;
  static constexpr int StatusIdleTicks = 100;
  static constexpr int ExpectedReplies = 6;
  // Reply text collected for one query before the printer is given up.
  static constexpr qsizetype ReplyCap = 1024 * 1024;

  explicit clsPrinter(const QString& name = QString(), const QString& address = QString(),
                      QObject* parent = nullptr);
  ~clsPrinter() override;

  QString name;
  // Host name or dotted address, optionally ":" and a port.
  QString address;
  QString finisherModel;
  KeyedCollection<QString> finishProgs;
  KeyedCollection<clsMedia> mediaTypes;
  KeyedCollection<QString> sizes;
  KeyedCollection<QString> sources;
  KeyedCollection<QString> fonts;

  bool connect();
  QString ipAddress() const;
  // The port of `address`: 2000 when it names none, 0 when it names no valid one (1 to 65535).
  int port() const;
  // Starts sending `bData` (all of it for 0); keep it alive while `sending` holds.
  void send(const QByteArray& bData, qint32 length);
  bool sending() const;
  // The last send delivered all its bytes and the connection is still up.
  bool sendSucceeded() const;
  // Ends a send in progress; the connection stays.
  void stopSend();
  void disconnect();
  QString model() const;
  QString version() const;
  bool SaveToReg();
  bool LoadFromReg(const QString& pName);
  // Everything SaveToReg writes, as one value: printers with equal states save alike.
  QByteArray savedState() const;
  // Queries the printer behind the progress dialog; true when the reply was received and parsed.
  bool update();

  // Takes the messages as the reply of a query in progress, as if the printer
  // had sent them; tests and fuzzing feed replies through it.
  void takeStatusReply(const QStringList& messages);

  // The status query's tick; tests shorten it.
  void setStatusTick(int milliseconds) { statusTick_ = milliseconds; }
  // The connect limit of the TCP client; tests shorten it.
  void setConnectLimit(int milliseconds) { connectLimit_ = milliseconds; }
  // How long a send may get no byte accepted before the connection is given up; 0 waits.
  void setStallLimit(int milliseconds);

 private:
  void tmr_Timer();
  void ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language);
  void statusCon_ProcessResult(const QString& result);
  void statusCon_ConnectionLost();

  void RequestStatus();
  void waitingTick();
  void failQuery();
  void ResetMedia();
  void parseReply();
  void parseConfig(const QString& section);
  void parseTrays(const QString& section);
  void parseFinisher(const QString& section);
  void parseMedia(const QString& section);
  void parseFonts(const QString& section);
  void parseId(const QString& section);
  QString logPrefix() const;

  QString IDstring;
  QString replyBuffer_;
  bool waiting_ = false;
  bool requested_ = false;
  struct {
    int idleTicks = 0;
    qsizetype lastLength = 0;
  } StatusProgress;
  QByteArray query_;
  int statusTick_ = StatusTickMs;
  int connectLimit_ = 0;
  int stallLimit_ = 0;
  std::unique_ptr<clsServerCon> statusCon;
  std::unique_ptr<ccrpTimer> tmr;
  std::unique_ptr<MLRuntime::RuntimeSupport> ml_RuntimeSupport;
};
