#pragma once
// The connection-event log: turns session events (and web requests) into entries by the
// user's template and offers them to every subscriber.

#include <memory>
#include <mutex>

#include "engine/connection_event.h"
#include "logging/log_entry.h"
#include "logging/log_subscribers.h"
#include "platform/text_catalog.h"

namespace qf {

// The settings the log reads; replaced whole, so readers on any thread see one consistent set.
struct LogOptions {
    Text entryTemplate;
    Text dateTemplate;
    size_t maxBacklog = 100000;
    bool noLogBadIP = false;
    bool autoLogEnabled = false;
    Text autoLogFilePath;
    int autoLogIntervalSeconds = 5;
};

// The built-in values, with the templates of the current language.
LogOptions DefaultLogOptions(const TextCatalog& texts);

// Thread-safe: engine and web threads emit, any thread sets options.
class ConnectionLog : public ConnectionEventSink {
  public:
    explicit ConnectionLog(const TextCatalog& texts);

    void SetOptions(LogOptions options);
    std::shared_ptr<const LogOptions> Options() const;
    // Once the program is shutting down nothing more is logged.
    void SetExiting() { exiting_ = true; }

    bool Wanted() const override { return subscribers_.Any() && !exiting_; }
    void Emit(ConnectionEvent event) override;
    // Web requests and other entries that are not session events.
    void Offer(const LogEntryValues& values, std::chrono::system_clock::time_point when);

    LogSubscribers& subscribers() { return subscribers_; }

  private:
    const TextCatalog& texts_;
    LogSubscribers subscribers_;
    mutable std::mutex optionsLock_;
    std::shared_ptr<const LogOptions> options_;
    std::atomic<bool> exiting_{false};
};

}  // namespace qf
