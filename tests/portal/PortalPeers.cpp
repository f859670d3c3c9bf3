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
constexpr auto kStartTimeout = std::chrono::seconds(20);

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
    ChildProcess::Options options;
    options.stderrFile = "/dev/null";
    options.endSignal = SIGKILL;
    // The server's first line is the port it listens on.
    if (process_.Start(argv, options))
        if (const auto line = process_.ReadLine(kStartTimeout)) port_ = std::atoi(line->c_str());
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
    ChildProcess::Options quiet;
    quiet.stderrFile = "/dev/null";
    ChildProcess hasher;
    hasher.Start({"/usr/bin/openssl", "passwd", "-apr1", password}, quiet);
    const std::optional<std::string> hash = hasher.ReadLine(kStartTimeout);
    hasher.Wait(kStartTimeout);
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
    ChildProcess::Options options;
    options.stdoutFile = "/dev/null";
    options.stderrPipe = true;
    options.endSignal = SIGKILL;
    process_.Start({kSquid, "-N", "-d", "1", "-f", (dir / "squid.conf").string()}, options);
    while (const auto line = process_.ReadErrorLine(kStartTimeout)) {
        if (line->find("Accepting HTTP Socket connections") != std::string::npos) {
            port_ = port;
            break;
        }
    }
}

TSquidProxy::~TSquidProxy() = default;

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
