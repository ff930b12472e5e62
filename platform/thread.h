#pragma once
// Detached threads with a small stack. The engine starts one thread per session direction,
// so the default 8 MiB stack reservation would waste address space and slow creation.

#include <functional>

#include "platform/result.h"

namespace qf {

// Starts `body` on a new detached thread. Fails (never throws) when the system refuses.
// `name` is shown by the system's thread tools (first 15 characters).
Status StartThread(const char* name, std::function<void()> body);

}  // namespace qf
