#pragma once

#include <QByteArray>
#include <QString>

// The Universal Exit Language: ESC followed by "%-12345X".
extern QString gUEL;
// Byte patterns of the PJL stream, built once by modPJL::Init.
extern QByteArray gUELBytes;
extern QByteArray gPJLBytes;
extern QByteArray gSpacePJLBytes;
extern QByteArray gCRBytes;
extern QByteArray gLFBytes;
extern QByteArray gNULBytes;
extern QByteArray gESCBytes;
extern QByteArray gBEGMFBytes;
extern QByteArray gENDMFBytes;
extern QByteArray gAPPLDATABytes;

namespace modPJL {
// Builds the constants; every later call returns at once.
void Init();

// One PJL line as it goes to the printer: the text in the code page, where a
// character the code page lacks becomes "?" and every byte below 0x20 or 0x7F is
// dropped (the text's own line end among them), then CR LF.
QByteArray lineBytes(const QString& text);
}  // namespace modPJL
