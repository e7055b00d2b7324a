#pragma once

#include <QTemporaryDir>

// A folder of the run's own that stands in for the registry folder, HOME, the
// XDG folders and the temporary folder (TEMP, TMPDIR), so a bench never reads
// or writes the user's settings and its files go where nothing else looks.
// Make it before the application object, which reads some of these once.
class BenchSandbox {
 public:
  BenchSandbox();

  // False when the folders could not be made; the reason is on standard error.
  bool isValid() const { return valid_; }

 private:
  QTemporaryDir dir_;
  bool valid_ = false;
};
