#include "proxy/ProxyHttpAnswer.h"

#include <algorithm>
#include <cctype>

namespace kiv {

namespace {

constexpr std::string_view kHttpPrefix = "HTTP/";

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Calls `token` for every comma-separated token of a header value.
template <typename F>
void ForEachToken(std::string_view value, F token) {
    while (!value.empty()) {
        const std::size_t comma = value.find(',');
        token(TrimBlanks(value.substr(0, comma)));
        if (comma == std::string_view::npos) break;
        value.remove_prefix(comma + 1);
    }
}

THttpProxyAnswer Failure(std::string reason) {
    THttpProxyAnswer answer;
    answer.state = TProxyAnswerState::Error;
    answer.reason = std::move(reason);
    return answer;
}

// "HTTP/1.x SSS reason"
bool ParseStatusLine(std::string_view line, THttpProxyAnswer& answer) {
    if (line.size() < 12 || line.substr(0, 5) != kHttpPrefix) return false;
    if (line[5] != '1' || line[6] != '.' || !IsDigit(line[7]) || line[8] != ' ') return false;
    if (!IsDigit(line[9]) || !IsDigit(line[10]) || !IsDigit(line[11])) return false;
    if (line.size() > 12 && line[12] != ' ') return false;
    answer.minorVersion = line[7] - '0';
    answer.status = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
    if (answer.status < 100) return false;
    answer.statusLine = std::string(line);
    return true;
}

}  // namespace

std::string_view StatusReasonPhrase(std::string_view statusLine) {
    if (statusLine.size() <= 13) return {};
    return TrimBlanks(statusLine.substr(13));
}

THttpProxyAnswer ParseHttpProxyAnswer(std::string_view bytes) {
    // Tell a stranger early: nothing more it sends can make it an HTTP answer.
    const std::size_t prefix = std::min(bytes.size(), kHttpPrefix.size());
    if (bytes.substr(0, prefix) != kHttpPrefix.substr(0, prefix)) return Failure("not an HTTP answer");

    // The head must end within the limit; looking no further keeps the verdict
    // the same however many bytes arrive after the limit.
    const std::string_view window = bytes.substr(0, std::min(bytes.size(), kMaxProxyAnswerHead));
    THttpProxyAnswer answer;
    bool close = false;
    bool keepAliveToken = false;
    std::size_t offset = 0;
    bool first = true;
    for (;;) {
        const std::size_t end = window.find('\n', offset);
        if (end == std::string_view::npos) {
            if (bytes.size() >= kMaxProxyAnswerHead) return Failure("answer head longer than 16384 bytes");
            return THttpProxyAnswer{};  // need more
        }
        std::string_view line = window.substr(offset, end - offset);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        offset = end + 1;
        if (first) {
            if (!ParseStatusLine(line, answer)) return Failure("bad status line");
            first = false;
            continue;
        }
        if (line.empty()) break;
        if (line.front() == ' ' || line.front() == '\t') continue;  // a folded continuation: nothing we need
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string_view name = TrimBlanks(line.substr(0, colon));
        const std::string_view value = TrimBlanks(line.substr(colon + 1));
        if (EqualsNoCase(name, "Content-Length")) {
            if (value.empty() || value.size() > 18 || !std::all_of(value.begin(), value.end(), IsDigit))
                return Failure("bad Content-Length");
            std::uint64_t length = 0;
            for (char c : value) length = length * 10 + static_cast<std::uint64_t>(c - '0');
            if (answer.contentLength && *answer.contentLength != length) return Failure("conflicting Content-Length");
            answer.contentLength = length;
        } else if (EqualsNoCase(name, "Transfer-Encoding")) {
            ForEachToken(value, [&](std::string_view token) {
                if (EqualsNoCase(token, "chunked")) answer.chunked = true;
            });
        } else if (EqualsNoCase(name, "Connection") || EqualsNoCase(name, "Proxy-Connection")) {
            ForEachToken(value, [&](std::string_view token) {
                if (EqualsNoCase(token, "close")) close = true;
                if (EqualsNoCase(token, "keep-alive")) keepAliveToken = true;
            });
        }
    }
    answer.state = TProxyAnswerState::Done;
    answer.consumed = offset;
    answer.keepAlive = !close && (answer.minorVersion >= 1 || keepAliveToken);
    return answer;
}

}  // namespace kiv
