#pragma once

#include <QString>

// What the prerequisite passes and the install runner report as they go.
// The calls come from the worker thread that runs the work.
class IProgressSink {
 public:
  virtual ~IProgressSink() = default;
  virtual void begin(int total) = 0;
  virtual void start(int count) = 0;
  virtual void finished() = 0;
  virtual void status(const QString& text) = 0;
  virtual void itemSucceeded() = 0;
  virtual bool isCancelled() = 0;
  virtual void itemFailed(int error) = 0;
  // False when no one sees the progress, so failures must be told elsewhere.
  virtual bool watched() const { return true; }
};
