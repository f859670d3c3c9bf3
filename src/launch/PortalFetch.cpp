#include "launch/PortalFetch.h"

// The library's types and constants only: the functions are looked up when a
// portal is first fetched, so a client started from a connection file never
// loads libcurl (and what it pulls in).
#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>
#include <dlfcn.h>

#include <memory>

#include "infra/DebugLog.h"
#include "infra/IniImage.h"
#include "infra/TextFormat.h"
#include "infra/TextRules.h"
#include "launch/FarmList.h"
#include "session/FingerPrint.h"

namespace kiv {

namespace {

// The plain client announces itself as the HTTP library always did; portals
// tell the two kinds of client apart by it.
constexpr char kPlainUserAgent[] = "Mozilla/3.0 (compatible; Indy Library)";
constexpr char kTlsUserAgent[] = "MIBClient/2.1";
constexpr long kTlsConnectTimeoutMs = 3000;
// Neither client has an overall limit; a portal that stops sending for this long
// (less than one byte a second) ends the fetch instead of hanging the start-up.
constexpr long kStalledSeconds = 60;
// A connection file is a few kilobytes; anything this large is not one.
constexpr std::size_t kMaxAnswerBytes = 16u << 20;

// libcurl's functions, from the library loaded on first use (SONAME of libcurl 7 and 8).
struct TCurlLibrary {
    CURLcode (*global_init)(long) = nullptr;
    CURL* (*init)() = nullptr;
    CURLcode (*setopt)(CURL*, CURLoption, ...) = nullptr;
    CURLcode (*perform)(CURL*) = nullptr;
    CURLcode (*getinfo)(CURL*, CURLINFO, ...) = nullptr;
    void (*cleanup)(CURL*) = nullptr;
    const char* (*strerror)(CURLcode) = nullptr;
    std::string problem;  // why the library cannot be used; empty when it can
};

template <class TFunction>
bool Bind(void* library, const char* name, TFunction& function) {
    function = reinterpret_cast<TFunction>(dlsym(library, name));
    return function != nullptr;
}

const TCurlLibrary& Curl() {
    static const TCurlLibrary curl = [] {
        TCurlLibrary api;
        void* library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            const char* why = dlerror();
            api.problem = std::string("The HTTP library cannot be loaded: ") + (why ? why : "libcurl.so.4");
            return api;
        }
        if (!Bind(library, "curl_global_init", api.global_init) || !Bind(library, "curl_easy_init", api.init) ||
            !Bind(library, "curl_easy_setopt", api.setopt) || !Bind(library, "curl_easy_perform", api.perform) ||
            !Bind(library, "curl_easy_getinfo", api.getinfo) || !Bind(library, "curl_easy_cleanup", api.cleanup) ||
            !Bind(library, "curl_easy_strerror", api.strerror)) {
            api.problem = "The HTTP library lacks a function the fetch needs";
            return api;
        }
        api.global_init(CURL_GLOBAL_DEFAULT);
        return api;
    }();
    return curl;
}

struct TCurlDeleter {
    void operator()(CURL* handle) const { Curl().cleanup(handle); }
};
using TCurlHandle = std::unique_ptr<CURL, TCurlDeleter>;

struct TTransfer {
    std::string body;
    std::string statusLine;  // the last one received
    bool tooLarge = false;
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<TTransfer*>(user);
    const size_t bytes = size * count;
    if (transfer.body.size() + bytes > kMaxAnswerBytes) {
        transfer.tooLarge = true;
        return 0;  // ends the transfer with a write error
    }
    transfer.body.append(data, bytes);
    return bytes;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<TTransfer*>(user);
    const std::string_view line(data, size * count);
    if (line.substr(0, 5) == "HTTP/") transfer.statusLine = Trimmed(line);
    return size * count;
}

std::string ProxyHostText(std::string_view host) {
    // An IPv6 literal needs its brackets inside a URL.
    if (host.find(':') != std::string_view::npos && host.front() != '[') return "[" + std::string(host) + "]";
    return std::string(host);
}

void ApplyProxy(CURL* curl, const TPortalProxy& proxy) {
    switch (proxy.kind) {
    case TPortalProxy::TKind::Environment:
        // Left unset, the library reads http_proxy / all_proxy / no_proxy itself.
        return;
    case TPortalProxy::TKind::Direct:
        // An empty proxy also keeps the environment's proxy away.
        Curl().setopt(curl, CURLOPT_PROXY, "");
        return;
    case TPortalProxy::TKind::Explicit:
        Curl().setopt(curl, CURLOPT_PROXY, proxy.url.c_str());
        if (proxy.useCredentials) {
            Curl().setopt(curl, CURLOPT_PROXYUSERNAME, proxy.user.c_str());
            Curl().setopt(curl, CURLOPT_PROXYPASSWORD, proxy.password.c_str());
            Curl().setopt(curl, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
        }
        return;
    }
}

void ConfigureTls(CURL* curl, const TPortalFetchOptions& options) {
    Curl().setopt(curl, CURLOPT_USERAGENT, kTlsUserAgent);
    Curl().setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, kTlsConnectTimeoutMs);
    // The TLS client never goes through the farm's proxy, nor the environment's.
    Curl().setopt(curl, CURLOPT_PROXY, "");
    if (options.verifyPortalCertificate) {
        Curl().setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
        Curl().setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!options.caFile.empty()) Curl().setopt(curl, CURLOPT_CAINFO, options.caFile.c_str());
    } else {
        Curl().setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
        Curl().setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
    }
}

