#pragma once
// A program a test starts: its own environment additions, its output read line
// by line or written to a file, ended by its PID when the test is done (and
// killed should the test process end first). Every suite starts its peers,
// servers and clients through this one class.
#include <signal.h>
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
    struct Options {
        // Added to (or replacing in) the test's own environment.
        std::map<std::string, std::string> env;
        // Left out of the test's own environment (env may still add them).
        std::vector<std::string> unsetEnv;
        // Appended to; empty: a pipe that ReadLine reads.
        std::string stdoutFile;
        // stdout is the test's own (stdoutFile is then unused).
        bool inheritStdout = false;
        // Appended to (may be the stdout file); empty: the test's own stderr.
        std::string stderrFile;
        // stderr on a pipe that ReadErrorLine reads (stderrFile is then unused).
        bool stderrPipe = false;
        // Runs the program as this user (the number is its group too); needs root.
        std::optional<uid_t> user;
        // What ending the object sends: SIGTERM (and SIGKILL when that is not
        // heeded within seconds) or a signal of the caller's choosing.
        int endSignal = SIGTERM;
    };

    ChildProcess() = default;
    ChildProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env = {},
                 const std::string& stderrFile = "");
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // argv[0] is the program's path. False when it could not be run at all.
    bool Start(const std::vector<std::string>& argv, const Options& options);

    bool Started() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }
    // The next line of stdout (stderr), or nullopt at the end or after the timeout.
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
    std::optional<std::string> ReadErrorLine(std::chrono::milliseconds timeout);
    // The exit code (128 + the signal for a death by signal) once the process
    // ended within the timeout.
    std::optional<int> Wait(std::chrono::milliseconds timeout);
    bool Running();
    // Sends the signal and waits for the end as Wait does.
    std::optional<int> Stop(int signal, std::chrono::milliseconds timeout);
    // SIGTERM, then SIGKILL when it is still there after three seconds.
    void Terminate();

private:
    struct Output {
        int fd = -1;
        std::string buffered;
    };
    static std::optional<std::string> ReadLineFrom(Output& output, std::chrono::milliseconds timeout);
    void End();

    pid_t pid_ = -1;
    Output stdout_, stderr_;
    std::optional<int> exitCode_;
    int endSignal_ = SIGTERM;
};

// Waits until the predicate holds, checking every 50 ms; false on the deadline.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// A program run to its end: its exit code (-1 when it could not run, did not
// end within a minute or died by a signal) and all it wrote.
struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};
// `options` give the environment; the output streams are the run's own.
ProgramRun RunToEnd(const std::vector<std::string>& argv, ChildProcess::Options options = {});

// Runs a program to its end with its output discarded; its exit code as RunToEnd has it.
int RunProgram(const std::vector<std::string>& argv);

}  // namespace kiv::test
