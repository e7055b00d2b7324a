#pragma once

#include <QString>
#include <memory>

#include "clsPJLOptionSet.h"

// One document of a job: its file and its own options. Its "DOCCOPIES" option is
// the number of times its data is sent and never goes out as a PJL line.
class clsDocument {
 public:
  clsDocument();

  std::unique_ptr<clsPJLOptionSet> opts;
  QString fileName;
  // The document's handle in its job; never reused within the job.
  qint32 id = 0;
  // A mark the document list shows; nothing sets it.
  bool skip = false;
};
