#include "frmAbout.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "MLRuntime.h"
#include "MessageBox.h"
#include "MlStringModule.h"

namespace {

constexpr int kAbout = 91;
constexpr int kVersion = 75;
constexpr int kWarning = 93;
constexpr int kNotice = 94;
constexpr int kOk = 70;

QLabel* arialLabel(QWidget* parent, const char* name, int pointSize, bool bold = false) {
  auto* label = new QLabel(parent);
  label->setObjectName(QLatin1String(name));
  QFont font(QStringLiteral("Arial"), pointSize);
  font.setBold(bold);
  label->setFont(font);
  label->setWordWrap(true);
  return label;
}

}  // namespace

frmAbout::frmAbout(QWidget* parent)
    : QDialog(parent),
      lblName(arialLabel(this, "lblName", 14, true)),
      lblVersion(arialLabel(this, "lblVersion", 10)),
      Label2(arialLabel(this, "Label2", 9)),
      lblWarning(arialLabel(this, "lblWarning", 8)),
      cmdOK(new QPushButton(this)),
      ml_RuntimeSupport(std::make_unique<MLRuntime::RuntimeSupport>()) {
  setObjectName(QStringLiteral("frmAbout"));
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  setModal(true);
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  lblName->setText(QStringLiteral("Pelva Skyplain Vondir Submit"));

  auto* buttons = new QHBoxLayout();
  buttons->addStretch();
  buttons->addWidget(cmdOK);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblName);
  layout->addWidget(lblVersion);
  layout->addSpacing(8);
  layout->addWidget(Label2);
  layout->addStretch();
  layout->addWidget(lblWarning);
  layout->addLayout(buttons);
  cmdOK->setDefault(true);
  setFixedWidth(440);

  connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(ml_RuntimeSupport.get(), &MLRuntime::RuntimeSupport::LanguageChanged, this,
          &frmAbout::ml_RuntimeSupport_LanguageChanged);
  Form_Load();
}

frmAbout::~frmAbout() = default;

QString frmAbout::programVersion() {
  return QStringLiteral("%1.%2.%3").arg(KVT_VERSION_MAJOR).arg(KVT_VERSION_MINOR).arg(KVT_VERSION_REVISION);
}

int frmAbout::exec() { return execModal(*this); }

void frmAbout::Form_Load() {
  LoadCaptions();
  completeTexts();
  setWindowIcon(parentWidget() ? parentWidget()->windowIcon() : QApplication::windowIcon());
}

void frmAbout::completeTexts() {
  setWindowTitle(windowTitle() + QLatin1Char(' ') + QApplication::applicationName());
  lblVersion->setText(lblVersion->text() + QLatin1Char(' ') + programVersion());
}

void frmAbout::LoadCaptions() {
  setWindowTitle(GetResString(kAbout));
  Label2->setText(GetResString(kNotice));
  lblVersion->setText(GetResString(kVersion));
  lblWarning->setText(GetResString(kWarning));
  cmdOK->setText(GetResString(kOk));
}

void frmAbout::ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language) {
  SetLanguage(LanguageID, Language);
  LoadCaptions();
  completeTexts();
}
