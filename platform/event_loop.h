#pragma once
// A message loop for one thread: tasks posted or sent from any thread, and periodic timers.
// The main-window controller runs on it, headless or under a desktop toolkit's own loop.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace qf {

class EventLoop {
  public:
    using Task = std::function<void()>;

    // Any thread: runs `task` on the loop thread later.
    void Post(Task task);
    // Any thread: runs `task` on the loop thread and waits for it; runs it at once when called
    // on the loop thread (waiting there would never end). False when the loop has quit.
    bool Send(const Task& task);

    // Loop thread only. Timer `id` runs `tick` every `periodMs`; setting it again replaces it.
    void SetTimer(int id, int periodMs, Task tick);
    void KillTimer(int id);

    // Runs until Quit(); the calling thread becomes the loop thread.
    void Run();
    // Any thread.
    void Quit();
    bool OnLoopThread() const { return std::this_thread::get_id() == loopThread_.load(); }

  private:
    using Clock = std::chrono::steady_clock;
    struct Timer {
        std::chrono::milliseconds period;
        Clock::time_point due;
        Task tick;
    };

    void RunDueTimers();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Task> tasks_;
    std::map<int, Timer> timers_;  // loop thread only
    bool quit_ = false;
    std::atomic<std::thread::id> loopThread_;
};

}  // namespace qf
