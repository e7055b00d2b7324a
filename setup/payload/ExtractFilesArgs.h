#pragma once

#include <cstdint>

// What the setup program and the carried decompressor library share: the
// progress interface and the argument record of the library's "ExtractFiles".

// The three operations keep this order: the library calls them through the table.
class IExtractProgress {
 public:
  // Sets the progress range 0 to `total` and the position to 0.
  virtual void begin(uint32_t total) = 0;
  // Sets the position; returns non-zero when the user asked to cancel.
  virtual int step(uint32_t position) = 0;
  // Non-zero when the user asked to cancel.
  virtual int cancelled() = 0;

 protected:
  ~IExtractProgress() = default;
};

constexpr int kExtractDestinationSize = 260;

struct ExtractFilesArgs {
  int32_t fileDescriptor;                     // the archive file, open for reading
  uint32_t offset;                            // where the compressed block's data starts
  uint32_t size;                              // how many bytes it holds
  char destination[kExtractDestinationSize];  // zero-terminated, ending with "/"
  IExtractProgress* progress;                 // null when no progress is wanted
};

// 0 on success, a positive value on failure, a negative one when cancelled.
extern "C" typedef int (*ExtractFilesFunction)(ExtractFilesArgs* args);
