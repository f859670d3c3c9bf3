#pragma once
// A program a test starts: its own environment additions, its stdout read line
// by line, ended by its PID (SIGTERM, then SIGKILL) when the test is done.
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kiv::test {

class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env = {},
                 const std::string& stderrFile = "");
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }
    // The next line of stdout, or nullopt at the end or after the timeout.
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
    // The exit code once the process ended within the timeout.
    std::optional<int> Wait(std::chrono::milliseconds timeout);
    void Terminate();

private:
    pid_t pid_ = -1;
    int stdout_ = -1;
    std::string buffered_;
    std::optional<int> exitCode_;
};

// Waits until the predicate holds, checking every 50 ms; false on the deadline.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

}  // namespace kiv::test
