#include "platform/thread.h"

#include <pthread.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace qf {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr size_t kStackBytes = 2 * 1024 * 1024;  // sanitizers enlarge every frame
#else
constexpr size_t kStackBytes = 256 * 1024;
#endif
constexpr size_t kMostIdleThreads = 128;
constexpr auto kIdleLifetime = std::chrono::seconds(10);

struct Task {
    void (*run)(void*) = nullptr;
    void* argument = nullptr;
    char name[16] = {};
};

// A parked thread waiting for its next task. Shared, so that a thread handing over a task
// can wake it after releasing the cache's lock without outliving it.
struct IdleThread {
    std::condition_variable wake;
    Task task;
    bool assigned = false;  // guarded by the cache's mutex
    char name[16] = {};     // the name the thread carries now; its own
};

// Finished threads park for a while and take the next task, so that a burst of short
// sessions does not pay for creating and unmapping a thread and its stack each time.
class ThreadCache {
  public:
    bool TryHandOver(const Task& task) {
        std::shared_ptr<IdleThread> parked;
        {
            std::lock_guard lock(mutex_);
            if (idle_.empty()) return false;
            parked = std::move(idle_.back());
            idle_.pop_back();
            parked->task = task;
            parked->assigned = true;
        }
        // Woken outside the lock, the thread does not block again at once on the mutex.
        parked->wake.notify_one();
        return true;
    }

    // Parks the calling thread; false when it should end instead.
    bool Park(const std::shared_ptr<IdleThread>& self) {
        std::unique_lock lock(mutex_);
        if (idle_.size() >= kMostIdleThreads) return false;
        self->assigned = false;
        idle_.push_back(self);
        if (self->wake.wait_for(lock, kIdleLifetime, [&] { return self->assigned; })) return true;
        idle_.erase(std::find(idle_.begin(), idle_.end(), self));
        return false;
    }

  private:
    std::mutex mutex_;
    std::vector<std::shared_ptr<IdleThread>> idle_;
};

// Never destroyed: parked threads may still wait on it while the process exits.
ThreadCache& Cache() {
    static ThreadCache* cache = new ThreadCache;
    return *cache;
}

void RunTask(IdleThread& self) {
    if (std::strcmp(self.name, self.task.name) != 0) {
        std::memcpy(self.name, self.task.name, sizeof self.name);
        pthread_setname_np(pthread_self(), self.name);
    }
    self.task.run(self.task.argument);
}

void* Worker(void* raw) {
    auto self = std::make_shared<IdleThread>();
    self->task = *static_cast<Task*>(raw);
    delete static_cast<Task*>(raw);
    do RunTask(*self);
    while (Cache().Park(self));
    return nullptr;
}

}  // namespace

Status StartThreadRaw(const char* name, void (*run)(void*), void* argument) {
    Task task{run, argument, {}};
    std::snprintf(task.name, sizeof task.name, "%s", name);
    if (Cache().TryHandOver(task)) return {};
    auto* start = new Task(task);
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, kStackBytes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    const int error = pthread_create(&thread, &attributes, Worker, start);
    pthread_attr_destroy(&attributes);
    if (error == 0) return {};
    delete start;
    return ErrorFromCode(error, "pthread_create", name);
}

}  // namespace qf
