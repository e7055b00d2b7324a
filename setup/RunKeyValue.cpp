#include "RunKeyValue.h"

#include "Ansi.h"
#include "RegistryStore.h"

namespace {

constexpr quint32 kCurrentUser = 0x80000001;
constexpr qsizetype kLongestKeptData = 200;
const QString kRunKey = QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Run");

}  // namespace

void AddRunKeyValue(const QString& archivePath) {
  RegistryStore store(kCurrentUser);
  if (!store.openKey(kRunKey, true)) return;
  const auto existing = store.queryValue(kRunKey, archivePath);
  if (existing && existing->data.size() <= kLongestKeptData) return;
  store.setValue(kRunKey, archivePath, RegValue{RegType::Sz, toAnsi(archivePath) + '\0'});
}

void RemoveRunKeyValue(const QString& archivePath) {
  RegistryStore store(kCurrentUser);
  if (store.queryValue(kRunKey, archivePath)) store.deleteValue(kRunKey, archivePath);
}
