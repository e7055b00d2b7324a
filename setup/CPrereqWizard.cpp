#include "CPrereqWizard.h"

CPrereqWizard::CPrereqWizard(CPrerequisiteSet& set) : set_(set) {}

void CPrereqWizard::run(QWidget*) { cancelled_ = true; }
