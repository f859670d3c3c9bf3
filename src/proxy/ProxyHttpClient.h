#pragma once
// The proxy an HTTP client (the portal fetch, on libcurl) uses for a farm's
// proxy settings: the same kinds of proxy the port mapper speaks.
#include <string>

#include "launch/KivFile.h"
#include "proxy/SystemProxy.h"

namespace kiv {

struct TCurlProxy {
    // "http://", "socks4://", "socks4a://" or "socks5://" + host ":" port; empty:
    // no proxy at all (the client goes direct).
    std::string url;
    // Set when the trimmed user or the trimmed password is not empty; the values
    // are sent as they are written.
    bool useCredentials = false;
    std::string user;
    std::string password;
    std::string userPassword;  // user ":" password, for one-field options
    // Not empty: the settings name a proxy that cannot be used (an unknown type,
    // no server, a port out of range); the request must not go out direct instead.
    std::string problem;
};

// Type 1 is resolved first (from the process environment, or from `system`).
TCurlProxy CurlProxyFor(const TProxySet& proxy);
TCurlProxy CurlProxyFor(const TProxySet& proxy, const std::optional<TSystemProxy>& system);

}  // namespace kiv
