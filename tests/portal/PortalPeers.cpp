#include "portal/PortalPeers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>

extern char** environ;

namespace kiv::test {

namespace {

constexpr char kPython[] = "/usr/bin/python3";
constexpr char kSquid[] = "/usr/sbin/squid";
constexpr int kStartTimeoutMs = 20000;

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A TCP socket bound to 127.0.0.1 on a port the system picks; its port number.
int BindLoopback(int& fd) {
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    sockaddr_in address = Loopback(0);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return 0;
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}

std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TChildProcess::TChildProcess(const std::vector<std::string>& argv, bool captureStdout, bool captureStderr) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    int childEnds[3] = {-1, -1, -1};
    for (int stream : {1, 2}) {
        const bool capture = stream == 1 ? captureStdout : captureStderr;
        if (!capture) {
            posix_spawn_file_actions_addopen(&actions, stream, "/dev/null", O_WRONLY, 0);
            continue;
        }
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) continue;
        fds_[stream] = ends[0];
        childEnds[stream] = ends[1];
        posix_spawn_file_actions_adddup2(&actions, ends[1], stream);
    }
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) pid_ = pid;
    posix_spawn_file_actions_destroy(&actions);
    for (int fd : childEnds)
        if (fd >= 0) ::close(fd);
}

TChildProcess::~TChildProcess() {
    Kill();
    for (int fd : fds_)
        if (fd >= 0) ::close(fd);
}

std::optional<std::string> TChildProcess::ReadLine(int stream, int timeoutMs) {
    if (stream < 1 || stream > 2 || fds_[stream] < 0) return std::nullopt;
    std::string& pending = pending_[stream];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (const auto end = pending.find('\n'); end != std::string::npos) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return std::nullopt;
        pollfd watch{fds_[stream], POLLIN, 0};
        const int ready = ::poll(&watch, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return std::nullopt;
        char buffer[4096];
        const ssize_t got = ::read(fds_[stream], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return std::nullopt;
        pending.append(buffer, static_cast<std::size_t>(got));
    }
}

int TChildProcess::Wait() {
    if (pid_ <= 0) return -1;
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void TChildProcess::Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    Wait();
}

int RunProgram(const std::vector<std::string>& argv) {
    TChildProcess child(argv, false, false);
    return child.Wait();
}

std::optional<TTestCertificate> MakeSelfSignedCertificate(const std::filesystem::path& folder) {
    TTestCertificate result{folder / "portal-cert.pem", folder / "portal-key.pem"};
    const int code = RunProgram({"/usr/bin/openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                                 "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", result.keyFile.string(), "-out",
                                 result.certFile.string(), "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                                 "subjectAltName=IP:127.0.0.1"});
    if (code != 0) return std::nullopt;
    return result;
}

TPortalServer::TPortalServer(const std::string& answer, const TTestCertificate* tls) {
    const auto answerFile = folder_.Write("answer.txt", answer);
    std::vector<std::string> argv = {kPython, PORTAL_SERVER_SCRIPT, "--answer", answerFile.string(), "--log",
                                     (folder_.path() / "requests.log").string()};
    if (tls != nullptr) {
        argv.insert(argv.end(), {"--cert", tls->certFile.string(), "--key", tls->keyFile.string()});
    }
    process_ = std::make_unique<TChildProcess>(argv, true, false);
    if (const auto line = process_->ReadLine(1, kStartTimeoutMs)) port_ = std::atoi(line->c_str());
}

std::vector<nlohmann::json> TPortalServer::Requests() const {
    std::vector<nlohmann::json> requests;
    std::istringstream log(ReadWholeFile(folder_.path() / "requests.log"));
    for (std::string line; std::getline(log, line);)
        if (!line.empty()) requests.push_back(nlohmann::json::parse(line));
    return requests;
}

bool TSquidProxy::Available() { return ::access(kSquid, X_OK) == 0; }

TSquidProxy::TSquidProxy(const std::string& user, const std::string& password) {
    const std::filesystem::path dir = folder_.path();
    // basic_ncsa_auth reads apr1 hashes as openssl writes them.
    TChildProcess hasher({"/usr/bin/openssl", "passwd", "-apr1", password}, true, false);
    const std::optional<std::string> hash = hasher.ReadLine(1, kStartTimeoutMs);
    hasher.Wait();
    if (!hash) return;
    folder_.Write("htpasswd", user + ":" + *hash + "\n");

    const int port = FreeLoopbackPort();
    const std::string d = dir.string();
    folder_.Write("squid.conf", "http_port 127.0.0.1:" + std::to_string(port) + "\n"
                                "pid_filename " + d + "/squid.pid\n"
                                "access_log stdio:" + d + "/access.log\n"
                                "cache_log " + d + "/cache.log\n"
                                "cache_store_log none\n"
                                "coredump_dir " + d + "\n"
                                "cache deny all\n"
                                "shutdown_lifetime 0 seconds\n"
                                "pinger_enable off\n"
                                "visible_hostname localhost\n"
                                "dns_nameservers 127.0.0.1\n"
                                "udp_incoming_address 127.0.0.1\n"
                                "udp_outgoing_address 127.0.0.1\n"
                                "tcp_outgoing_address 127.0.0.1\n"
                                "auth_param basic program /usr/lib/squid/basic_ncsa_auth " + d + "/htpasswd\n"
                                "acl authed proxy_auth REQUIRED\n"
                                "acl lo_dst dst 127.0.0.1/32\n"
                                "http_access deny !lo_dst\n"
                                "http_access allow authed\n"
                                "http_access deny all\n");
    // As root squid drops to its own user, which must own the folder it writes to.
    if (::geteuid() == 0) {
        if (const passwd* proxyUser = ::getpwnam("proxy")) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
                (void)::chown(entry.path().c_str(), proxyUser->pw_uid, proxyUser->pw_gid);
            (void)::chown(dir.c_str(), proxyUser->pw_uid, proxyUser->pw_gid);
        }
    }
    process_ = std::make_unique<TChildProcess>(
        std::vector<std::string>{kSquid, "-N", "-d", "1", "-f", (dir / "squid.conf").string()}, false, true);
    while (const auto line = process_->ReadLine(2, kStartTimeoutMs)) {
        if (line->find("Accepting HTTP Socket connections") != std::string::npos) {
            port_ = port;
            break;
        }
    }
}

TSquidProxy::~TSquidProxy() { process_.reset(); }

TClosedPort::TClosedPort() { port_ = BindLoopback(fd_); }
TClosedPort::~TClosedPort() {
    if (fd_ >= 0) ::close(fd_);
}

int FreeLoopbackPort() {
    int fd = -1;
    const int port = BindLoopback(fd);
    if (fd >= 0) ::close(fd);
    return port;
}

}  // namespace kiv::test
