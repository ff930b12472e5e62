#include "platform/thread.h"

#include <pthread.h>

#include <memory>

namespace qf {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr size_t kStackBytes = 2 * 1024 * 1024;  // sanitizers enlarge every frame
#else
constexpr size_t kStackBytes = 256 * 1024;
#endif

struct Start {
    std::function<void()> body;
    char name[16] = {};
};

void* Run(void* raw) {
    std::unique_ptr<Start> start(static_cast<Start*>(raw));
    pthread_setname_np(pthread_self(), start->name);
    start->body();
    return nullptr;
}

}  // namespace

Status StartThread(const char* name, std::function<void()> body) {
    auto start = std::make_unique<Start>();
    start->body = std::move(body);
    std::snprintf(start->name, sizeof start->name, "%s", name);
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, kStackBytes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    const int error = pthread_create(&thread, &attributes, Run, start.get());
    pthread_attr_destroy(&attributes);
    if (error) return ErrorFromCode(error, "pthread_create", name);
    start.release();
    return {};
}

}  // namespace qf
