#include "LanguageSelect.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "MLRuntime.h"
#include "MessageBox.h"
#include "MlStringModule.h"
#include "RegObj.h"
#include "modLumasetCommon.h"

namespace {

const QString kLangId = QStringLiteral("LangId");
const QString kLangName = QStringLiteral("LangName");
const QString kShowDialog = QStringLiteral("ShowDialog");

QString languageKey() { return gRegRoot + QStringLiteral("Language"); }

// "ShowDialog" as a Boolean; missing, empty or unreadable means show.
bool readShowAtStart(RegObj& reg) {
  const QString text = reg.value(kShowDialog).toString().trimmed();
  if (text.compare(QStringLiteral("False"), Qt::CaseInsensitive) == 0) return false;
  bool numeric = false;
  const double number = text.toDouble(&numeric);
  return !numeric || number != 0;
}

// "LangId", or English when it is missing or empty.
int readLanguageId(RegObj& reg) {
  bool ok = false;
  const int id = reg.value(kLangId).toString().trimmed().toInt(&ok);
  return ok ? id : kLanguageEnglish;
}

}  // namespace

LanguageSelect::LanguageSelect()
    : LanguageList(new QListWidget(this)),
      chkShowOnStartup(new QCheckBox(this)),
      OkButton(new QPushButton(this)),
      ml_RuntimeSupport(std::make_unique<MLRuntime::RuntimeSupport>()) {
  setObjectName(QStringLiteral("LanguageSelect"));
  LanguageList->setObjectName(QStringLiteral("LanguageList"));
  chkShowOnStartup->setObjectName(QStringLiteral("chkShowOnStartup"));
  OkButton->setObjectName(QStringLiteral("OkButton"));
  setModal(true);
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

  auto* buttons = new QHBoxLayout();
  buttons->addStretch();
  buttons->addWidget(OkButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(LanguageList);
  layout->addWidget(chkShowOnStartup);
  layout->addLayout(buttons);
  OkButton->setDefault(true);
  resize(340, 260);

  connect(OkButton, &QPushButton::clicked, this, &LanguageSelect::OkButton_Click);
  connect(LanguageList, &QListWidget::itemDoubleClicked, this, &LanguageSelect::LanguageList_DblClick);
  connect(ml_RuntimeSupport.get(), &MLRuntime::RuntimeSupport::LanguageChanged, this,
          &LanguageSelect::ml_RuntimeSupport_LanguageChanged);
  LoadCaptions();
}

LanguageSelect::~LanguageSelect() = default;

void LanguageSelect::ShowDialog(bool atStartup) {
  LanguageSelect form;
  RegObj reg;
  const bool machineWide = openLanguageKey(reg);
  if (atStartup) form.applyStoredLanguage(reg, machineWide);
  form.showAtStart = readShowAtStart(reg);
  form.FillList();
  if (!form.showAtStart && atStartup) return;
  if (!canAnswerDialogs()) return;
  execModal(form);
  reg.setRoot(machineWide ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER);
  reg.setKey(languageKey());
  reg.setValue(kLangId, gLanguageID);
  reg.setValue(kLangName, LanguageName(gLanguageID));
  reg.setValue(kShowDialog, form.showAtStart);
}

bool LanguageSelect::openLanguageKey(RegObj& reg) {
  reg.setRoot(HKEY_LOCAL_MACHINE);
  reg.setKey(languageKey());
  if (reg.haveWritePerms()) return true;
  reg.setRoot(HKEY_CURRENT_USER);
  reg.setKey(languageKey());
  return false;
}

// A per-user key without a stored name defers to the machine-wide key for every later read.
void LanguageSelect::applyStoredLanguage(RegObj& reg, bool machineWide) {
  QString name = reg.value(kLangName).toString();
  if (name.isEmpty() && !machineWide) {
    reg.setRoot(HKEY_LOCAL_MACHINE);
    reg.setKey(languageKey());
    name = reg.value(kLangName).toString();
  }
  const int id = readLanguageId(reg);
  SetLanguage(id, name);
  ml_RuntimeSupport = std::make_unique<MLRuntime::RuntimeSupport>();
  connect(ml_RuntimeSupport.get(), &MLRuntime::RuntimeSupport::LanguageChanged, this,
          &LanguageSelect::ml_RuntimeSupport_LanguageChanged);
  ml_RuntimeSupport->SetLanguage(id, name);
}

void LanguageSelect::LoadCaptions() {
  setWindowTitle(GetResString(86));
  chkShowOnStartup->setText(GetResString(87));
  OkButton->setText(GetResString(88));
}

void LanguageSelect::FillList() {
  LanguageList->clear();
  for (const int lcid : SupportedLanguages()) {
    auto* entry = new QListWidgetItem(GetLanguageNativeName(lcid), LanguageList);
    entry->setData(Qt::UserRole, lcid);
    if (lcid == gLanguageID) LanguageList->setCurrentItem(entry);
  }
  chkShowOnStartup->setChecked(showAtStart);
}

void LanguageSelect::OkButton_Click() {
  const QListWidgetItem* selected = LanguageList->currentItem();
  if (!selected || !selected->isSelected()) return;
  showAtStart = chkShowOnStartup->isChecked();
  gLanguageID = selected->data(Qt::UserRole).toInt();
  ml_RuntimeSupport->SetLanguage(gLanguageID, LanguageName(gLanguageID));
  accept();
}

void LanguageSelect::LanguageList_DblClick(QListWidgetItem*) { OkButton_Click(); }

void LanguageSelect::ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language) {
  SetLanguage(LanguageID, Language);
  LoadCaptions();
}
