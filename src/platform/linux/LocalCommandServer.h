#pragma once
// The running client's local control socket: one text line per request
// ("NUMBER [TEXT]" or a message name), from the same user only. Requests reach
// the GUI thread through the main loop. kivtool send-window-message writes them.
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "ports/MainLoop.h"

namespace kiv {

class TLocalCommandServer {
public:
    TLocalCommandServer(IMainLoop& mainLoop, std::function<void(const std::string& line)> onLine);
    ~TLocalCommandServer();
    // $XDG_RUNTIME_DIR/VYNClient6.0/control-<pid>.sock
    bool Start(const std::filesystem::path& socketPath = DefaultPath());
    static std::filesystem::path DefaultPath();
    static std::filesystem::path Folder();

private:
    void Serve();

    IMainLoop& mainLoop_;
    std::function<void(const std::string&)> onLine_;
    std::filesystem::path path_;
    int listenFd_ = -1;
    int wakeFd_[2] = {-1, -1};
    std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
    std::thread thread_;
};

}  // namespace kiv
