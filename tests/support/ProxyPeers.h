#pragma once
// The real proxies the tests reach through, each run in the foreground on
// 127.0.0.1 with its own configuration, PID and log in a temporary folder.
// Start answers false with the reason when the peer cannot run here.
#include <cstdint>
#include <string>

#include "support/ChildProcess.h"
#include "support/Loopback.h"
#include "support/TempDir.h"

namespace kiv::test {

inline constexpr const char* kSquidProgram = "/usr/sbin/squid";
inline constexpr const char* kTinyproxyProgram = "/usr/bin/tinyproxy";
inline constexpr const char* kDanteProgram = "/usr/sbin/danted";
inline constexpr const char* kMicrosocksProgram = "/usr/bin/microsocks";
inline constexpr const char* kSystemPython = "/usr/bin/python3";

// The credentials the peers that ask for them accept.
inline constexpr const char* kPeerUser = "u1";
inline constexpr const char* kPeerPassword = "p1-secret";

bool ProgramInstalled(const char* path);
bool RunningAsRoot();
// A shell command for set-up (useradd and the like); true when it exits 0.
bool RunQuietly(const std::string& command);

// squid: one port open to all, one that wants the user and password. Lets
// requests through only to 127.0.0.1.
class TSquidPeer {
public:
    explicit TSquidPeer(std::string user = kPeerUser, std::string password = kPeerPassword)
        : user_(std::move(user)), password_(std::move(password)) {}
    ~TSquidPeer();
    bool Start(std::string& why);
    void Kill();
    uint16_t openPort = 0;
    uint16_t authPort = 0;

private:
    std::string user_, password_;
    TempDir dir_;
    ChildProcess process_;
};

// tinyproxy with basic authentication (kPeerUser / kPeerPassword).
class TTinyproxyPeer {
public:
    bool Start(std::string& why);
    uint16_t port = 0;

private:
    TempDir dir_;
    ChildProcess process_;
};

// dante: SOCKS 4 and SOCKS 5 without authentication, or SOCKS 5 with the user
// name method, which checks a system account (see TSystemAccount).
class TDantePeer {
public:
    explicit TDantePeer(bool userMethod) : userMethod_(userMethod) {}
    bool Start(std::string& why);
    uint16_t port = 0;

private:
    bool userMethod_;
    TempDir dir_;
    ChildProcess process_;
};

// A throwaway system account with a password, for dante's user name method.
class TSystemAccount {
public:
    static constexpr const char* kName = "kivproxytest";
    static constexpr const char* kPassword = "Kiv-proxy-7351";
    bool Create(std::string& why);
    ~TSystemAccount();

private:
    bool created_ = false;
};

// microsocks (SOCKS 5), run as nobody; with credentials when a user is given.
class TMicrosocksPeer {
public:
    bool Start(std::string& why, const std::string& user = "", const std::string& password = "");
    void Kill();
    uint16_t port = 0;

private:
    TempDir dir_;
    ChildProcess process_;
};

// A SOCKS 4/4A server on twisted. Every request is written to a record file
// ("user <TAB> userid <TAB> address <TAB> port", and "name <TAB> host" for the
// names of 4A requests); names resolve to 127.0.0.1 without any lookup; the
// user id "deny" is refused.
class TTwistedSocks4Peer {
public:
    bool Start(std::string& why);
    std::string Record() const;
    uint16_t port = 0;

private:
    TempDir dir_;
    ChildProcess process_;
};

}  // namespace kiv::test
