#pragma once
// The real executable as a child process: started with its own arguments and environment,
// its output in a file, ended by signals sent to its PID only.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace qf::testing {

class ChildProcess {
  public:
    using Environment = std::map<std::string, std::optional<std::string>>;

    // `environment` sets variables, or removes those given without a value. Unless it says
    // otherwise, the program talks to no service manager: no notify socket, no systemctl.
    ChildProcess(std::vector<std::string> arguments, Environment environment,
                 const std::string& outputPath) {
        environment.try_emplace("NOTIFY_SOCKET", std::nullopt);
        environment.try_emplace("FERROX_UNIT_FOLDER", std::nullopt);
        environment.try_emplace("FERROX_SYSTEMCTL", "");
        std::vector<std::string> entries;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (!environment.count(entry.substr(0, entry.find('=')))) entries.push_back(entry);
        }
        for (const auto& [name, value] : environment)
            if (value) entries.push_back(name + "=" + *value);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        const int spawned = posix_spawn(&pid_, arguments[0].c_str(), &actions, nullptr,
                                        Pointers(arguments).data(), Pointers(entries).data());
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) pid_ = -1;
    }

    ~ChildProcess() {
        if (pid_ <= 0 || exitCode_) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    void Signal(int signal) const { kill(pid_, signal); }

    // The exit code (-1 for a death by signal); nothing while it still runs after `timeoutMs`.
    std::optional<int> WaitForExit(int timeoutMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!exitCode_ && std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_)
                exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return exitCode_;
    }

  private:
    static std::vector<char*> Pointers(std::vector<std::string>& strings) {
        std::vector<char*> pointers;
        for (std::string& s : strings) pointers.push_back(s.data());
        pointers.push_back(nullptr);
        return pointers;
    }

    pid_t pid_ = -1;
    std::optional<int> exitCode_;
};

}  // namespace qf::testing
