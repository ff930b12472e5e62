#pragma once
// Detached threads with a small stack. The engine starts one thread per session direction,
// so the default 8 MiB stack reservation would waste address space and slow creation.
// A thread whose task has ended parks briefly and may run a later task.

#include <memory>

#include "platform/result.h"

namespace qf {

// Runs run(argument) on a new detached thread. On success the thread owns `argument`.
// Fails (never throws) when the system refuses; `name` shows in the system's thread tools.
Status StartThreadRaw(const char* name, void (*run)(void*), void* argument);

// Starts `body` (any callable, move-only ones included) on a new detached thread.
template <class Body>
Status StartThread(const char* name, Body body) {
    auto boxed = std::make_unique<Body>(std::move(body));
    Status started = StartThreadRaw(
        name, [](void* raw) { std::unique_ptr<Body>(static_cast<Body*>(raw))->operator()(); },
        boxed.get());
    if (started) boxed.release();
    return started;
}

}  // namespace qf