void ConfigurePlain(CURL* curl, const TProxySet& farmProxy) {
    Curl().setopt(curl, CURLOPT_USERAGENT, kPlainUserAgent);
    // No connect limit of its own: the library's default applies.
    ApplyProxy(curl, PortalProxyFor(farmProxy));
}

bool Fail(std::vector<std::string>& lines, std::string message) {
    lines.assign(1, std::move(message));
    return false;
}

}  // namespace

TClientIdentity ReadClientIdentity(IMachineFacts& facts, const std::filesystem::path& localIni) {
    return TClientIdentity{GetComputerNameText(facts), GetFingerPrint(facts, localIni), GetLocalIPs(facts)};
}

TPortalFetchOptions ReadPortalFetchOptions(const std::filesystem::path& localIni) {
    TPortalFetchOptions options;
    if (const std::optional<TIniImage> ini = TIniImage::FromFile(localIni))
        options.verifyPortalCertificate = ini->ReadInteger("Local Property", "VerifyPortalCertificate", 1) != 0;
    return options;
}

std::string PortalRequestAddress(std::string_view address, const TClientIdentity& identity) {
    std::string full;
    if (UpperAscii(address.substr(0, 4)) != "HTTP") full = "http://";
    full += address;
    full += Format("&Computer=%s&Finger=%s&IP=%s",
                   {identity.computerName, identity.fingerPrint, identity.localIPs});
    return full;
}

bool IsHttpsAddress(std::string_view address) { return UpperAscii(address.substr(0, 8)) == "HTTPS://"; }

std::vector<std::string> SplitAnswerLines(std::string_view body) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < body.size()) {
        const std::size_t end = body.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(body.substr(start));
            break;
        }
        lines.emplace_back(body.substr(start, end - start));
        start = end + 1;
        if (body[end] == '\r' && start < body.size() && body[start] == '\n') ++start;
    }
    return lines;
}

TPortalProxy PortalProxyFor(const TProxySet& proxy) {
    TPortalProxy result;
    if (proxy.ProxyType == 1) {
        result.kind = TPortalProxy::TKind::Environment;
        return result;
    }
    const char* scheme = nullptr;
    switch (proxy.ProxyType) {
    case 2: scheme = "http"; break;
    case 3: scheme = proxy.ProxyUser.empty() ? "socks4" : "socks4a"; break;
    case 4: scheme = "socks5"; break;
    default: return result;  // 0 and unknown kinds: direct
    }
    // A proxy kind without a proxy host leaves nothing to go through.
    if (TrimBlanks(proxy.ProxyServer).empty()) return result;

    result.kind = TPortalProxy::TKind::Explicit;
    result.url = std::string(scheme) + "://" + ProxyHostText(proxy.ProxyServer.str());
    if (proxy.ProxyPort > 0 && proxy.ProxyPort <= 65535) result.url += ":" + std::to_string(proxy.ProxyPort);
    result.user = proxy.ProxyUser.str();
    result.password = proxy.ProxyPwd.str();
    switch (proxy.ProxyType) {
    case 2:  // basic authentication only when there is something to send
        result.useCredentials = !TrimBlanks(proxy.ProxyUser).empty() || !TrimBlanks(proxy.ProxyPwd).empty();
        break;
    case 3:  // the user is the SOCKS 4A user id
        result.useCredentials = !proxy.ProxyUser.empty();
        break;
    default:
        result.useCredentials = !proxy.ProxyUser.empty() || !proxy.ProxyPwd.empty();
        break;
    }
    return result;
}

bool GetKivFromServer(std::string_view address, std::vector<std::string>& lines, const TClientIdentity& identity,
                      const TPortalFetchOptions& options) {
    // The farm is found by the address as the link gave it.
    TProxySet farmProxy;
    ReadFarmProxy(farmProxy, address);

    const std::string full = PortalRequestAddress(address, identity);
    if (DebugSwitches[dmMain]) WriteLog("GetKivFromServer:" + full);

    // Both outlive the handle, which points at them.
    char errorText[CURL_ERROR_SIZE] = {};
    TTransfer transfer;

    if (!Curl().problem.empty()) return Fail(lines, Curl().problem);
    TCurlHandle handle(Curl().init());
    if (!handle) return Fail(lines, "The HTTP client could not be created");
    CURL* curl = handle.get();
    Curl().setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    Curl().setopt(curl, CURLOPT_URL, full.c_str());
    Curl().setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    Curl().setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    Curl().setopt(curl, CURLOPT_HTTPGET, 1L);
    Curl().setopt(curl, CURLOPT_NOSIGNAL, 1L);
    Curl().setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    Curl().setopt(curl, CURLOPT_LOW_SPEED_TIME, kStalledSeconds);
    Curl().setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
    Curl().setopt(curl, CURLOPT_WRITEDATA, &transfer);
    Curl().setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
    Curl().setopt(curl, CURLOPT_HEADERDATA, &transfer);
    if (IsHttpsAddress(full))
        ConfigureTls(curl, options);
    else
        ConfigurePlain(curl, farmProxy);

    const CURLcode code = Curl().perform(curl);
    if (transfer.tooLarge) return Fail(lines, "The portal's answer is too large");
    if (code != CURLE_OK) return Fail(lines, errorText[0] != '\0' ? errorText : Curl().strerror(code));

    long status = 0;
    Curl().getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299)
        return Fail(lines, !transfer.statusLine.empty() ? transfer.statusLine : "HTTP status " + std::to_string(status));

    lines = SplitAnswerLines(transfer.body);
    return true;
}

}  // namespace kiv
