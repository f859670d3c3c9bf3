#pragma once
// The tray icons of the shell's applications (--tray). Each application start
// puts icons for its first window into the server's tray and tells the client:
//   id 1 (callback 0x0401): added without an image, then modified with one;
//   id 2 (callback 0x0402): added with an image (a small id of the same window,
//        so the client folds it into the icon of id 1);
//   id 5000 (callback 0x8001) and id 6000 (callback 0x8002): added with images,
//        two icons the client keeps apart.
// Every mouse message of the client is recorded; a middle button's release on
// an icon deletes it, as an application removes its icon when told to quit.
#include <cstdint>
#include <string>

#include "tools/demo-server/ShellOutput.h"
#include "tools/demo-server/TrayWire.h"

namespace kiv::demo {

class TShellTray {
public:
    explicit TShellTray(IShellOutput& output) : output_(output) {}

    void AddIcons(std::int64_t window, const std::string& appId);
    void OnMouse(const TTrayMouse& mouse);

private:
    void Send(const char* action, const TTrayIconUpdate& update);

    IShellOutput& output_;
};

}  // namespace kiv::demo
