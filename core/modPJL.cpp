#include "modPJL.h"

#include "Ansi.h"

QString gUEL;
QByteArray gUELBytes;
QByteArray gPJLBytes;
QByteArray gSpacePJLBytes;
QByteArray gCRBytes;
QByteArray gLFBytes;
QByteArray gNULBytes;
QByteArray gESCBytes;
QByteArray gBEGMFBytes;
QByteArray gENDMFBytes;
QByteArray gAPPLDATABytes;

namespace {
bool initialised = false;
}

void modPJL::Init() {
  if (initialised) return;
  gUEL = QChar(27) + QStringLiteral("%-12345X");
  gUELBytes = toAnsi(gUEL);
  gPJLBytes = toAnsi(QStringLiteral("@PJL"));
  gSpacePJLBytes = toAnsi(QStringLiteral(" @PJL"));
  gCRBytes = toAnsi(QString(QChar(13)));
  gLFBytes = toAnsi(QString(QChar(10)));
  gNULBytes = toAnsi(QString(QChar(0)));
  gESCBytes = toAnsi(QString(QChar(27)));
  gBEGMFBytes = toAnsi(QStringLiteral("BEGMF"));
  gENDMFBytes = toAnsi(QStringLiteral("ENDMF;"));
  gAPPLDATABytes = toAnsi(QStringLiteral("APPLDATA"));
  initialised = true;
}

QByteArray modPJL::lineBytes(const QString& text) {
  QByteArray bytes = toAnsi(text, '?');
  bytes.removeIf([](char c) { return static_cast<quint8>(c) < 0x20 || c == 0x7F; });
  return bytes + "\r\n";
}
