#include "Ansi.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {
constexpr const char* kCodePage = "windows-1252";
}

QByteArray toAnsi(const QString& text) {
  QStringEncoder encoder(kCodePage, QStringConverter::Flag::Stateless);
  return encoder.encode(text);
}

QString fromAnsi(const char* data, qsizetype length) {
  QStringDecoder decoder(kCodePage, QStringConverter::Flag::Stateless);
  return decoder.decode(QByteArrayView(data, length));
}

QString fromAnsi(const QByteArray& bytes) { return fromAnsi(bytes.constData(), bytes.size()); }
