#pragma once

#include <QIODevice>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

#include "KeyedCollection.h"
#include "MLRuntime.h"
#include "clsPJLOption.h"

class clsPaperSizes;

// An ordered set of options addressed by name, with the flag that records a
// change that makes the document need reprocessing.
class clsPJLOptionSet {
 public:
  // Keyed by the option name itself (no "x"), without regard to case.
  using OptionList = KeyedCollection<std::shared_ptr<clsPJLOption>>;

  clsPJLOptionSet();
  ~clsPJLOptionSet();
  clsPJLOptionSet(const clsPJLOptionSet&) = delete;
  clsPJLOptionSet& operator=(const clsPJLOptionSet&) = delete;

  OptionList jobOptions;

  bool ReprocessNeeded() const { return reprocessNeeded_; }
  void resetReprocessNeeded() { reprocessNeeded_ = false; }
  void setReprocessNeeded() { reprocessNeeded_ = true; }

  // The loaded definitions written back as a definition file, with the texts
  // translated through lookupPJL, for a translator's use.
  QString GenXML() const;
  // The translation of `text` from the translator's table; only out3 carries a
  // result. False for an empty text, a text the table lacks, or no table.
  static bool lookupPJL(const QString& text, QString& out1, QString& out2, QString& out3);
  // The translator's table read by lookupPJL; empty means none.
  static void setTranslationTable(const QString& path);

  QStringList optionNames() const;
  short count() const { return static_cast<short>(jobOptions.size()); }
  bool WriteToFile(QIODevice& file) const;
  bool ReadFromFile(QIODevice& file);
  std::unique_ptr<clsPJLOptionSet> Clone(bool jobOpts, bool docOpts) const;
  void Merge(const clsPJLOptionSet& optionSet, bool newOptsOK);

  // The option's value, or `defaultValue` when the set does not hold it; an
  // invalid QVariant stands for Null. The name is upper-cased, also in the
  // caller's variable when one is passed.
  QVariant pjlOpt(const QString& OptionName, const QVariant& defaultValue = QVariant());
  QVariant pjlOpt(QString& OptionName, const QVariant& defaultValue = QVariant());
  void UpdateFromString(const QString& PJLStr, bool noOverwriteJobOpts);
  // Sets or creates the option; an invalid QVariant (Null) removes it. A name
  // holding control characters is refused.
  void setPjlOpt(const QString& OptionName, const QVariant& newValue);
  void setPjlOpt(QString& OptionName, const QVariant& newValue);
  QStringList optsList() const;
  // Applies one RCF section line (section number, blank, KEY=VALUE entries) as options.
  void UpdateFromRCF(const QString& RCFData);
  void ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language);

  // The option held under `name`; nullptr when there is none.
  clsPJLOption* option(const QString& name) const;

 private:
  QVariant lookupValue(const QString& name, const QVariant& defaultValue);
  void storeValue(const QString& name, const QVariant& newValue);
  void applyRCFEntry(const QString& code, const QString& value, const clsPaperSizes& sizes);

  bool reprocessNeeded_ = false;
  // A MEDIANAME/PRINTMODE stand-in lookup is running.
  bool substituting_ = false;
  std::unique_ptr<MLRuntime::RuntimeSupport> ml_RuntimeSupport;
};
