#include "ProxyTestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <future>
#include <random>
#include <sstream>
#include <cstring>
#include <thread>

#include <asio.hpp>
#include <openssl/evp.h>

#include "infra/DebugLog.h"

namespace kiv::test {

namespace {

class TDigest {
public:
    TDigest() : context_(EVP_MD_CTX_new()) { EVP_DigestInit_ex(context_, EVP_sha256(), nullptr); }
    ~TDigest() { EVP_MD_CTX_free(context_); }
    TDigest(const TDigest&) = delete;
    TDigest& operator=(const TDigest&) = delete;
    void Add(const char* bytes, std::size_t size) { EVP_DigestUpdate(context_, bytes, size); }
    std::string Hex() {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        EVP_DigestFinal_ex(context_, digest, &length);
        std::string hex;
        char pair[3];
        for (unsigned int i = 0; i < length; ++i) {
            std::snprintf(pair, sizeof pair, "%02x", digest[i]);
            hex += pair;
        }
        return hex;
    }

private:
    EVP_MD_CTX* context_;
};

// The test stream, produced in pieces: xorshift64, eight bytes at a time.
class TTestStream {
public:
    void Fill(char* out, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            if (used_ == 8) {
                state_ ^= state_ << 13;
                state_ ^= state_ >> 7;
                state_ ^= state_ << 17;
                std::memcpy(word_, &state_, 8);
                used_ = 0;
            }
            out[i] = word_[used_++];
        }
    }

private:
    uint64_t state_ = 0x9E3779B97F4A7C15ull;
    char word_[8] = {};
    std::size_t used_ = 8;
};

std::string SizeHeader(char command, std::size_t size) {
    std::string header(1, command);
    for (int i = 0; i < 8; ++i) header.push_back(static_cast<char>((static_cast<uint64_t>(size) >> (8 * i)) & 0xFF));
    return header;
}

std::size_t EntriesIn(const char* folder) {
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        (void)entry;
        ++count;
    }
    return count;
}

}  // namespace

// ---- targets ---------------------------------------------------------------

namespace {

using asio::ip::tcp;

enum class TTargetKind { Echo, Greeter, AnswerAtEnd, SendAndClose, Transfer };

class TTransferSession : public std::enable_shared_from_this<TTransferSession> {
public:
    explicit TTransferSession(tcp::socket socket) : socket_(std::move(socket)), buffer_(256 * 1024) {}

    void Start() {
        asio::async_read(socket_, asio::buffer(header_), [self = shared_from_this()](const asio::error_code& error, std::size_t) {
            if (error) return;
            self->left_ = 0;
            for (int i = 0; i < 8; ++i) self->left_ |= static_cast<uint64_t>(static_cast<unsigned char>(self->header_[1 + i])) << (8 * i);
            if (self->header_[0] == 'U') self->Upload();
            else if (self->header_[0] == 'D') self->Download();
        });
    }

private:
    void Upload() {
        if (left_ == 0) {
            answer_ = digest_.Hex();
            asio::async_write(socket_, asio::buffer(answer_), [self = shared_from_this()](const asio::error_code& error, std::size_t) {
                if (!error) self->Finish();
            });
            return;
        }
        socket_.async_read_some(asio::buffer(buffer_.data(), std::min<std::size_t>(buffer_.size(), left_)),
                                [self = shared_from_this()](const asio::error_code& error, std::size_t size) {
                                    if (error) return;
                                    self->digest_.Add(self->buffer_.data(), size);
                                    self->left_ -= size;
                                    self->Upload();
                                });
    }

    void Download() {
        if (left_ == 0) {
            Finish();
            return;
        }
        const std::size_t now = std::min<std::size_t>(buffer_.size(), left_);
        stream_.Fill(buffer_.data(), now);
        left_ -= now;
        asio::async_write(socket_, asio::buffer(buffer_.data(), now), [self = shared_from_this()](const asio::error_code& error, std::size_t) {
            if (!error) self->Download();
        });
    }

    // Waits for the client to go: closing first could cut off bytes in flight.
    void Finish() {
        socket_.async_read_some(asio::buffer(buffer_), [self = shared_from_this()](const asio::error_code& error, std::size_t) {
            if (!error) self->Finish();
        });
    }

    tcp::socket socket_;
    std::array<char, 9> header_{};
    std::vector<char> buffer_;
    uint64_t left_ = 0;
    TDigest digest_;
    TTestStream stream_;
    std::string answer_;
};

class TTargetSession : public std::enable_shared_from_this<TTargetSession> {
public:
    TTargetSession(tcp::socket socket, TTargetKind kind, std::string text)
        : socket_(std::move(socket)), kind_(kind), text_(std::move(text)) {}

