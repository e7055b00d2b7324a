#include "clsPrinters.h"

#include "MLRuntime.h"
#include "MessageBox.h"
#include "MlStringModule.h"
#include "RegObj.h"
#include "modLumasetCommon.h"

namespace {

QString keyOf(const QString& name) { return QStringLiteral("x") + name.toUpper(); }

QString printersKey() { return gRegRoot + QStringLiteral("Printers"); }

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
  RegObj reg;
  reg.setKey(printersKey());
  reg.DeleteKey();
  bool ok = true;
  for (const auto& entry : printers_) ok = entry.second->SaveToReg() && ok;
  return ok;
}

bool clsPrinters::LoadFromReg() {
  printers_.clear();
  RegObj reg;
  reg.setKey(printersKey());
  bool ok = true;
  for (const QString& name : reg.AllKeys()) {
    auto loaded = std::make_shared<clsPrinter>();
    ok = loaded->LoadFromReg(name) && ok;
    printers_.insert(keyOf(name), std::move(loaded));
  }
  return ok && !printers_.isEmpty();
}

void clsPrinters::ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language) {
  SetLanguage(LanguageID, Language);
}
