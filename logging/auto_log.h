#pragma once
// The log file writer: subscribed while file logging is on, it appends the queued entries to
// the log file every few seconds.

#include "config/portable_path.h"
#include "engine/engine_state.h"
#include "logging/connection_log.h"

namespace qf {

class AutoLog {
  public:
    AutoLog(EngineState& engine, ConnectionLog& log, PathContext paths)
        : engine_(engine), log_(log), paths_(std::move(paths)) {}

    // Starts the writer thread unless it runs; false when no thread can be made. It ends once
    // the engine's thread-stop flag is set.
    bool Start();
    bool running() const { return running_; }

  private:
    void Run();
    // Waits one update interval; false when the thread must stop.
    bool WaitInterval();
    void WriteEntries();

    EngineState& engine_;
    ConnectionLog& log_;
    const PathContext paths_;
    LogQueue queue_;  // touched only under the subscribers' lock
    std::atomic<bool> running_{false};
};

}  // namespace qf
