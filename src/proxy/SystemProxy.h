#pragma once
// The user's own proxy (proxy type 1): the desktop's proxy environment, read the
// way curl reads it, and the list form "http=host:port;https=host:port" that
// desktop proxy settings are written in.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "launch/KivFile.h"

namespace kiv {

struct TProxyServerText {
    std::string host;
    int32_t port = 80;
};

// Several entries separated by ";" (or any entry "name=value"): the value of the
// entry named "http", nothing when there is none. A single entry without "=":
// the whole text. Then the host is the part before the first ":" and the port
// the decimal number after it (80 when it is not a number); with no ":" at all
// the host is empty and the port 80.
TProxyServerText ParseProxyServerText(std::string_view text);

struct TSystemProxy {
    int32_t type = 2;  // 2 HTTP, 3 SOCKS 4/4A, 4 SOCKS 5: the mapper's proxy types
    std::string host;
    int32_t port = 0;
};

// One variable's value: "[scheme://][user[:password]@]host[:port][/...]".
// No scheme or "http" is an HTTP proxy; "socks4", "socks4a" SOCKS 4; "socks5",
// "socks5h" SOCKS 5; other schemes are not used. The port defaults to 1080, as
// curl's does. Credentials in the value are not taken. A value holding "=" is
// read as the list form above.
std::optional<TSystemProxy> ParseProxyEnvironmentValue(std::string_view value);

// The variables in the order they are asked; the first with a usable value wins.
// A tunnel is what curl builds for https addresses, so their variables come first.
inline constexpr const char* kProxyEnvironmentNames[] = {"https_proxy", "HTTPS_PROXY", "http_proxy",
                                                          "HTTP_PROXY",  "all_proxy",   "ALL_PROXY"};

using TEnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;
std::optional<TSystemProxy> ReadSystemProxy(const TEnvironmentLookup& lookup);
std::optional<TSystemProxy> ReadSystemProxy();  // the process environment

// Type 1 becomes the system's proxy (its type, host and port, no user and no
// password), or, when there is none, type 0 with everything cleared. Other types
// are left as they are.
void ResolveSystemProxy(TProxySet& proxy, const std::optional<TSystemProxy>& system);
void ResolveSystemProxy(TProxySet& proxy);

}  // namespace kiv
