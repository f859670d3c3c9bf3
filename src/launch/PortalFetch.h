#pragma once
// Fetching a connection file from a portal page: the client tells the portal who
// is asking (computer name, machine identifier, local addresses) and takes the
// answer's body as lines. Plain HTTP goes through the farm's proxy; HTTPS always
// goes direct, with a short connect limit.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "launch/KivFile.h"
#include "ports/MachineFacts.h"

namespace kiv {

// Who is asking, as the portal is told.
struct TClientIdentity {
    std::string computerName;
    std::string fingerPrint;
    std::string localIPs;  // comma-separated IPv4 addresses
};

// The identity this machine presents ("KivClient.ini" picks the identifier variant).
TClientIdentity ReadClientIdentity(IMachineFacts& facts, const std::filesystem::path& localIni);

struct TPortalFetchOptions {
    // Portals with a private certificate switch this off in "KivClient.ini".
    bool verifyPortalCertificate = true;
    // Certificates to trust instead of the system's store; empty: the system's store.
    std::string caFile;
};

// [Local Property] VerifyPortalCertificate of "KivClient.ini": 0 switches the check
// off, anything else (or a missing file or key) keeps it on.
TPortalFetchOptions ReadPortalFetchOptions(const std::filesystem::path& localIni);

// The address as requested: "http://" in front unless it already starts with
// "http" in any case, then the three identity parameters appended as they are.
// Portals hand out addresses that already carry a query, so no "?" is added.
std::string PortalRequestAddress(std::string_view address, const TClientIdentity& identity);

// The address begins with "https://" in any case.
bool IsHttpsAddress(std::string_view address);

// A body split at CR, LF or CR LF; a final line ending adds no empty line.
std::vector<std::string> SplitAnswerLines(std::string_view body);

// The proxy a plain HTTP fetch uses for a farm's settings.
struct TPortalProxy {
    enum class TKind { Direct, Environment, Explicit };
    TKind kind = TKind::Direct;
    std::string url;       // Explicit: scheme://host:port with scheme http, socks4, socks4a or socks5
    std::string user;      // Explicit: sent when useCredentials
    std::string password;
    bool useCredentials = false;
};
TPortalProxy PortalProxyFor(const TProxySet& proxy);

// Fetches the portal page. True: the lines are the answer's body. False: the only
// line is a readable error (no connection, time-out, a status other than 2xx, a
// TLS failure). The lines given are replaced in both cases.
bool GetKivFromServer(std::string_view address, std::vector<std::string>& lines, const TClientIdentity& identity,
                      const TPortalFetchOptions& options);

}  // namespace kiv
