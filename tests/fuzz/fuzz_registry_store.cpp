// Registry store: any file reads without harm, and a write leaves every other value as it was.
#include <QDir>
#include <QFile>

#include "FuzzSupport.h"
#include "RegistryStore.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzSupport::setUp();
  return 0;
}

namespace {
constexpr quint32 kUser = 0x80000001;
using Snapshot = QList<std::pair<QString, QList<std::pair<QString, RegValue>>>>;

void collect(RegistryStore& store, const QString& path, Snapshot& out, int depth) {
  if (depth > 32) return;
  out.append({path.toUpper(), store.values(path)});
  for (const QString& sub : store.subKeys(path))
    collect(store, path.isEmpty() ? sub : path + QLatin1Char('\\') + sub, out, depth + 1);
}

Snapshot snapshot(RegistryStore& store) {
  Snapshot out;
  collect(store, QString(), out, 0);
  return out;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString folder = FuzzSupport::scratch();
  for (const QString& name : QDir(folder).entryList({QStringLiteral("HKEY_CURRENT_USER.reg*")}, QDir::Files))
    QFile::remove(folder + QLatin1Char('/') + name);
  RegistryStore store(kUser);
  FuzzSupport::writeScratch(QStringLiteral("HKEY_CURRENT_USER.reg"), FuzzSupport::bytesOf(data, size));
  const Snapshot before = snapshot(store);
  const RegValue written{RegType::Sz, QByteArray("fuzz\0", 5)};
  if (!store.setValue(QStringLiteral("Fuzz\\Written"), QStringLiteral("value"), written)) return 0;
  RegistryStore fresh(kUser);
  Snapshot after = snapshot(fresh);
  FUZZ_CHECK(fresh.queryValue(QStringLiteral("Fuzz\\Written"), QStringLiteral("value")) == written);
  // Take the written value (and the keys made for it) out again: the rest must be as it was.
  Snapshot rest;
  for (auto& entry : after) {
    const QString& path = entry.first;
    auto& values = entry.second;
    if (path == QStringLiteral("FUZZ\\WRITTEN"))
      values.removeIf([](const auto& entry) {
        return entry.first.compare(QStringLiteral("value"), Qt::CaseInsensitive) == 0;
      });
    const bool made =
        (path == QStringLiteral("FUZZ") || path == QStringLiteral("FUZZ\\WRITTEN")) && values.isEmpty();
    const bool wasThere =
        std::any_of(before.begin(), before.end(), [&](const auto& key) { return key.first == path; });
    if (!made || wasThere) rest.append({path, values});
  }
  FUZZ_CHECK(rest == before);
  return 0;
}
