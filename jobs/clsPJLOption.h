#pragma once

#include <QString>
#include <QVariant>
#include <memory>

#include "KeyedCollection.h"
#include "MLRuntime.h"

// One PJL option. As a definition (in a category's Commands set) it carries the
// flags, value lists, default and description read from the definition file; as
// a working option it carries a name and a value and takes the rest from its
// master definition, the option of the same name that FindCategory leads to.
class clsPJLOption {
 public:
  // Values as sent; an invalid QVariant is the free-entry value.
  using ValueList = KeyedCollection<QVariant>;
  using TextList = KeyedCollection<QString>;

  clsPJLOption();
  ~clsPJLOption();
  clsPJLOption(const clsPJLOption&) = delete;
  clsPJLOption& operator=(const clsPJLOption&) = delete;

  QString name;
  bool supported = false;

  bool listOnly() const;
  void setQuoted(bool quoted);
  QString Default();
  QString uiDefault();
  bool quoted();
  void setCausesReprocess(bool reprocess);
  bool causesReprocess();
  // Control characters are dropped, so no value can break a PJL line.
  void setValue(const QString& text);
  QString value() const;
  QString uiValue();
  void setUiValue(const QString& text);
  void possValueDesc(const QString& possVal, const QString& uiVal, bool isDefault, const QString& possDesc);
  const TextList& possibleValueDescriptions();
  QString valueDescription();
  void setDescription(const QString& text);
  QString description();
  const TextList& possibleUIValues();
  const ValueList& possibleValues();
  // The name of the category that lists this option; empty when none does.
  QString category() const;
  bool SetFromPJLString(const QString& PJLStr);
  bool SetFromString(const QString& line);
  QString GetPJLString() const;
  QString GetString() const;
  // Writes the option's RCF entry into RCFData and returns its section; -1
  // when the option has no RCF form, 0 (RCFData unchanged) for an unknown paper.
  qint16 GetRCFEntry(QString& RCFData) const;
  std::unique_ptr<clsPJLOption> Clone() const;
  bool isJobOption() const;
  bool isDocOption() const;
  void ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language);

  // The text without its control characters (CR, LF, TAB, NUL and the like).
  static QString withoutControls(const QString& text);

 private:
  enum TriState : short { Unset = 0, Yes = 1, No = -1 };

  // The option of this name in the definitions; this very object for a definition.
  clsPJLOption* definition() const;
  // The definition this working option follows; nullptr when there is none.
  clsPJLOption* master() const;
  void RefreshValueLists();
  // The lists of the options whose values come from the job's printer, built
  // anew on every use so that they follow the printer.
  void RefreshPrinterLists();
  bool resolveTriState(TriState& state, bool (clsPJLOption::*ask)());
  void storeValue(const QString& text);

  TriState quoted_ = Unset;
  TriState reprocess_ = Unset;
  QString value_;
  QString description_;
  // Shared with the master definition, so a reload of the definitions leaves
  // working options with valid lists.
  std::shared_ptr<ValueList> possibleValues_;
  std::shared_ptr<TextList> possibleUIValues_;
  std::shared_ptr<TextList> possibleValueDescriptions_;
  QString default_;
  std::unique_ptr<MLRuntime::RuntimeSupport> ml_RuntimeSupport;
};
