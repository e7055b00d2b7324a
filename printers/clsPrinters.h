#pragma once

#include <QByteArray>
#include <QHash>
#include <QStringList>
#include <memory>

#include "KeyedCollection.h"
#include "clsPrinter.h"

namespace MLRuntime {
class RuntimeSupport;
}

// The configured printers, looked up by name without regard to case, in the
// order they were added.
class clsPrinters {
 public:
  clsPrinters();
  ~clsPrinters();

  // The printers' names in list order.
  QStringList names() const;
  // Removes the printer of that name (any case); an unknown name is ignored.
  void deletePrinter(const QString& pName);
  // The printer of that name (any case), or nullptr.
  clsPrinter* printer(const QString& pName) const;
  // Queries the printer and adds it when it answers; a printer that does not
  // answer is refused with a message and still returns true. False when the
  // name is taken.
  bool add(const QString& name, const QString& address);
  // Saves what this program changed since the list was loaded or saved (printers added,
  // edited, renamed or deleted) into the list as it is stored now, as one change of the
  // registry: printers that another program saved meanwhile stay as that program left them.
  bool SaveToReg();
  bool LoadFromReg();

 private:
  // A printer as it was saved or loaded.
  struct Saved {
    QString name;
    QByteArray state;
  };

  void ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language);

  KeyedCollection<std::shared_ptr<clsPrinter>> printers_;
  // Every printer as it was when the list was last loaded or saved, by its key in the list.
  QHash<QString, Saved> saved_;
  std::unique_ptr<MLRuntime::RuntimeSupport> ml_RuntimeSupport;
};
