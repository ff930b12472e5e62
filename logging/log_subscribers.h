#pragma once
// Log entries are offered to every current subscriber: a queue that its owner empties at its
// own pace (the log file writer, a log tail window, a browser on the log tail page).

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/text.h"

namespace qf {

// Entries are shared, immutable texts: offering one to many queues copies pointers only.
using LogEntry = std::shared_ptr<const Text>;
using LogQueue = std::deque<LogEntry>;

// Thread-safe. LogSubscriberLock is a leaf: formatting, files and sockets stay outside it.
class LogSubscribers {
  public:
    void Subscribe(LogQueue& queue);
    // The queue keeps its entries.
    void Unsubscribe(LogQueue& queue);
    // Moves every entry of the queue, in order, to the caller.
    std::vector<LogEntry> Take(LogQueue& queue);
    // Appends a copy to every queue holding fewer than `maxBacklog` entries.
    void Offer(const LogEntry& entry, size_t maxBacklog);
    // Read without the lock as a quick test; a stale value costs one entry at most.
    bool Any() const { return count_.load(std::memory_order_relaxed) > 0; }

  private:
    std::mutex LogSubscriberLock;
    std::vector<LogQueue*> subscribers_;
    std::atomic<size_t> count_{0};
};

}  // namespace qf
