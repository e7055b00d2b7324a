#pragma once

#include <functional>

// Runs `work` on a worker thread while the user-interface thread keeps its
// event loop turning (windows paint, signals are seen), and returns when the
// work is done. The work must not touch any widget.
void runOffUiThread(const std::function<void()>& work);
