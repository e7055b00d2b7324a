#pragma once

#include <QByteArray>
#include <QString>

// Files, registry data and printer traffic are ANSI text (Windows-1252);
// these two calls are the only place where text crosses that boundary.
QByteArray toAnsi(const QString& text);
QString fromAnsi(const QByteArray& bytes);
QString fromAnsi(const char* data, qsizetype length);
