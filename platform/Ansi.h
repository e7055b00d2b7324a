#pragma once

#include <QByteArray>
#include <QString>

// Files, registry data and printer traffic are ANSI text (Windows-1252);
// these calls are the only place where text crosses that boundary.
QByteArray toAnsi(const QString& text);
// As above, but every character the code page lacks becomes `standIn`, one byte for each.
QByteArray toAnsi(const QString& text, char standIn);
QString fromAnsi(const QByteArray& bytes);
QString fromAnsi(const char* data, qsizetype length);