    void Start() {
        if (kind_ == TTargetKind::Greeter || kind_ == TTargetKind::SendAndClose) {
            asio::async_write(socket_, asio::buffer(text_), [self = shared_from_this()](const asio::error_code& error, std::size_t) {
                if (error) return;
                if (self->kind_ == TTargetKind::SendAndClose) {
                    asio::error_code ignored;
                    self->socket_.close(ignored);
                    return;
                }
                self->Read();
            });
            return;
        }
        Read();
    }

private:
    void Read() {
        socket_.async_read_some(asio::buffer(buffer_), [self = shared_from_this()](const asio::error_code& error, std::size_t size) {
            if (error == asio::error::eof) {
                self->AtEnd();
                return;
            }
            if (error) return;
            self->received_ += size;
            if (self->kind_ == TTargetKind::AnswerAtEnd) {
                self->Read();
                return;
            }
            asio::async_write(self->socket_, asio::buffer(self->buffer_.data(), size),
                              [self](const asio::error_code& error, std::size_t) {
                                  if (!error) self->Read();
                              });
        });
    }

    void AtEnd() {
        asio::error_code ignored;
        if (kind_ != TTargetKind::AnswerAtEnd) {
            socket_.shutdown(tcp::socket::shutdown_send, ignored);
            return;
        }
        text_ = "got " + std::to_string(received_) + " bytes";
        asio::async_write(socket_, asio::buffer(text_), [self = shared_from_this()](const asio::error_code&, std::size_t) {
            asio::error_code ignored;
            self->socket_.close(ignored);
        });
    }

    tcp::socket socket_;
    TTargetKind kind_;
    std::string text_;
    std::array<char, 65536> buffer_{};
    std::size_t received_ = 0;
};

}  // namespace

struct TTestTargets::TImpl {
    asio::io_context io{1};
    asio::executor_work_guard<asio::io_context::executor_type> work = asio::make_work_guard(io);
    std::vector<std::unique_ptr<tcp::acceptor>> acceptors;
    std::thread thread;

    void Accept(tcp::acceptor& acceptor, TTargetKind kind, std::string text) {
        acceptor.async_accept([this, &acceptor, kind, text](const asio::error_code& error, tcp::socket socket) {
            if (error) return;
            if (kind == TTargetKind::Transfer)
                std::make_shared<TTransferSession>(std::move(socket))->Start();
            else
                std::make_shared<TTargetSession>(std::move(socket), kind, text)->Start();
            Accept(acceptor, kind, text);
        });
    }

    uint16_t Add(TTargetKind kind, std::string text) {
        auto acceptor = std::make_unique<tcp::acceptor>(io, tcp::endpoint(asio::ip::address_v4::loopback(), 0));
        const uint16_t port = acceptor->local_endpoint().port();
        tcp::acceptor& ref = *acceptor;
        std::promise<void> done;
        asio::post(io, [&] {
            acceptors.push_back(std::move(acceptor));
            Accept(ref, kind, std::move(text));
            done.set_value();
        });
        done.get_future().wait();
        return port;
    }
};

TTestTargets::TTestTargets() : impl_(std::make_unique<TImpl>()) {
    impl_->thread = std::thread([impl = impl_.get()] { impl->io.run(); });
}

TTestTargets::~TTestTargets() {
    impl_->io.stop();
    impl_->thread.join();
}

uint16_t TTestTargets::Echo() { return impl_->Add(TTargetKind::Echo, {}); }
uint16_t TTestTargets::Greeter(std::string greeting) { return impl_->Add(TTargetKind::Greeter, std::move(greeting)); }
uint16_t TTestTargets::AnswerAtEnd() { return impl_->Add(TTargetKind::AnswerAtEnd, {}); }
uint16_t TTestTargets::SendAndClose(std::string bytes) { return impl_->Add(TTargetKind::SendAndClose, std::move(bytes)); }
uint16_t TTestTargets::Transfer() { return impl_->Add(TTargetKind::Transfer, {}); }

// ---- client ----------------------------------------------------------------

TTestClient::TTestClient(uint16_t port) : fd_(ConnectLoopback(port)) {}

TTestClient::~TTestClient() { Close(); }

void TTestClient::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool TTestClient::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

std::string TTestClient::Read(std::size_t size, std::chrono::milliseconds limit) {
    std::string bytes;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    char buffer[65536];
    while (bytes.size() < size) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd waiting{fd_, POLLIN, 0};
        if (::poll(&waiting, 1, static_cast<int>(left.count())) <= 0) break;
        const ssize_t got = ::recv(fd_, buffer, std::min(sizeof buffer, size - bytes.size()), 0);
        if (got <= 0) break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
}

