#include "DemoServerProcess.h"

#include <poll.h>
#include <sys/socket.h>

#include <stdexcept>

#include "support/ChildProcess.h"
#include "support/Loopback.h"

namespace kiv::demo::test {

TDemoServerProcess::TDemoServerProcess(const std::filesystem::path& folder, std::vector<std::string> args)
    : DemoServer(std::move(args), folder) {
    if (!Started()) throw std::runtime_error(StartError());
}

TRunResult RunDemoServer(const std::vector<std::string>& args) {
    std::vector<std::string> argv{DEMO_SERVER_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    const kiv::test::ProgramRun run = kiv::test::RunToEnd(argv);
    return {run.exitCode, run.out, run.err};
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
