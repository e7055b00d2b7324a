#include "clsPrinters.h"

#include "MLRuntime.h"
#include "MessageBox.h"
#include "MlStringModule.h"
#include "RegObj.h"
#include "modLumasetCommon.h"

namespace {

QString keyOf(const QString& name) { return QStringLiteral("x") + name.toUpper(); }

QString printersKey() { return gRegRoot + QStringLiteral("Printers"); }

bool isStored(const QString& name) {
  RegObj reg;
  reg.setKey(printersKey());
  return reg.AllKeys().contains(name, Qt::CaseInsensitive);
}

// Deletes the printer's key with everything below it; a key that is gone already is no error.
bool removeStored(const QString& name) {
  RegObj reg;
  reg.setKey(printersKey() + QLatin1Char('\\') + name);
  return reg.DeleteKey() || !isStored(name);
}

}  // namespace

clsPrinters::clsPrinters() : ml_RuntimeSupport(std::make_unique<MLRuntime::RuntimeSupport>()) {
  QObject::connect(
      ml_RuntimeSupport.get(), &MLRuntime::RuntimeSupport::LanguageChanged,
      [this](int id, const QString& language) { ml_RuntimeSupport_LanguageChanged(id, language); });
}

clsPrinters::~clsPrinters() = default;

QStringList clsPrinters::names() const {
  QStringList list;
  for (const auto& entry : printers_) list.append(entry.second->name);
  return list;
}

void clsPrinters::deletePrinter(const QString& pName) { printers_.remove(keyOf(pName)); }

clsPrinter* clsPrinters::printer(const QString& pName) const {
  const auto* found = printers_.find(keyOf(pName));
  return found ? found->get() : nullptr;
}

bool clsPrinters::add(const QString& name, const QString& address) {
  auto candidate = std::make_shared<clsPrinter>(name, address);
  if (!candidate->update()) {
    MsgBox(GetResString(104), MsgBoxStyle::Critical, GetResString(105));
    return true;
  }
  if (printers_.contains(keyOf(name))) return false;
  printers_.insert(keyOf(name), std::move(candidate));
  return true;
}

bool clsPrinters::SaveToReg() {
  RegObj::Batch batch;
  QHash<QString, Saved> saved;
  bool ok = true;
  for (auto it = saved_.cbegin(); it != saved_.cend(); ++it) {
    if (printers_.contains(it.key())) continue;
    // A printer whose deletion failed is tried again at the next save.
    if (!removeStored(it->name)) {
      saved.insert(it.key(), *it);
      ok = false;
    }
  }
  for (const auto& [key, printer] : printers_) {
    Saved now{printer->name, printer->savedState()};
    const auto before = saved_.constFind(key);
    // Every printer is written into an empty key; one this program left alone is not written.
    const bool saves = before == saved_.cend() || before->state != now.state;
    if (saves && !(removeStored(printer->name) && printer->SaveToReg())) {
      ok = false;
      continue;
    }
    saved.insert(key, std::move(now));
  }
  batch.whenWritten([this, saved] { saved_ = saved; });
  return batch.commit() && ok;
}

bool clsPrinters::LoadFromReg() {
  // The list as one save left it, never half of one; the keys the load creates are one change.
  RegObj::Batch batch;
  printers_.clear();
  saved_.clear();
  RegObj reg;
  reg.setKey(printersKey());
  bool ok = true;
  for (const QString& name : reg.AllKeys()) {
    auto loaded = std::make_shared<clsPrinter>();
    ok = loaded->LoadFromReg(name) && ok;
    saved_.insert(keyOf(name), Saved{name, loaded->savedState()});
    printers_.insert(keyOf(name), std::move(loaded));
  }
  batch.commit();
  return ok && !printers_.isEmpty();
}

void clsPrinters::ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language) {
  SetLanguage(LanguageID, Language);
}
