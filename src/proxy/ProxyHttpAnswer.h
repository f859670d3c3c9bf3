#pragma once
// The head of an HTTP proxy's answer to CONNECT: the status line and the header
// lines up to the empty line. Only what the tunnel needs is kept: the status, how
// long a body follows, and whether the proxy keeps the connection afterwards.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "proxy/ProxyAnswerState.h"

namespace kiv {

// A proxy whose head does not end within this many bytes is not waited for.
inline constexpr std::size_t kMaxProxyAnswerHead = 16384;

struct THttpProxyAnswer {
    TProxyAnswerState state = TProxyAnswerState::NeedMore;
    std::size_t consumed = 0;  // Done: the head with its empty line
    std::string reason;        // Error
    int status = 0;
    std::string statusLine;    // without the line end
    int minorVersion = 1;      // HTTP/1.0 or HTTP/1.1
    std::optional<std::uint64_t> contentLength;
    bool chunked = false;
    // HTTP/1.1 unless "close"; HTTP/1.0 only with "keep-alive" (Connection or
    // Proxy-Connection).
    bool keepAlive = false;
};

// Any bytes, from the first byte the proxy sent. Line ends may be CR LF or LF.
THttpProxyAnswer ParseHttpProxyAnswer(std::string_view bytes);

// The status line's reason phrase ("Proxy Authentication Required"), possibly empty.
std::string_view StatusReasonPhrase(std::string_view statusLine);

}  // namespace kiv
