#include "PeerProcess.h"

#include <QProcess>

int announcedPort(QProcess& peer) {
  if (!peer.waitForStarted(-1)) return 0;
  while (!peer.canReadLine()) {
    if (peer.state() == QProcess::NotRunning) return 0;
    peer.waitForReadyRead(1000);
  }
  return peer.readLine().trimmed().toInt();
}
