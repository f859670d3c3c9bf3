#include "platform/linux/UnixHandOver.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <future>

#include <openssl/evp.h>

#include "desktop/HandOverRecord.h"
#include "infra/DebugLog.h"
#include "infra/TextRules.h"
#include "platform/linux/PrivateFolder.h"

namespace kiv {

namespace {

constexpr int kSendTimeoutMs = 5000;
constexpr uint8_t kTaken = 1;

// Session keys hold any bytes ("|", user names): the socket is named by a digest.
std::string KeyDigest(const std::string& key) {
    const std::string lower = LowerAscii(key);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(lower.data(), lower.size(), digest, &size, EVP_sha256(), nullptr);
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < 16 && i < size; ++i) {
        out += hex[digest[i] >> 4];
        out += hex[digest[i] & 15];
    }
    return out;
}

bool FillAddress(const std::filesystem::path& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    const std::string p = path.string();
    if (p.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, p.c_str(), p.size() + 1);
    return true;
}

int ConnectTo(const std::filesystem::path& path) {
    sockaddr_un address;
    if (!FillAddress(path, address)) return -1;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool WriteAll(int fd, const uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool WaitReadable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    int r;
    do r = poll(&p, 1, timeoutMs);
    while (r < 0 && errno == EINTR);
    return r > 0;
}

}  // namespace

std::filesystem::path TUnixHandOverEndpoint::DefaultFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::filesystem::path base = (runtime && *runtime == '/') ? std::filesystem::path(runtime)
                                                              : std::filesystem::path("/tmp") /
                                                                    ("kiv-" + std::to_string(getuid()));
    return base / "VYNClient6.0";
}

TUnixHandOverEndpoint::TUnixHandOverEndpoint(IMainLoop& mainLoop, std::filesystem::path folder)
    : mainLoop_(mainLoop), folder_(std::move(folder)) {}

TUnixHandOverEndpoint::~TUnixHandOverEndpoint() {
    alive_->store(false);
    if (wakeFd_[1] >= 0) {
        const uint8_t b = 0;
        (void)!write(wakeFd_[1], &b, 1);
    }
    if (thread_.joinable()) thread_.join();
    for (int fd : {peerFd_, listenFd_, wakeFd_[0], wakeFd_[1]})
        if (fd >= 0) close(fd);
    if (!listenPath_.empty()) {
        std::error_code ec;
        std::filesystem::remove(listenPath_, ec);
    }
}

std::filesystem::path TUnixHandOverEndpoint::SocketPath(const std::string& key) const {
    return folder_ / (KeyDigest(key) + ".sock");
}

bool TUnixHandOverEndpoint::FolderIsPrivate(const char* who) const {
    std::string why;
    if (PreparePrivateFolder(folder_, why)) return true;
    if (DebugSwitches[dmMain]) WriteLog(std::string("[TIpcMsg.") + who + "]no hand-over: " + why);
    return false;
}

void TUnixHandOverEndpoint::FindPeer(const std::string& key) {
    if (peerFd_ >= 0) close(peerFd_);
    peerFd_ = -1;
    // A record sent into somebody else's folder would reach whoever listens there.
    if (FolderIsPrivate("FindPeer")) peerFd_ = ConnectTo(SocketPath(key));
}

void TUnixHandOverEndpoint::Send(const std::vector<uint8_t>& record) {
    if (peerFd_ < 0) return;
    // The running instance answers once its GUI thread has queued the launch.
    if (WriteAll(peerFd_, record.data(), record.size()) && WaitReadable(peerFd_, kSendTimeoutMs)) {
        uint8_t answer = 0;
        (void)!recv(peerFd_, &answer, 1, 0);
    }
    close(peerFd_);
    peerFd_ = -1;
}

void TUnixHandOverEndpoint::Listen(const std::string& key, std::function<void(const std::vector<uint8_t>&)> onRecord) {
    if (!FolderIsPrivate("Listen")) return;
    std::error_code ec;
    const std::filesystem::path path = SocketPath(key);
    // A socket file nobody answers on is left over from an instance that died.
    if (const int live = ConnectTo(path); live >= 0) {
        close(live);
        if (DebugSwitches[dmMain]) WriteLog("[TIpcMsg.Listen]another instance already listens");
        return;
    }
    std::filesystem::remove(path, ec);
    sockaddr_un address;
    if (!FillAddress(path, address)) return;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 8) != 0 ||
        pipe2(wakeFd_, O_CLOEXEC) != 0) {
        if (DebugSwitches[dmMain]) WriteLog(std::string("[TIpcMsg.Listen]") + std::strerror(errno));
        close(fd);
        return;
    }
    chmod(path.c_str(), 0600);
    listenFd_ = fd;
    listenPath_ = path;
    onRecord_ = std::move(onRecord);
    thread_ = std::thread([this] { Serve(); });
}

void TUnixHandOverEndpoint::Serve() {
    while (alive_->load()) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFd_[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0 || !alive_->load()) return;
        if ((fds[0].revents & POLLIN) == 0) continue;
        const int client = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        ServeOne(client);
        close(client);
    }
}

void TUnixHandOverEndpoint::ServeOne(int fd) {
    std::vector<uint8_t> record(THandOverRecord::kSize);
    std::size_t got = 0;
    while (got < record.size() && WaitReadable(fd, kSendTimeoutMs)) {
        const ssize_t n = recv(fd, record.data() + got, record.size() - got, 0);
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    // A short record is no launch; the sender always sends all 516 bytes.
    if (got < record.size()) return;
    auto taken = std::make_shared<std::promise<void>>();
    std::future<void> done = taken->get_future();
    mainLoop_.Post([alive = alive_, taken, record, this] {
        if (alive->load() && onRecord_) onRecord_(record);
        taken->set_value();
    });
    if (done.wait_for(std::chrono::milliseconds(kSendTimeoutMs)) == std::future_status::ready)
        WriteAll(fd, &kTaken, 1);
}

std::string TPosixClientMarker::DefaultName() { return "/KIV_CLIENT_MAP." + std::to_string(getuid()); }

bool TPosixClientMarker::Open() {
    fd_ = shm_open(name_.c_str(), O_RDWR | O_CLOEXEC, 0600);
    firstInstance_ = false;
    if (fd_ < 0) {
        fd_ = shm_open(name_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd_ < 0) fd_ = shm_open(name_.c_str(), O_RDWR | O_CLOEXEC, 0600);  // created meanwhile
        else firstInstance_ = true;
    }
    if (fd_ < 0 || ftruncate(fd_, 4) != 0) {
        Close();
        return false;
    }
    view_ = mmap(nullptr, 4, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    if (view_ == MAP_FAILED) {
        view_ = nullptr;
        Close();
        return false;
    }
    flock(fd_, LOCK_SH);
    return true;
}

void TPosixClientMarker::Close() {
    if (view_ != nullptr) munmap(view_, 4);
    view_ = nullptr;
    if (fd_ >= 0) {
        // The last instance to leave takes the marker away.
        if (flock(fd_, LOCK_EX | LOCK_NB) == 0) shm_unlink(name_.c_str());
        close(fd_);
    }
    fd_ = -1;
}

}  // namespace kiv
