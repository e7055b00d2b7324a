#include "clsPJLOptionCategory.h"

#include "MlStringModule.h"

clsPJLOptionCategory::clsPJLOptionCategory()
    : ml_RuntimeSupport(std::make_unique<MLRuntime::RuntimeSupport>()) {
  QObject::connect(
      ml_RuntimeSupport.get(), &MLRuntime::RuntimeSupport::LanguageChanged, ml_RuntimeSupport.get(),
      [this](int id, const QString& language) { ml_RuntimeSupport_LanguageChanged(id, language); });
}

clsPJLOptionCategory::~clsPJLOptionCategory() = default;

QString clsPJLOptionCategory::CommandList() const {
  QString list = QStringLiteral(",");
  for (const auto& entry : Commands.jobOptions) list += entry.second->name + QStringLiteral(",");
  return list.size() == 1 ? QStringLiteral(",,") : list;
}

void clsPJLOptionCategory::ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language) {
  SetLanguage(LanguageID, Language);
}
