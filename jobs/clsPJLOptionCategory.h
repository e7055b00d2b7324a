#pragma once

#include <QString>
#include <memory>

#include "MLRuntime.h"
#include "clsPJLOptionSet.h"

// One category of the option definitions: its option definitions in Commands.
class clsPJLOptionCategory {
 public:
  clsPJLOptionCategory();
  ~clsPJLOptionCategory();

  QString name;
  QString description;
  clsPJLOptionSet Commands;
  bool jobOptions = false;

  // "," + every option name followed by ","; ",," when there is none.
  QString CommandList() const;
  void ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language);

 private:
  std::unique_ptr<MLRuntime::RuntimeSupport> ml_RuntimeSupport;
};
