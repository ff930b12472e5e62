#pragma once
// Running other programs and talking to the service manager.

#include <string>
#include <vector>

#include "platform/result.h"

namespace qf {

struct CommandOutput {
    int exitCode = -1;
    std::string output;  // standard output; standard error is discarded
};

// Runs `arguments[0]` (searched on PATH) with the rest as its arguments and waits for it.
Result<CommandOutput> RunCommand(const std::vector<std::string>& arguments);

// Sends a state line ("READY=1", "STOPPING=1") to the service manager named by
// $NOTIFY_SOCKET. False when there is none or the send fails.
bool NotifyServiceManager(const std::string& state);

}  // namespace qf
