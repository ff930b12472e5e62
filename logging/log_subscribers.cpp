#include "logging/log_subscribers.h"

#include <algorithm>

namespace qf {

void LogSubscribers::Subscribe(LogQueue& queue) {
    std::lock_guard lock(LogSubscriberLock);
    if (std::find(subscribers_.begin(), subscribers_.end(), &queue) == subscribers_.end())
        subscribers_.push_back(&queue);
    count_ = subscribers_.size();
}

void LogSubscribers::Unsubscribe(LogQueue& queue) {
    std::lock_guard lock(LogSubscriberLock);
    std::erase(subscribers_, &queue);
    count_ = subscribers_.size();
}

std::vector<LogEntry> LogSubscribers::Take(LogQueue& queue) {
    std::lock_guard lock(LogSubscriberLock);
    std::vector<LogEntry> taken(std::make_move_iterator(queue.begin()),
                                std::make_move_iterator(queue.end()));
    queue.clear();
    return taken;
}

void LogSubscribers::Offer(const LogEntry& entry, size_t maxBacklog) {
    std::lock_guard lock(LogSubscriberLock);
    for (LogQueue* queue : subscribers_)
        if (queue->size() < maxBacklog) queue->push_back(entry);
}

}  // namespace qf
