#include "platform/linux/LocalCommandServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "infra/DebugLog.h"
#include "platform/linux/PrivateFolder.h"
#include "platform/linux/UnixHandOver.h"

namespace kiv {

std::filesystem::path TLocalCommandServer::Folder() { return TUnixHandOverEndpoint::DefaultFolder(); }

std::filesystem::path TLocalCommandServer::DefaultPath() {
    return Folder() / ("control-" + std::to_string(getpid()) + ".sock");
}

TLocalCommandServer::TLocalCommandServer(IMainLoop& mainLoop, std::function<void(const std::string&)> onLine)
    : mainLoop_(mainLoop), onLine_(std::move(onLine)) {}

TLocalCommandServer::~TLocalCommandServer() {
    alive_->store(false);
    if (wakeFd_[1] >= 0) {
        const char b = 0;
        (void)!write(wakeFd_[1], &b, 1);
    }
    if (thread_.joinable()) thread_.join();
    for (int fd : {listenFd_, wakeFd_[0], wakeFd_[1]})
        if (fd >= 0) close(fd);
    if (!path_.empty()) unlink(path_.c_str());
}

bool TLocalCommandServer::Start(const std::filesystem::path& socketPath) {
    // Whoever may write into the folder could put a socket of their own in our place.
    if (std::string why; !PreparePrivateFolder(socketPath.parent_path(), why)) {
        if (DebugSwitches[dmMain]) WriteLog("[TLocalCommandServer.Start]no control socket: " + why);
        return false;
    }
    unlink(socketPath.c_str());
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.string().size() >= sizeof address.sun_path) return false;
    std::strcpy(address.sun_path, socketPath.c_str());
    listenFd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0 || bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listenFd_, 4) != 0 || pipe2(wakeFd_, O_CLOEXEC) != 0)
        return false;
    chmod(socketPath.c_str(), 0600);
    path_ = socketPath;
    thread_ = std::thread([this] { Serve(); });
    return true;
}

void TLocalCommandServer::Serve() {
    while (alive_->load()) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFd_[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) return;
        const int client = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        // Only this user's own programs may steer the session.
        ucred peer{};
        socklen_t size = sizeof peer;
        std::string line;
        if (getsockopt(client, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == getuid()) {
            char buffer[1024];
            pollfd p{client, POLLIN, 0};
            while (line.size() < 4096 && poll(&p, 1, 2000) > 0) {
                const ssize_t n = recv(client, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                line.append(buffer, static_cast<std::size_t>(n));
                if (line.find('\n') != std::string::npos) break;
            }
        }
        close(client);
        if (const auto end = line.find('\n'); end != std::string::npos) line.resize(end);
        if (line.empty()) continue;
        mainLoop_.Post([alive = alive_, onLine = onLine_, line] {
            if (alive->load()) onLine(line);
        });
    }
}

}  // namespace kiv
