#include "frmEditPrinter.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "MLRuntime.h"
#include "MessageBox.h"
#include "MlStringModule.h"

namespace {

constexpr int kTitle = 80;
constexpr int kOk = 70;
constexpr int kCancel = 71;
constexpr int kName = 43;
constexpr int kAddress = 81;
constexpr int kNameMissing = 170;
constexpr int kAddressMissing = 171;
constexpr int kNameUnfit = 172;
constexpr int kNameTaken = 173;

// A "\" would nest the printer's registry key; a control character would break the store's lines.
bool unfitForAKey(const QString& name) {
  for (const QChar c : name)
    if (c == QLatin1Char('\\') || c.category() == QChar::Other_Control) return true;
  return false;
}

}  // namespace

frmEditPrinter::frmEditPrinter(QWidget* parent)
    : QDialog(parent),
      txtName(new QLineEdit(this)),
      txtAddress(new QLineEdit(this)),
      lblName(new QLabel(this)),
      lblAddress(new QLabel(this)),
      cmdIOK(new QPushButton(this)),
      cmdCancel(new QPushButton(this)),
      ml_RuntimeSupport(std::make_unique<MLRuntime::RuntimeSupport>()) {
  setObjectName(QStringLiteral("frmEditPrinter"));
  txtName->setObjectName(QStringLiteral("txtName"));
  txtAddress->setObjectName(QStringLiteral("txtAddress"));
  lblName->setObjectName(QStringLiteral("lblName"));
  lblAddress->setObjectName(QStringLiteral("lblAddress"));
  cmdIOK->setObjectName(QStringLiteral("cmdIOK"));
  cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
  setModal(true);
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

  auto* fields = new QFormLayout();
  fields->addRow(lblName, txtName);
  fields->addRow(lblAddress, txtAddress);
  lblName->setBuddy(txtName);
  lblAddress->setBuddy(txtAddress);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch();
  buttons->addWidget(cmdIOK);
  buttons->addWidget(cmdCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addLayout(buttons);
  txtName->setMinimumWidth(240);
  cmdIOK->setDefault(true);

  connect(cmdIOK, &QPushButton::clicked, this, &frmEditPrinter::cmdIOK_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmEditPrinter::cmdCancel_Click);
  connect(ml_RuntimeSupport.get(), &MLRuntime::RuntimeSupport::LanguageChanged, this,
          &frmEditPrinter::ml_RuntimeSupport_LanguageChanged);
  LoadCaptions();
}

frmEditPrinter::~frmEditPrinter() = default;

int frmEditPrinter::exec() {
  canceled = true;
  return execModal(*this);
}

void frmEditPrinter::reject() { cmdCancel_Click(); }

void frmEditPrinter::LoadCaptions() {
  setWindowTitle(GetResString(kTitle));
  cmdCancel->setText(GetResString(kCancel));
  cmdIOK->setText(GetResString(kOk));
  lblAddress->setText(GetResString(kAddress));
  lblName->setText(GetResString(kName));
}

QString frmEditPrinter::refusal(QLineEdit*& offending) const {
  const QString name = txtName->text();
  offending = txtName;
  if (name.trimmed().isEmpty()) return GetResString(kNameMissing);
  if (unfitForAKey(name)) return GetResString(kNameUnfit);
  for (const QString& taken : takenNames)
    if (taken.compare(name, Qt::CaseInsensitive) == 0) return GetResString(kNameTaken);
  offending = txtAddress;
  if (txtAddress->text().trimmed().isEmpty()) return GetResString(kAddressMissing);
  return {};
}

void frmEditPrinter::cmdIOK_Click() {
  QLineEdit* offending = nullptr;
  const QString message = refusal(offending);
  if (!message.isEmpty()) {
    MsgBox(message, MsgBoxStyle::Exclamation, GetResString(kTitle));
    offending->setFocus();
    offending->selectAll();
    return;
  }
  canceled = false;
  done(Accepted);
}

void frmEditPrinter::cmdCancel_Click() {
  canceled = true;
  done(Rejected);
}

void frmEditPrinter::ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language) {
  SetLanguage(LanguageID, Language);
  LoadCaptions();
}
