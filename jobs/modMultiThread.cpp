#include "modMultiThread.h"

namespace modMultiThread {

namespace {
int threadState = 0;
}

void Init() { threadState = 0; }

}  // namespace modMultiThread
