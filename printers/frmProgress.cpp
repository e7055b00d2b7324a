#include "frmProgress.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "MLRuntime.h"
#include "MessageBox.h"
#include "MlStringModule.h"

namespace {
frmProgress* loaded = nullptr;
}

frmProgress* frmProgress::Load() {
  if (!loaded) loaded = new frmProgress();
  return loaded;
}

frmProgress* frmProgress::instance() { return loaded; }

void frmProgress::Unload() {
  delete loaded;
  loaded = nullptr;
}

// Owned by, and centred on, the window whose work it stands for.
frmProgress::frmProgress()
    : QDialog(dialogOwner()),
      pbProgress(new QProgressBar(this)),
      lblFilename(new QLabel(this)),
      cmdCancel(new QPushButton(this)),
      ml_RuntimeSupport(std::make_unique<MLRuntime::RuntimeSupport>()) {
  setModal(true);
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblFilename);
  layout->addWidget(pbProgress);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch();
  buttons->addWidget(cmdCancel);
  layout->addLayout(buttons);
  setMinimumWidth(360);
  connect(cmdCancel, &QPushButton::clicked, this, &frmProgress::cmdCancel_Click);
  connect(ml_RuntimeSupport.get(), &MLRuntime::RuntimeSupport::LanguageChanged, this,
          &frmProgress::ml_RuntimeSupport_LanguageChanged);
  Form_Load();
}

frmProgress::~frmProgress() {
  if (loaded == this) loaded = nullptr;
}

void frmProgress::Form_Load() {
  LoadCaptions();
  cancelled = false;
}

void frmProgress::LoadCaptions() {
  cmdCancel->setText(GetResString(71));
  lblFilename->setText(GetResString(90));
}

void frmProgress::cmdCancel_Click() {
  cancelled = true;
  hide();
}

void frmProgress::reject() { cmdCancel_Click(); }

// Captions are set when the dialog loads; an open dialog keeps its texts.
void frmProgress::ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language) {
  SetLanguage(LanguageID, Language);
}
