#pragma once
// Tests that change interfaces run inside a network namespace of their own, and tests of what
// happens without raw sockets run without CAP_NET_RAW, each in a process of its own: the test
// binary runs again with only the current test, prepared between fork and exec. A thread of
// this process would not do: threads that outlive a test (the parked threads of the thread
// cache) would carry one test's namespace or capabilities into the next.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

namespace qf::testing {

namespace namespace_detail {

inline constexpr const char* kReportVariable = "QF_NETNS_REPORT_FD";

// In the re-run test: runs the body and tells the caller its skip reason.
inline std::string RunHere(int reportFd, const std::function<std::string()>& body) {
    const std::string outcome = body();
    if (!outcome.empty() && write(reportFd, outcome.data(), outcome.size()) < 0) std::abort();
    close(reportFd);
    return outcome;
}

inline std::string ReadToEnd(int fd) {
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) != 0;) {
        if (n > 0)
            text.append(buffer, static_cast<size_t>(n));
        else if (errno != EINTR)
            break;
    }
    return text;
}

// Runs the current test again in a child process; `prepare` runs in the child before the exec
// and returns why it failed, or null. Returns the skip reason the child reported. A failure in
// the child fails the current test.
inline std::string RunInChild(const char* (*prepare)()) {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter =
        std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    int report[2];
    if (pipe(report) != 0) return "cannot create a pipe to the namespaced test";
    fcntl(report[0], F_SETFD, FD_CLOEXEC);
    std::vector<std::string> variables;
    for (char** v = environ; *v; ++v) variables.emplace_back(*v);
    variables.push_back(std::string(kReportVariable) + "=" + std::to_string(report[1]));
    std::vector<char*> envp;
    for (std::string& v : variables) envp.push_back(v.data());
    envp.push_back(nullptr);
    std::string self = "test", filterArgument = filter;
    char* argv[] = {self.data(), filterArgument.data(), nullptr};

    const pid_t child = fork();
    if (child == 0) {
        if (const char* failure = prepare())
            _exit(write(report[1], failure, std::strlen(failure)) < 0 ? 2 : 0);
        execve("/proc/self/exe", argv, envp.data());
        _exit(127);
    }
    close(report[1]);
    if (child < 0) {
        close(report[0]);
        return "cannot fork the namespaced test";
    }
    const std::string reason = ReadToEnd(report[0]);
    close(report[0]);
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        ADD_FAILURE() << "the test failed in its network namespace (its output is above)";
    return reason;
}

}  // namespace namespace_detail

// Runs `body` in a fresh network namespace whose loopback interface is up. Returns the reason
// to skip: that no namespace can be made, or what `body` returned (for a missing facility);
// "" when the body ran.
inline std::string RunInNetworkNamespace(const std::function<std::string()>& body) {
    if (const char* fd = std::getenv(namespace_detail::kReportVariable)) {
        return namespace_detail::RunHere(std::atoi(fd), [&] {
            return std::system("ip link set lo up") == 0
                       ? body()
                       : "the 'ip' command of iproute2 cannot configure the test namespace";
        });
    }
    return namespace_detail::RunInChild([]() -> const char* {
        return unshare(CLONE_NEWNET) == 0
                   ? nullptr
                   : "cannot create a network namespace (needs root or CAP_SYS_ADMIN)";
    });
}

// Runs `body` in a process whose capabilities lack CAP_NET_RAW (dropped from the bounding set,
// so that root does not regain it at exec). Returns the reason to skip, as above.
inline std::string RunWithoutRawSockets(const std::function<std::string()>& body) {
    if (const char* fd = std::getenv(namespace_detail::kReportVariable))
        return namespace_detail::RunHere(std::atoi(fd), body);
    return namespace_detail::RunInChild([]() -> const char* {
        // Without CAP_SETPCAP the drop fails; the process may then lack CAP_NET_RAW anyway,
        // which the body finds out.
        prctl(PR_CAPBSET_DROP, CAP_NET_RAW, 0, 0, 0);
        return nullptr;
    });
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
