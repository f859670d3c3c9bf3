// kivtool send-window-message: hands a request to running clients of this user
// through their control sockets, as the session window's messages did.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "platform/linux/LocalCommandServer.h"
#include "tools/kivtool/Commands.h"
#include "tools/kivtool/ToolContext.h"

namespace kiv::tool {

namespace {

bool SendLine(const std::filesystem::path& socketPath, const std::string& line) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.string().size() >= sizeof address.sun_path) return false;
    std::strcpy(address.sun_path, socketPath.c_str());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                    send(fd, line.data(), line.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(line.size());
    close(fd);
    return ok;
}

int RunSendWindowMessage(const TArgs& args) {
    const TParsedArgs parsed = ParseArgs(args, {"pid"});
    if (parsed.positional.empty() || parsed.positional.size() > 2)
        throw TUsageError{"expects a message (0x1850 ... 0x1856, WM_CLOSE, WM_QUERYENDSESSION, WM_POWERBROADCAST, "
                          "WM_MSG_LOGOFF_DEBUG, WM_MSG_DISCONNECT_DEBUG) and an optional text"};
    std::string line = parsed.positional[0];
    if (parsed.positional.size() == 2) line += " " + parsed.positional[1];
    line += "\n";
    Json reached = Json::array();
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(TLocalCommandServer::Folder(), ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("control-", 0) != 0) continue;
        const std::string pid = name.substr(8, name.size() - 8 - 5);
        if (auto wanted = parsed.Option("pid"); wanted && *wanted != pid) continue;
        if (SendLine(entry.path(), line)) reached.push_back(std::stol(pid));
    }
    PrintJson({{"Message", parsed.positional[0]}, {"Reached", reached}});
    return reached.empty() ? 1 : 0;
}

const TRegisterCommand kSendWindowMessage{
    "send-window-message", RunSendWindowMessage,
    "send-window-message [--pid PID] MESSAGE [TEXT]    a request to the running clients (0x1850..0x1856, WM_CLOSE, ...)"};

}  // namespace

}  // namespace kiv::tool
