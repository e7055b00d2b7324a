#include "clsDocument.h"

clsDocument::clsDocument() : opts(std::make_unique<clsPJLOptionSet>()) {}
