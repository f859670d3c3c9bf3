// kivtool proxy-check: opens one tunnel through the port mapper, exactly as a
// session would, and shows each step of the proxy's handshake and whether the
// target answered. For support staff facing "the session never connects" behind
// a proxy.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <vector>

#include "infra/CodePage.h"
#include "launch/FarmList.h"
#include "proxy/Proxy.h"
#include "tools/kivtool/Commands.h"
#include "tools/kivtool/KivFileJson.h"

namespace kiv::tool {

namespace {

struct THostPort {
    std::string host;
    int32_t port = 0;
};

int32_t PortNumber(const std::string& text, const std::string& what) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        throw TUsageError{what + " needs a port number"};
    const int32_t port = std::stoi(text);
    if (port < 1 || port > 65535) throw TUsageError{what + " port out of range"};
    return port;
}

// "host:port" or "[v6]:port".
THostPort SplitHostPort(const std::string& text, const std::string& what) {
    THostPort result;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':')
            throw TUsageError{what + " must be HOST:PORT"};
        result.host = text.substr(1, close - 1);
        result.port = PortNumber(text.substr(close + 2), what);
    } else {
        const std::size_t colon = text.rfind(':');
        if (colon == std::string::npos || colon == 0) throw TUsageError{what + " must be HOST:PORT"};
        result.host = text.substr(0, colon);
        result.port = PortNumber(text.substr(colon + 1), what);
    }
    return result;
}

TProxySet ProxyFromArguments(const TParsedArgs& parsed) {
    TProxySet proxy;
    if (const auto farm = parsed.Option("farm")) {
        for (const char* name : {"type", "proxy", "user", "password"})
            if (parsed.Option(name)) throw TUsageError{"--farm takes the farm's own proxy settings: no --" + std::string(name)};
        ReadFarmProxy(proxy, *farm);
        return proxy;
    }
    const auto proxyAddress = parsed.Option("proxy");
    if (const auto type = parsed.Option("type")) {
        if (type->size() != 1 || (*type)[0] < '0' || (*type)[0] > '4') throw TUsageError{"--type is 0 to 4"};
        proxy.ProxyType = (*type)[0] - '0';
    } else {
        proxy.ProxyType = proxyAddress ? 2 : 0;
    }
    if (proxyAddress) {
        const THostPort address = SplitHostPort(*proxyAddress, "--proxy");
        proxy.ProxyServer = Utf8ToSystem(address.host);
        proxy.ProxyPort = address.port;
    } else if (proxy.ProxyType >= 2) {
        throw TUsageError{"--type " + std::to_string(proxy.ProxyType) + " needs --proxy HOST:PORT"};
    }
    if (const auto user = parsed.Option("user")) proxy.ProxyUser = Utf8ToSystem(*user);
    if (const auto password = parsed.Option("password")) proxy.ProxyPwd = Utf8ToSystem(*password);
    return proxy;
}

// What the observer hears, handed from the mapper's thread to this one.
class TStepLog {
public:
    void Add(const TProxyStep& step) {
        std::lock_guard lock(mutex_);
        steps_.push_back(step);
        if (step.step == "open") opened_ = true;
        if (step.step == "fail") error_ = step.detail;
        if (step.step == "open" || step.step == "fail" || step.step == "close") {
            settled_ = true;
            changed_.notify_all();
        }
    }
    bool WaitSettled(std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return settled_; });
    }
    bool Opened() {
        std::lock_guard lock(mutex_);
        return opened_;
    }
    std::string Error() {
        std::lock_guard lock(mutex_);
        return error_;
    }
    Json Steps() {
        std::lock_guard lock(mutex_);
        Json list = Json::array();
        for (const TProxyStep& step : steps_) list.push_back({{"Step", step.step}, {"Detail", step.detail}});
        return list;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<TProxyStep> steps_;
    bool settled_ = false;
    bool opened_ = false;
    std::string error_;
};

