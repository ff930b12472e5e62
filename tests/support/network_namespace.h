#pragma once
// Tests that change interfaces run inside a network namespace of their own. A namespace
// belongs to a thread, and the threads and processes that thread starts inherit it, so the
// test body runs on a helper thread that unshares first; the rest of the process and the
// machine never see the test's links.

#include <sched.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

namespace qf::testing {

// Runs `body` in a fresh network namespace whose loopback interface is up. Returns why that
// was impossible (for GTEST_SKIP), or the reason `body` gave, or "" when all went well.
inline std::string RunInNetworkNamespace(const std::function<std::string()>& body) {
    std::string outcome;
    std::thread thread([&] {
        if (unshare(CLONE_NEWNET) != 0) {
            outcome = std::string(
                          "cannot create a network namespace (needs root or "
                          "CAP_SYS_ADMIN): ") +
                      std::strerror(errno);
            return;
        }
        if (std::system("ip link set lo up") != 0) {
            outcome = "the 'ip' command of iproute2 cannot configure the test namespace";
            return;
        }
        outcome = body();
    });
    thread.join();
    return outcome;
}

// Runs each command with the shell; the text of the first that fails, or "".
inline std::string RunCommands(std::initializer_list<std::string> commands) {
    for (const std::string& command : commands) {
        if (std::system(("(" + command + ") >/dev/null 2>&1").c_str()) != 0)
            return "failed: " + command;
    }
    return {};
}

}  // namespace qf::testing
