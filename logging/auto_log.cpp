#include "logging/auto_log.h"

#include "engine/engine_threads.h"
#include "platform/append_file.h"
#include "platform/clock.h"

namespace qf {
namespace {

constexpr int kStepMs = 10;

// The settings may hold any number; a writer that never waits would spin.
int IntervalSteps(int seconds) { return (seconds > 0 ? seconds : 1) * (1000 / kStepMs); }

}  // namespace

bool AutoLog::Start() {
    if (running_.exchange(true)) return true;
    if (StartCountedThread("AutoLogThread", engine_, nullptr, [this] { Run(); })) return true;
    running_ = false;
    return false;
}

void AutoLog::Run() {
    LogSubscribers& subscribers = log_.subscribers();
    bool registered = false;
    auto follow = [&](bool enabled) {
        if (enabled && !registered) subscribers.Subscribe(queue_);
        if (!enabled && registered) subscribers.Unsubscribe(queue_);
        registered = enabled;
    };
    follow(log_.Options()->autoLogEnabled);
    while (WaitInterval()) {
        follow(log_.Options()->autoLogEnabled);
        if (registered) WriteEntries();
    }
    follow(false);
    subscribers.Take(queue_);
    running_ = false;
}

bool AutoLog::WaitInterval() {
    // The interval is read again at every step, so a shorter one takes effect at once.
    for (int step = 0; step < IntervalSteps(log_.Options()->autoLogIntervalSeconds); ++step) {
        if (engine_.ThreadStopFlag) return false;
        SleepMs(kStepMs);
    }
    return !engine_.ThreadStopFlag;
}

void AutoLog::WriteEntries() {
    const std::vector<LogEntry> entries = log_.subscribers().Take(queue_);
    if (entries.empty()) return;
    const Text path = ExpandPortablePath(log_.Options()->autoLogFilePath, paths_);
    auto file = AppendFile::Open(TextToUtf8(path));
    if (!file) return;  // the batch is dropped; the next one tries again
    std::string bytes(file->wasEmpty() ? kUtf16LEByteOrderMark : "");
    for (const LogEntry& entry : entries) bytes += TextToUtf16LE(*entry);
    file->Write(bytes);
}

}  // namespace qf
