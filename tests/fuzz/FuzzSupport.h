#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

// What every fuzz target shares: a private scratch folder that the registry,
// HOME and TMPDIR point into, an application object for the event loop, and
// the project's own support files.
namespace FuzzSupport {

// Sets up the process once; call it from LLVMFuzzerInitialize.
void setUp();
QString scratch();
// Writes the bytes to a file of that name in the scratch folder; its path.
QString writeScratch(const QString& name, const QByteArray& bytes);
QString supportFolder();
QByteArray bytesOf(const uint8_t* data, size_t size);
// Ends the run with a report that libFuzzer keeps as a crash.
[[noreturn]] void fail(const char* what);

}  // namespace FuzzSupport

#define FUZZ_CHECK(condition) \
  if (!(condition)) FuzzSupport::fail(#condition)
