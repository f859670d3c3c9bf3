#include "support/ChildProcess.h"

#include "support/TempDir.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

extern char** environ;

namespace kiv::test {

namespace {

// The test's environment with the additions; built before the fork, since the
// child may call nothing but async-signal-safe functions.
std::vector<std::string> MergedEnvironment(const std::map<std::string, std::string>& additions,
                                           const std::vector<std::string>& removals) {
    std::map<std::string, std::string> merged;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const auto eq = entry.find('=');
        if (eq != std::string::npos) merged[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const auto& k : removals) merged.erase(k);
    for (const auto& [k, v] : additions) merged[k] = v;
    std::vector<std::string> strings;
    for (const auto& [k, v] : merged) strings.push_back(k + "=" + v);
    return strings;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// In the child: the stream goes to the pipe end, or is appended to the file.
void Redirect(int target, int pipeEnd, const char* file) {
    int fd = pipeEnd;
    if (fd < 0 && file != nullptr) fd = ::open(file, O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd >= 0) ::dup2(fd, target);
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                           const std::string& stderrFile) {
    Options options;
    options.env = env;
    options.stderrFile = stderrFile;
    Start(argv, options);
}

bool ChildProcess::Start(const std::vector<std::string>& argv, const Options& options) {
    if (pid_ > 0 || argv.empty()) return false;
    endSignal_ = options.endSignal;
    std::vector<std::string> args = argv;
    std::vector<char*> cargs = Pointers(args);
    std::vector<std::string> envStrings = MergedEnvironment(options.env, options.unsetEnv);
    std::vector<char*> envp = Pointers(envStrings);
    const bool stdoutPipe = options.stdoutFile.empty() && !options.inheritStdout;
    const char* stdoutFile = stdoutPipe || options.inheritStdout ? nullptr : options.stdoutFile.c_str();
    const char* stderrFile =
        options.stderrPipe || options.stderrFile.empty() ? nullptr : options.stderrFile.c_str();

    int out[2] = {-1, -1}, err[2] = {-1, -1}, failure[2] = {-1, -1};
    auto closeAll = [&] {
        for (int fd : {out[0], out[1], err[0], err[1], failure[0], failure[1]})
            if (fd >= 0) ::close(fd);
    };
    if ((stdoutPipe && ::pipe2(out, O_CLOEXEC) != 0) || (options.stderrPipe && ::pipe2(err, O_CLOEXEC) != 0) ||
        ::pipe2(failure, O_CLOEXEC) != 0) {
        closeAll();
        return false;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        closeAll();
        return false;
    }
    if (child == 0) {
        // A peer must not outlive a test process that dies.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int none = ::open("/dev/null", O_RDONLY);
        if (none >= 0) ::dup2(none, STDIN_FILENO);
        Redirect(STDOUT_FILENO, out[1], stdoutFile);
        Redirect(STDERR_FILENO, err[1], stderrFile);
        int code = 0;
        if (options.user && (::setgid(*options.user) != 0 || ::setuid(*options.user) != 0)) {
            code = errno;
        } else {
            ::execve(cargs[0], cargs.data(), envp.data());
            code = errno;
        }
        // The exec failed: the parent reads why on the pipe that exec would have closed.
        (void)!::write(failure[1], &code, sizeof code);
        ::_exit(127);
    }
    ::close(failure[1]);
    failure[1] = -1;
    int code = 0;
    ssize_t got;
    while ((got = ::read(failure[0], &code, sizeof code)) < 0 && errno == EINTR) {
    }
    ::close(failure[0]);
    if (out[1] >= 0) ::close(out[1]);
    if (err[1] >= 0) ::close(err[1]);
    stdout_.fd = out[0];
    stderr_.fd = err[0];
    pid_ = child;
    if (got > 0) {
        // Nothing ran: reap the child and report the start as failed.
        Wait(std::chrono::seconds(5));
        pid_ = -1;
        exitCode_.reset();
        return false;
    }
    return true;
}

ChildProcess::~ChildProcess() {
    End();
    for (int fd : {stdout_.fd, stderr_.fd})
        if (fd >= 0) ::close(fd);
}

void ChildProcess::End() {
    if (endSignal_ == SIGTERM)
        Terminate();
    else if (pid_ > 0 && !exitCode_)
        Stop(endSignal_, std::chrono::seconds(10));
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
    return ReadLineFrom(stdout_, timeout);
}

std::optional<std::string> ChildProcess::ReadErrorLine(std::chrono::milliseconds timeout) {
    return ReadLineFrom(stderr_, timeout);
}

std::optional<std::string> ChildProcess::ReadLineFrom(Output& output, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (const auto nl = output.buffered.find('\n'); nl != std::string::npos) {
            std::string line = output.buffered.substr(0, nl);
            output.buffered.erase(0, nl + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || output.fd < 0) return std::nullopt;
        pollfd p{output.fd, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return std::nullopt;
        char buffer[4096];
        const ssize_t n = read(output.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        output.buffered.append(buffer, static_cast<std::size_t>(n));
    }
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
    if (exitCode_ || pid_ <= 0) return exitCode_;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return exitCode_;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < deadline);
    return std::nullopt;
}

bool ChildProcess::Running() { return pid_ > 0 && !Wait(std::chrono::milliseconds(0)); }

std::optional<int> ChildProcess::Stop(int signal, std::chrono::milliseconds timeout) {
    if (pid_ > 0 && !exitCode_) kill(pid_, signal);
    return Wait(timeout);
}

void ChildProcess::Terminate() {
    if (pid_ <= 0 || exitCode_) return;
    if (!Stop(SIGTERM, std::chrono::milliseconds(3000))) Stop(SIGKILL, std::chrono::milliseconds(3000));
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

ProgramRun RunToEnd(const std::vector<std::string>& argv, ChildProcess::Options options) {
    // Files rather than pipes: nothing blocks on a full pipe, and a last line
    // without its end is kept.
    const TempDir output;
    options.stdoutFile = (output.path() / "out").string();
    options.stderrFile = (output.path() / "err").string();
    options.inheritStdout = options.stderrPipe = false;
    ProgramRun run;
    ChildProcess program;
    if (!program.Start(argv, options)) return run;
    const std::optional<int> code = program.Wait(std::chrono::minutes(1));
    if (code && *code < 128) run.exitCode = *code;
    program.Terminate();
    run.out = ReadFileBytes(output.path() / "out");
    run.err = ReadFileBytes(output.path() / "err");
    return run;
}

int RunProgram(const std::vector<std::string>& argv) { return RunToEnd(argv).exitCode; }

}  // namespace kiv::test