TStreamEnd TTestClient::ReadToEnd(std::string& bytes, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    char buffer[65536];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return TStreamEnd::TimedOut;
        pollfd waiting{fd_, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(left.count()));
        if (ready == 0) return TStreamEnd::TimedOut;
        if (ready < 0) return TStreamEnd::Reset;
        const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
        if (got == 0) return TStreamEnd::Closed;
        if (got < 0) return TStreamEnd::Reset;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
}

void TTestClient::ShutdownSend() { ::shutdown(fd_, SHUT_WR); }

// ---- steps -----------------------------------------------------------------

TProxyStepObserver TStepRecorder::Observer() {
    return [this](const TProxyStep& step) {
        std::lock_guard lock(mutex_);
        steps_.push_back(step);
        changed_.notify_all();
    };
}

bool TStepRecorder::WaitFor(const std::string& step, std::size_t count, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] {
        std::size_t seen = 0;
        for (const TProxyStep& s : steps_)
            if (s.step == step) ++seen;
        return seen >= count;
    });
}

std::size_t TStepRecorder::Count(const std::string& step) const { return Details(step).size(); }

std::vector<std::string> TStepRecorder::Details(const std::string& step) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> details;
    for (const TProxyStep& s : steps_)
        if (s.step == step) details.push_back(s.detail);
    return details;
}

std::string TStepRecorder::LastFailure() const {
    const std::vector<std::string> failures = Details("fail");
    return failures.empty() ? std::string() : failures.back();
}

std::string TStepRecorder::Text() const {
    std::lock_guard lock(mutex_);
    std::string text;
    for (const TProxyStep& s : steps_) text += std::to_string(s.tunnel) + " " + s.step + ": " + s.detail + "\n";
    return text;
}

TProxySet ProxySettings(int32_t type, uint16_t port, std::string_view user, std::string_view password) {
    TProxySet proxy;
    proxy.ProxyType = type;
    if (type >= 2) proxy.ProxyServer = "127.0.0.1";
    proxy.ProxyPort = port;
    proxy.ProxyUser = user;
    proxy.ProxyPwd = password;
    return proxy;
}

std::unique_ptr<TMapperRun> StartMapper(const TProxySet& proxy, const std::string& targetHost, uint16_t targetPort,
                                        std::chrono::milliseconds handshakeTimeout) {
    auto run = std::make_unique<TMapperRun>();
    run->mapper = std::make_unique<TProxy>();
    run->mapper->SetStepObserver(run->steps.Observer());
    run->mapper->SetHandshakeTimeout(handshakeTimeout);
    // The order of the connect sequence.
    run->mapper->SetProxy(proxy);
    run->mapper->SetActive(true);
    run->mapper->SetTargetHost(targetHost);
    run->mapper->SetTargetPort(targetPort);
    return run;
}

::testing::AssertionResult EchoesThrough(uint16_t mapperPort, const std::string& text) {
    TTestClient client(mapperPort);
    if (!client.connected()) return ::testing::AssertionFailure() << "no connection to the mapper's port " << mapperPort;
    if (!client.Send(text)) return ::testing::AssertionFailure() << "cannot send";
    const std::string back = client.Read(text.size(), 5s);
    if (back != text) return ::testing::AssertionFailure() << "echo was \"" << back << "\"";
    return ::testing::AssertionSuccess();
}

// ---- log -------------------------------------------------------------------

TLogCapture::TLogCapture()
    : folder_(std::filesystem::temp_directory_path() / ("kiv-proxy-log-" + std::to_string(::getpid()) + "-" +
                                                         std::to_string(std::random_device{}()))),
      previousPath_(LogFilePath()),
      previousMain_(DebugSwitches[dmMain]) {
    std::filesystem::create_directories(folder_);
    SetLogFilePath(folder_ / "KivClient.log");
    DebugSwitches[dmMain] = true;
}

TLogCapture::~TLogCapture() {
    DebugSwitches[dmMain] = previousMain_;
    SetLogFilePath(previousPath_);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

std::vector<std::string> TLogCapture::Lines(std::string_view containing) const {
    std::vector<std::string> lines;
    std::ifstream in(folder_ / "KivClient.log");
    std::string line;
    while (std::getline(in, line))
        if (line.find(containing) != std::string::npos) lines.push_back(line);
    return lines;
}

std::size_t OpenDescriptorCount() { return EntriesIn("/proc/self/fd"); }
std::size_t ThreadCount() { return EntriesIn("/proc/self/task"); }

}  // namespace kiv::test

