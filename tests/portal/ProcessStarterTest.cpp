// Companion programs started through the Linux process starter.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>

#include "platform/linux/ProcessStarterPosix.h"
#include "support/TempDir.h"

namespace kiv {
namespace {

// Everything written into the FIFO until its writer closes it; empty after the
// time-out.
std::string ReadFifoToEnd(const std::filesystem::path& fifo, int timeoutMs) {
    const int fd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {};
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) break;
        // Until a writer has opened the FIFO, poll reports nothing.
        pollfd watch{fd, POLLIN, 0};
        const int ready = ::poll(&watch, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        char buffer[512];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            text.append(buffer, static_cast<std::size_t>(got));
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        break;  // the writer closed it
    }
    ::close(fd);
    return text;
}

TEST(ProcessStarterPosix, StartsTheProgramWithItsArgumentsWithoutWaiting) {
    test::TempDir dir;
    const auto fifo = dir.path() / "report";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto program = dir.Write("ClientDownload", "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > '" + fifo.string() + "'\n");
    ::chmod(program.c_str(), 0700);

    TProcessStarterPosix starter;
    // The child blocks on the FIFO until the test reads it: Start must not wait for it.
    ASSERT_TRUE(starter.Start(program.string(), {"http://portal/update a b", ""}));
    EXPECT_EQ(ReadFifoToEnd(fifo, 10000), program.string() + "\nhttp://portal/update a b\n\n");
}

TEST(ProcessStarterPosix, ProgramThatCannotStartIsAFailure) {
    test::TempDir dir;
    TProcessStarterPosix starter;
    EXPECT_FALSE(starter.Start((dir.path() / "ClientDownload").string(), {"u"}));
    const auto notExecutable = dir.Write("NotExecutable", "#!/bin/sh\nexit 0\n");
    ::chmod(notExecutable.c_str(), 0600);
    // Root may run what has no execute bit only when some execute bit is set.
    EXPECT_FALSE(starter.Start(notExecutable.string(), {}));
    EXPECT_FALSE(starter.Start("", {}));
}

TEST(ProcessStarterPosix, ShellCommandRunsInItsFolderHiddenOrShown) {
    // Where the command runs and where its output goes, reported through the FIFO.
    char own[256] = {};
    ASSERT_GT(::readlink("/proc/self/fd/1", own, sizeof own - 1), 0);
    for (const bool shown : {false, true}) {
        test::TempDir dir;
        const auto fifo = dir.path() / "report";
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        std::filesystem::create_directories(dir.path() / "vx_sdk");
        dir.Write("vx_sdk/vstreamer", "#!/bin/sh\necho \"$(pwd) $(readlink /proc/$$/fd/1)\" > '" + fifo.string() + "'\n");
        ::chmod((dir.path() / "vx_sdk/vstreamer").c_str(), 0700);

        TProcessStarterPosix runner;
        ASSERT_TRUE(runner.RunShellCommand("vx_sdk/vstreamer", dir.path().string(), shown));
        const std::string report = ReadFifoToEnd(fifo, 10000);
        EXPECT_EQ(report, dir.path().string() + " " + (shown ? std::string(own) : "/dev/null") + "\n");
    }
    TProcessStarterPosix runner;
    EXPECT_FALSE(runner.RunShellCommand("true", "/nonexistent/folder", false));
}

}  // namespace
}  // namespace kiv
