#pragma once
// What the real-peer tests of the port mapper share besides the peers:
// in-process targets, a blocking client with time limits, and a recorder of
// the mapper's steps.
#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "launch/KivFile.h"
#include "support/Loopback.h"
#include "support/SilentListener.h"
#include "proxy/Proxy.h"
#include "proxy/ProxyStep.h"

namespace kiv::test {

using namespace std::chrono_literals;

// Servers in this process, on one thread of their own, each on a fresh port.
class TTestTargets {
public:
    TTestTargets();
    ~TTestTargets();
    TTestTargets(const TTestTargets&) = delete;
    TTestTargets& operator=(const TTestTargets&) = delete;

    // Echoes every byte; when the client ends its sending, ends its own after the echo.
    uint16_t Echo();
    // Sends the greeting as soon as it accepts, then echoes.
    uint16_t Greeter(std::string greeting);
    // Says nothing until the client ends its sending, then "got N bytes" and closes.
    uint16_t AnswerAtEnd();
    // Sends the bytes and closes.
    uint16_t SendAndClose(std::string bytes);
    // 'U' + 8-byte size: reads that many bytes and answers their SHA-256 (64 hex
    // digits); 'D' + 8-byte size: sends that much of the test stream. Sizes are
    // little-endian.
    uint16_t Transfer();

private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};

enum class TStreamEnd { Closed, Reset, TimedOut };

class TTestClient {
public:
    explicit TTestClient(uint16_t port);
    ~TTestClient();
    TTestClient(const TTestClient&) = delete;
    TTestClient& operator=(const TTestClient&) = delete;

    bool connected() const { return fd_ >= 0; }
    bool Send(std::string_view bytes);
    // Up to `size` bytes: fewer only when the stream ends or the time runs out.
    std::string Read(std::size_t size, std::chrono::milliseconds limit);
    TStreamEnd ReadToEnd(std::string& bytes, std::chrono::milliseconds limit);
    void ShutdownSend();
    void Close();
    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

// A suite of tests through one peer, started once before the first of them and
// ended after the last; each test is skipped with the reason when the peer
// cannot run here. Peer: a class with bool Start(std::string& why).
template <typename Peer>
class TOnePeerSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        peer_ = new Peer;
        if (!peer_->Start(why_)) {
            delete peer_;
            peer_ = nullptr;
        }
    }
    static void TearDownTestSuite() {
        delete peer_;
        peer_ = nullptr;
    }
    void SetUp() override {
        if (peer_ == nullptr) GTEST_SKIP() << "the peer cannot run here: " << why_;
    }

    static inline Peer* peer_ = nullptr;
    static inline std::string why_;
    TTestTargets targets;
};

// The mapper's steps, collected across its thread and the test's.
class TStepRecorder {
public:
    TProxyStepObserver Observer();
    // Waits until `count` steps of that name have been seen in all.
    bool WaitFor(const std::string& step, std::size_t count, std::chrono::milliseconds limit = 10s);
    std::size_t Count(const std::string& step) const;
    std::vector<std::string> Details(const std::string& step) const;
    std::string LastFailure() const;
    // Every step as "tunnel step: detail" lines, for failure messages.
    std::string Text() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<TProxyStep> steps_;
};

TProxySet ProxySettings(int32_t type, uint16_t port = 0, std::string_view user = "", std::string_view password = "");

// A mapper set up the way a session sets it up, with a recorder attached.
struct TMapperRun {
    TStepRecorder steps;
    std::unique_ptr<TProxy> mapper;
    uint16_t port() const { return static_cast<uint16_t>(mapper->GetLocalPort()); }
};
std::unique_ptr<TMapperRun> StartMapper(const TProxySet& proxy, const std::string& targetHost, uint16_t targetPort,
                                        std::chrono::milliseconds handshakeTimeout = TProxy::kDefaultHandshakeTimeout);

// Sends the text through the mapper to an echo target and expects it back whole.
::testing::AssertionResult EchoesThrough(uint16_t mapperPort, const std::string& text);

// Switches the "Main" log on into a file of the test's own for the scope.
class TLogCapture {
public:
    TLogCapture();
    ~TLogCapture();
    std::vector<std::string> Lines(std::string_view containing = "") const;

private:
    std::filesystem::path folder_;
    std::filesystem::path previousPath_;
    bool previousMain_ = false;
};

std::size_t OpenDescriptorCount();
std::size_t ThreadCount();

}  // namespace kiv::test

namespace kiv::test {

// The local addresses (as /proc/net/tcp writes them, e.g. "0100007F" for
// 127.0.0.1) of every IPv4 socket listening on the port.
std::vector<std::string> ListeningAddresses(uint16_t port);

// The test stream: `size` pseudo-random bytes, the same every time.
std::string TestStreamDigest(std::size_t size);

// Through a mapper whose target is TTestTargets::Transfer: `size` bytes up (the
// target's SHA-256 of what it read must match) and `size` bytes down (ours of
// what we read must match), one tunnel each.
::testing::AssertionResult TransfersIntact(uint16_t mapperPort, std::size_t size);

// Through a mapper whose target is an echo: sends `size` bytes while reading the
// echo at the same time, then compares the SHA-256 of both streams. Proxies
// that relay one direction at a time stall here; the mapper must not.
::testing::AssertionResult EchoesIntactAtFullDuplex(uint16_t mapperPort, std::size_t size);

}  // namespace kiv::test
