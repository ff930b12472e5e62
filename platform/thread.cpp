#include "platform/thread.h"

#include <pthread.h>

#include <cstdio>

namespace qf {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr size_t kStackBytes = 2 * 1024 * 1024;  // sanitizers enlarge every frame
#else
constexpr size_t kStackBytes = 256 * 1024;
#endif

struct Start {
    void (*run)(void*);
    void* argument;
    char name[16];
};

void* Run(void* raw) {
    const Start start = *static_cast<Start*>(raw);
    delete static_cast<Start*>(raw);
    pthread_setname_np(pthread_self(), start.name);
    start.run(start.argument);
    return nullptr;
}

}  // namespace

Status StartThreadRaw(const char* name, void (*run)(void*), void* argument) {
    auto* start = new Start{run, argument, {}};
    std::snprintf(start->name, sizeof start->name, "%s", name);
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, kStackBytes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    const int error = pthread_create(&thread, &attributes, Run, start);
    pthread_attr_destroy(&attributes);
    if (error == 0) return {};
    delete start;
    return ErrorFromCode(error, "pthread_create", name);
}

}  // namespace qf