// ---- listeners and transfers -----------------------------------------------


namespace kiv::test {

std::vector<std::string> ListeningAddresses(uint16_t port) {
    std::vector<std::string> addresses;
    std::ifstream table("/proc/net/tcp");
    std::string line;
    char portHex[8];
    std::snprintf(portHex, sizeof portHex, "%04X", port);
    std::getline(table, line);  // the column names
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (state != "0A") continue;  // LISTEN
        const std::size_t colon = local.find(':');
        if (colon == std::string::npos || local.substr(colon + 1) != portHex) continue;
        addresses.push_back(local.substr(0, colon));
    }
    return addresses;
}

}  // namespace kiv::test

namespace kiv::test {

std::string TestStreamDigest(std::size_t size) {
    TTestStream stream;
    TDigest digest;
    std::vector<char> chunk(256 * 1024);
    for (std::size_t left = size; left > 0;) {
        const std::size_t now = std::min(left, chunk.size());
        stream.Fill(chunk.data(), now);
        digest.Add(chunk.data(), now);
        left -= now;
    }
    return digest.Hex();
}

::testing::AssertionResult TransfersIntact(uint16_t mapperPort, std::size_t size) {
    const std::string expected = TestStreamDigest(size);
    {
        TTestClient up(mapperPort);
        if (!up.connected() || !up.Send(SizeHeader('U', size))) return ::testing::AssertionFailure() << "upload: no tunnel";
        TTestStream stream;
        std::vector<char> chunk(256 * 1024);
        for (std::size_t left = size; left > 0;) {
            const std::size_t now = std::min(left, chunk.size());
            stream.Fill(chunk.data(), now);
            if (!up.Send(std::string_view(chunk.data(), now)))
                return ::testing::AssertionFailure() << "upload: sending failed with " << left << " bytes to go";
            left -= now;
        }
        const std::string answer = up.Read(64, 30s);
        if (answer != expected)
            return ::testing::AssertionFailure() << "upload: the target read SHA-256 \"" << answer << "\", sent " << expected;
    }
    TTestClient down(mapperPort);
    if (!down.connected() || !down.Send(SizeHeader('D', size))) return ::testing::AssertionFailure() << "download: no tunnel";
    TDigest digest;
    std::size_t received = 0;
    char buffer[256 * 1024];
    while (received < size) {
        pollfd waiting{down.fd(), POLLIN, 0};
        if (::poll(&waiting, 1, 10000) <= 0) break;
        const ssize_t got = ::recv(down.fd(), buffer, std::min(sizeof buffer, size - received), 0);
        if (got <= 0) break;
        digest.Add(buffer, static_cast<std::size_t>(got));
        received += static_cast<std::size_t>(got);
    }
    if (received != size) return ::testing::AssertionFailure() << "download: received " << received << " of " << size;
    const std::string got = digest.Hex();
    if (got != expected) return ::testing::AssertionFailure() << "download: SHA-256 " << got << ", sent " << expected;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult EchoesIntactAtFullDuplex(uint16_t mapperPort, std::size_t size) {
    TTestClient client(mapperPort);
    if (!client.connected()) return ::testing::AssertionFailure() << "no connection to the mapper";
    std::atomic<std::size_t> unsent{size};
    std::thread writer([&] {
        TTestStream stream;
        std::vector<char> chunk(256 * 1024);
        while (unsent > 0) {
            const std::size_t now = std::min<std::size_t>(unsent, chunk.size());
            stream.Fill(chunk.data(), now);
            if (!client.Send(std::string_view(chunk.data(), now))) break;
            unsent -= now;
        }
    });
    TDigest digest;
    std::size_t received = 0;
    char buffer[256 * 1024];
    while (received < size) {
        pollfd waiting{client.fd(), POLLIN, 0};
        if (::poll(&waiting, 1, 10000) <= 0) break;
        const ssize_t got = ::recv(client.fd(), buffer, std::min(sizeof buffer, size - received), 0);
        if (got <= 0) break;
        digest.Add(buffer, static_cast<std::size_t>(got));
        received += static_cast<std::size_t>(got);
    }
    ::shutdown(client.fd(), SHUT_RDWR);  // frees a writer stuck on a dead tunnel
    writer.join();
    if (received != size)
        return ::testing::AssertionFailure() << "received " << received << " of " << size << " bytes, " << unsent.load()
                                             << " left unsent";
    const std::string got = digest.Hex();
    const std::string expected = TestStreamDigest(size);
    if (got != expected) return ::testing::AssertionFailure() << "SHA-256 " << got << ", sent " << expected;
    return ::testing::AssertionSuccess();
}

}  // namespace kiv::test
