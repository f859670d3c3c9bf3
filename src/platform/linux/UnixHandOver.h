#pragma once
// Hand-over endpoints on per-user Unix-domain sockets: the listening instance
// owns a socket named from the lower-cased session key under
// $XDG_RUNTIME_DIR/VYNClient6.0/; a later launch connects, sends its 516-byte
// record and waits until the GUI thread of the running instance has queued it.
#include <atomic>
#include <filesystem>
#include <memory>
#include <thread>

#include "ports/HandOver.h"
#include "ports/MainLoop.h"

namespace kiv {

class TUnixHandOverEndpoint : public IHandOverEndpoint {
public:
    TUnixHandOverEndpoint(IMainLoop& mainLoop, std::filesystem::path folder);
    ~TUnixHandOverEndpoint() override;

    void FindPeer(const std::string& key) override;
    bool PeerFound() const override { return peerFd_ >= 0; }
    void Send(const std::vector<uint8_t>& record) override;
    void Listen(const std::string& key, std::function<void(const std::vector<uint8_t>&)> onRecord) override;

    // The socket path of a key (keys compare without regard to letter case).
    std::filesystem::path SocketPath(const std::string& key) const;
    // $XDG_RUNTIME_DIR (or /tmp/kiv-<uid>) + "/VYNClient6.0". Neither Listen nor
    // FindPeer uses a folder that is not this user's alone (PreparePrivateFolder).
    static std::filesystem::path DefaultFolder();

private:
    // The folder exists, is this user's and nobody else may write into it; logged when not.
    bool FolderIsPrivate(const char* who) const;
    void Serve();
    void ServeOne(int fd);

    IMainLoop& mainLoop_;
    std::filesystem::path folder_;
    int peerFd_ = -1;
    int listenFd_ = -1;
    int wakeFd_[2] = {-1, -1};
    std::filesystem::path listenPath_;
    std::function<void(const std::vector<uint8_t>&)> onRecord_;
    std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
    std::thread thread_;
};

class TUnixHandOverFactory : public IHandOverFactory {
public:
    explicit TUnixHandOverFactory(IMainLoop& mainLoop, std::filesystem::path folder = TUnixHandOverEndpoint::DefaultFolder())
        : mainLoop_(mainLoop), folder_(std::move(folder)) {}
    std::unique_ptr<IHandOverEndpoint> CreateEndpoint() override {
        return std::make_unique<TUnixHandOverEndpoint>(mainLoop_, folder_);
    }

private:
    IMainLoop& mainLoop_;
    std::filesystem::path folder_;
};

// "KIV_CLIENT_MAP" as a per-user POSIX shared memory block of 4 bytes. Every
// instance holds a shared lock on it; the last one to close removes it.
class TPosixClientMarker : public IClientMarker {
public:
    explicit TPosixClientMarker(std::string name = DefaultName()) : name_(std::move(name)) {}
    ~TPosixClientMarker() override { Close(); }
    bool Open() override;
    bool IsFirstInstance() const override { return firstInstance_; }
    void Close() override;
    static std::string DefaultName();

private:
    std::string name_;
    int fd_ = -1;
    void* view_ = nullptr;
    bool firstInstance_ = false;
};

}  // namespace kiv
