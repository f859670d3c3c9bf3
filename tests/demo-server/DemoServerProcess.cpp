#include "DemoServerProcess.h"

#include <poll.h>
#include <sys/socket.h>

#include <stdexcept>

#include "support/ChildProcess.h"
#include "support/Loopback.h"
#include "support/TempDir.h"

namespace kiv::demo::test {

TDemoServerProcess::TDemoServerProcess(const std::filesystem::path& folder, std::vector<std::string> args)
    : DemoServer(std::move(args), folder) {
    if (!Started()) throw std::runtime_error(StartError());
}

TRunResult RunDemoServer(const std::vector<std::string>& args) {
    const kiv::test::TempDir dir;
    kiv::test::ChildProcess::Options options;
    options.stdoutFile = (dir.path() / "out.txt").string();
    options.stderrFile = (dir.path() / "err.txt").string();
    std::vector<std::string> argv{DEMO_SERVER_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    kiv::test::ChildProcess server;
    TRunResult result;
    if (server.Start(argv, options)) {
        const std::optional<int> code = server.Wait(std::chrono::seconds(30));
        if (code && *code < 128) result.exitCode = *code;
    }
    result.out = kiv::test::ReadFileBytes(dir.path() / "out.txt");
    result.err = kiv::test::ReadFileBytes(dir.path() / "err.txt");
    return result;
}

int ConnectTcp(int port) { return kiv::test::ConnectLoopback(static_cast<uint16_t>(port)); }

long ReadWithin(int fd, std::string& into, int timeoutMs) {
    pollfd poller{fd, POLLIN, 0};
    if (poll(&poller, 1, timeoutMs) <= 0) return -1;
    char chunk[4096];
    const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n > 0) into.append(chunk, static_cast<std::size_t>(n));
    return n < 0 ? 0 : n;
}

}  // namespace kiv::demo::test
