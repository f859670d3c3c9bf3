#include "support/ProxyPeers.h"

#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

namespace kiv::test {

namespace {

constexpr auto kStartLimit = std::chrono::seconds(10);

// The peer's stdout and stderr go to its log; it dies by the signal given
// with the object (or with the test process).
bool StartPeer(ChildProcess& process, const std::vector<std::string>& argv, const std::filesystem::path& log,
               int endSignal = SIGKILL, std::optional<uid_t> user = std::nullopt) {
    ChildProcess::Options options;
    options.stdoutFile = log.string();
    options.stderrFile = log.string();
    options.endSignal = endSignal;
    options.user = user;
    return process.Start(argv, options);
}

bool Installed(const char* program, std::string& why) {
    if (ProgramInstalled(program)) return true;
    why = std::string(program) + " is not installed";
    return false;
}

bool NeedsRoot(const char* peer, std::string& why) {
    if (RunningAsRoot()) return true;
    why = std::string(peer) + " is started as root here (it drops its rights itself)";
    return false;
}

bool Listening(uint16_t port, const char* peer, const std::filesystem::path& log, std::string& why) {
    if (WaitForListener(port, kStartLimit)) return true;
    why = std::string(peer) + " did not open port " + std::to_string(port) + "; see " + log.string();
    return false;
}

}  // namespace

bool ProgramInstalled(const char* path) { return ::access(path, X_OK) == 0; }

bool RunningAsRoot() { return ::geteuid() == 0; }

bool RunQuietly(const std::string& command) {
    // The braces keep the command's own redirections ahead of the silencing one.
    return std::system(("{ " + command + "; } >/dev/null 2>&1").c_str()) == 0;
}

// ---- squid -----------------------------------------------------------------

TSquidPeer::~TSquidPeer() { Kill(); }

void TSquidPeer::Kill() {
    // TERM makes squid wait for its clients; nothing here needs that.
    process_.Stop(SIGKILL, kStartLimit);
    std::error_code ignored;
    std::filesystem::remove(dir_.path() / "squid.pid", ignored);
}

bool TSquidPeer::Start(std::string& why) {
    if (!Installed(kSquidProgram, why)) return false;
    openPort = UnusedLoopbackPort();
    authPort = UnusedLoopbackPort();
    const std::string folder = dir_.path().string();
    if (!RunQuietly("printf '%s:%s\\n' '" + user_ + "' \"$(openssl passwd -apr1 '" + password_ + "')\" > " + folder +
                    "/htpasswd")) {
        why = "cannot write squid's password file";
        return false;
    }
    dir_.Write("squid.conf",
               "http_port 127.0.0.1:" + std::to_string(openPort) + " name=open\n"
               "http_port 127.0.0.1:" + std::to_string(authPort) + " name=auth\n"
               "pid_filename " + folder + "/squid.pid\n"
               "cache_log " + folder + "/cache.log\n"
               "access_log " + folder + "/access.log\n"
               "cache_store_log none\n"
               "coredump_dir " + folder + "\n"
               "cache deny all\n"
               "cache_mem 8 MB\n"
               "shutdown_lifetime 0 seconds\n"
               "pinger_enable off\n"
               "visible_hostname localhost\n"
               "dns_nameservers 127.0.0.1\n"
               "udp_incoming_address 127.0.0.1\n"
               "udp_outgoing_address 127.0.0.1\n"
               "tcp_outgoing_address 127.0.0.1\n"
               "auth_param basic program /usr/lib/squid/basic_ncsa_auth " + folder + "/htpasswd\n"
               "acl authed proxy_auth REQUIRED\n"
               "acl open_port myportname open\n"
               "acl lo_dst dst 127.0.0.1/32\n"
               "http_access deny !lo_dst\n"
               "http_access allow open_port\n"
               "http_access allow authed\n"
               "http_access deny all\n");
    std::filesystem::remove(dir_.path() / "squid.pid");
    // As root squid drops to its own user, which must own the folder it writes to.
    if (RunningAsRoot()) {
        const passwd* proxyUser = ::getpwnam("proxy");
        if (proxyUser == nullptr) {
            why = "no system user proxy for squid";
            return false;
        }
        if (::chown(folder.c_str(), proxyUser->pw_uid, proxyUser->pw_gid) != 0 ||
            !RunQuietly("chown -R proxy " + folder)) {
            why = "cannot hand squid's folder to the proxy user";
            return false;
        }
    }
    const auto log = dir_.path() / "squid.out";
    if (!StartPeer(process_, {kSquidProgram, "-N", "-f", folder + "/squid.conf"}, log)) {
        why = "cannot start squid";
        return false;
    }
    return Listening(openPort, "squid", log, why) && Listening(authPort, "squid", log, why);
}

// ---- tinyproxy -------------------------------------------------------------

bool TTinyproxyPeer::Start(std::string& why) {
    if (!Installed(kTinyproxyProgram, why)) return false;
    port = UnusedLoopbackPort();
    const auto config = dir_.Write("tinyproxy.conf", "Port " + std::to_string(port) +
                                                         "\nListen 127.0.0.1\nAllow 127.0.0.1\nTimeout 60\n"
                                                         "LogLevel Info\nBasicAuth " + kPeerUser + " " +
                                                         kPeerPassword + "\n");
    const auto log = dir_.path() / "tinyproxy.out";
    if (!StartPeer(process_, {kTinyproxyProgram, "-d", "-c", config.string()}, log)) {
        why = "cannot start tinyproxy";
        return false;
    }
    return Listening(port, "tinyproxy", log, why);
}

// ---- dante -----------------------------------------------------------------

bool TDantePeer::Start(std::string& why) {
    if (!Installed(kDanteProgram, why) || !NeedsRoot("dante", why)) return false;
    port = UnusedLoopbackPort();
    const std::string folder = dir_.path().string();
    const std::string method = userMethod_ ? "username" : "none";
    const auto config = dir_.Write("danted.conf",
                                   "logoutput: " + folder + "/danted.log\n"
                                   "internal: 127.0.0.1 port = " + std::to_string(port) + "\n"
                                   "external: 127.0.0.1\n"
                                   "user.privileged: root\n"
                                   "user.unprivileged: nobody\n"
                                   "clientmethod: none\n"
                                   "socksmethod: " + method + "\n"
                                   "client pass {\n"
                                   "  from: 127.0.0.0/8 to: 0.0.0.0/0\n"
                                   "}\n"
                                   "socks pass {\n"
                                   "  from: 127.0.0.0/8 to: 127.0.0.0/8\n"
                                   "  command: connect\n"
                                   "  protocol: tcp\n"
                                   "  socksmethod: " + method + "\n"
                                   "}\n");
    const auto log = dir_.path() / "danted.out";
    // Dante's parent ends its children on TERM; a KILL would leave them behind.
    if (!StartPeer(process_, {kDanteProgram, "-f", config.string(), "-p", folder + "/danted.pid"}, log, SIGTERM)) {
        why = "cannot start dante";
        return false;
    }
    return Listening(port, "dante", log, why);
}

bool TSystemAccount::Create(std::string& why) {
    if (!RunningAsRoot() || !ProgramInstalled("/usr/sbin/useradd") || !ProgramInstalled("/usr/sbin/chpasswd")) {
        why = "a system account for dante's user name method needs root, useradd and chpasswd";
        return false;
    }
    RunQuietly(std::string("userdel ") + kName);  // left over from an interrupted run
    if (!RunQuietly(std::string("useradd -r -M -s /usr/sbin/nologin ") + kName) ||
        !RunQuietly(std::string("echo '") + kName + ":" + kPassword + "' | chpasswd")) {
        why = "cannot create the system account " + std::string(kName);
        RunQuietly(std::string("userdel ") + kName);
        return false;
    }
    created_ = true;
    return true;
}

TSystemAccount::~TSystemAccount() {
    if (created_) RunQuietly(std::string("userdel ") + kName);
}

// ---- microsocks ------------------------------------------------------------

void TMicrosocksPeer::Kill() { process_.Stop(SIGKILL, kStartLimit); }

bool TMicrosocksPeer::Start(std::string& why, const std::string& user, const std::string& password) {
    if (!Installed(kMicrosocksProgram, why)) return false;
    port = UnusedLoopbackPort();
    std::vector<std::string> argv{kMicrosocksProgram, "-i", "127.0.0.1", "-p", std::to_string(port)};
    if (!user.empty()) argv.insert(argv.end(), {"-u", user, "-P", password});
    const auto log = dir_.path() / "microsocks.out";
    std::optional<uid_t> nobody;
    if (RunningAsRoot()) {
        const passwd* account = ::getpwnam("nobody");
        if (account != nullptr) nobody = account->pw_uid;
    }
    if (!StartPeer(process_, argv, log, SIGKILL, nobody)) {
        why = "cannot start microsocks";
        return false;
    }
    return Listening(port, "microsocks", log, why);
}

// ---- twisted SOCKS 4A ------------------------------------------------------

bool TTwistedSocks4Peer::Start(std::string& why) {
    if (!Installed(kSystemPython, why)) return false;
    if (!RunQuietly(std::string(kSystemPython) + " -c 'import twisted.protocols.socks'")) {
        why = "python3-twisted is not installed";
        return false;
    }
    port = UnusedLoopbackPort();
    const auto script = dir_.Write("socks4_peer.py", R"(import sys
from twisted.internet import defer, protocol, reactor
from twisted.protocols import socks

port, record = int(sys.argv[1]), sys.argv[2]

def note(*fields):
    with open(record, "a") as out:
        out.write("\t".join(fields) + "\n")

class NamesToLoopback:
    # Stands in for the reactor's resolver: no name leaves this machine.
    def resolve(self, name):
        note("name", name.decode("latin-1") if isinstance(name, bytes) else name)
        return defer.succeed("127.0.0.1")

class Peer(socks.SOCKSv4):
    def __init__(self):
        socks.SOCKSv4.__init__(self, reactor=NamesToLoopback())

    def authorize(self, code, server, port, user):
        note("user", user.decode("latin-1"), server, str(port))
        return user != b"deny"

factory = protocol.Factory()
factory.protocol = Peer
reactor.listenTCP(port, factory, interface="127.0.0.1")
reactor.run()
)");
    const auto log = dir_.path() / "socks4_peer.out";
    if (!StartPeer(process_, {kSystemPython, script.string(), std::to_string(port), (dir_.path() / "record.txt").string()},
                   log)) {
        why = "cannot start the twisted SOCKS 4 peer";
        return false;
    }
    return Listening(port, "the twisted SOCKS 4 peer", log, why);
}

std::string TTwistedSocks4Peer::Record() const {
    std::ifstream in(dir_.path() / "record.txt");
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace kiv::test
