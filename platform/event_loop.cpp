#include "platform/event_loop.h"

#include <future>
#include <vector>

namespace qf {

void EventLoop::Post(Task task) {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
    wake_.notify_one();
}

bool EventLoop::Send(const Task& task) {
    if (OnLoopThread()) {
        task();
        return true;
    }
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    {
        std::lock_guard lock(mutex_);
        if (quit_) return false;
        tasks_.push_back([&task, done] {
            task();
            done->set_value();
        });
        wake_.notify_one();
    }
    // A loop that quits drops its queue, which breaks the promise: the send then fails.
    try {
        finished.get();
        return true;
    } catch (const std::future_error&) {
        return false;
    }
}

void EventLoop::SetTimer(int id, int periodMs, Task tick) {
    const auto period = std::chrono::milliseconds(std::max(1, periodMs));
    timers_[id] = Timer{period, Clock::now() + period, std::move(tick)};
}

void EventLoop::KillTimer(int id) { timers_.erase(id); }

void EventLoop::RunDueTimers() {
    const auto now = Clock::now();
    std::vector<int> due;
    for (const auto& [id, timer] : timers_)
        if (timer.due <= now) due.push_back(id);
    for (int id : due) {
        auto timer = timers_.find(id);  // an earlier tick may have killed or replaced it
        if (timer == timers_.end() || timer->second.due > now) continue;
        timer->second.due = now + timer->second.period;
        Task tick = timer->second.tick;
        tick();
    }
}

void EventLoop::Run() {
    loopThread_ = std::this_thread::get_id();
    std::unique_lock lock(mutex_);
    while (!quit_) {
        std::deque<Task> ready;
        ready.swap(tasks_);
        lock.unlock();
        for (Task& task : ready) task();
        RunDueTimers();
        auto next = Clock::now() + std::chrono::seconds(1);
        for (const auto& [id, timer] : timers_) next = std::min(next, timer.due);
        lock.lock();
        if (tasks_.empty() && !quit_) wake_.wait_until(lock, next);
    }
    tasks_.clear();
    loopThread_ = std::thread::id();
}

void EventLoop::Quit() {
    std::lock_guard lock(mutex_);
    quit_ = true;
    wake_.notify_one();
}

}  // namespace qf
