#pragma once

namespace modMultiThread {

// Resets the module's one variable; nothing reads it.
void Init();

}  // namespace modMultiThread