int ConnectLoopback(int32_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string HexBytes(const unsigned char* bytes, std::size_t size) {
    std::string out;
    char pair[4];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(pair, sizeof pair, i == 0 ? "%02X" : " %02X", bytes[i]);
        out += pair;
    }
    return out;
}

// A terminal server waits for the client to speak first, so silence within the
// second is the usual answer; bytes or a close say more.
Json TargetAnswer(int fd) {
    pollfd waiting{fd, POLLIN, 0};
    const int ready = ::poll(&waiting, 1, 1000);
    if (ready <= 0) return {{"Answer", "silent"}, {"Note", "the target sent nothing within 1 s"}};
    unsigned char bytes[16];
    const ssize_t size = ::recv(fd, bytes, sizeof bytes, 0);
    if (size == 0) return {{"Answer", "closed"}, {"Note", "the target closed the connection"}};
    if (size < 0) return {{"Answer", "broken"}, {"Note", "the connection broke"}};
    return {{"Answer", "bytes"}, {"FirstBytes", HexBytes(bytes, static_cast<std::size_t>(size))}};
}

int RunProxyCheck(const TArgs& args) {
    const TParsedArgs parsed = ParseArgs(args, {"farm", "type", "proxy", "user", "password", "timeout"});
    if (parsed.positional.size() != 1) throw TUsageError{"expects exactly one target HOST:PORT"};
    const THostPort target = SplitHostPort(parsed.positional.front(), "the target");
    const TProxySet settings = ProxyFromArguments(parsed);
    std::chrono::milliseconds timeout = TProxy::kDefaultHandshakeTimeout;
    if (const auto text = parsed.Option("timeout")) {
        if (text->empty() || text->size() > 7 || text->find_first_not_of("0123456789") != std::string::npos)
            throw TUsageError{"--timeout is in milliseconds"};
        timeout = std::chrono::milliseconds(std::stoi(*text));
    }

    TStepLog log;
    TProxy mapper;
    mapper.SetStepObserver([&log](const TProxyStep& step) { log.Add(step); });
    mapper.SetHandshakeTimeout(timeout);
    mapper.SetProxy(settings);
    mapper.SetActive(true);
    mapper.SetTargetHost(Utf8ToSystem(target.host));
    mapper.SetTargetPort(target.port);

    Json report;
    report["Target"] = target.host + ":" + std::to_string(target.port);
    Json proxy = ProxySetToJson(mapper.ProxySettings());
    if (!mapper.ProxySettings().ProxyPwd.empty()) proxy["ProxyPwd"] = "***";
    report["ProxySet"] = proxy;
    report["LocalPort"] = mapper.GetLocalPort();

    std::string error;
    bool opened = false;
    Json answer;
    if (mapper.GetLocalPort() == 0) {
        error = "the mapper cannot listen on a local port";
    } else {
        const int fd = ConnectLoopback(mapper.GetLocalPort());
        if (fd < 0) {
            error = "cannot connect to the mapper's own port";
        } else {
            if (!log.WaitSettled(timeout + std::chrono::seconds(2))) error = "no outcome within the time-out";
            opened = log.Opened();
            if (opened) answer = TargetAnswer(fd);
            else if (error.empty()) error = log.Error().empty() ? "the tunnel closed" : log.Error();
            ::close(fd);
        }
    }
    mapper.SetActive(false);

    report["Steps"] = log.Steps();
    report["Result"] = opened ? "open" : "failed";
    if (opened) {
        report["TargetAccepted"] = true;
        report["TargetAnswer"] = answer;
    } else {
        report["Error"] = error;
    }
    PrintJson(report);
    return opened ? 0 : 1;
}

const TRegisterCommand kProxyCheck{
    "proxy-check", RunProxyCheck,
    "proxy-check HOST:PORT [--farm ADDRESS | --type N --proxy H:P --user U --password P] [--timeout MS]    "
    "one tunnel through the proxy, step by step, and whether the target answered"};

}  // namespace

}  // namespace kiv::tool
