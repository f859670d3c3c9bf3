// Launch time and memory of a remote-desktop client, watched from the X
// server: a helper of scripts/run-bench.sh, which runs kivclient and xfreerdp
// against the demo server on the same private desktop, round by round.
//
//   bench_launch TITLE MODE SETTLE_MS -- PROGRAM [ARGUMENT...]
//
// Starts the program and polls the window manager's client list every
// millisecond until a window whose name contains TITLE is managed (MODE
// "window": the published application's taskbar entry) and, for MODE "frame",
// until the demo desktop's colour shows at that window's centre (a client's
// first frame). SETTLE_MS later it reads the program's memory, then ends it.
// Prints "launch_s S rss_kb R private_kb P"; exit status 1 when nothing showed
// within 30 s. With BENCH_SMAPS=FILE set it also copies the program's
// /proc/PID/smaps to FILE at that moment, for a breakdown per mapping.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The demo desktop's colour and its grid's (tools/demo-server/DesktopPattern.h).
constexpr uint32_t kDesktopColour = 0x2E5C8A;
constexpr uint32_t kGridColour = 0x577CA1;

xcb_atom_t Atom(xcb_connection_t* x, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    free(reply);
    return atom;
}

std::vector<xcb_window_t> ClientList(xcb_connection_t* x, xcb_window_t root, xcb_atom_t list) {
    std::vector<xcb_window_t> windows;
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(x, xcb_get_property(x, 0, root, list, XCB_ATOM_WINDOW, 0, 4096), nullptr);
    if (reply) {
        const auto* ids = static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
        windows.assign(ids, ids + xcb_get_property_value_length(reply) / 4);
    }
    free(reply);
    return windows;
}

std::string Name(xcb_connection_t* x, xcb_window_t window, xcb_atom_t netName, xcb_atom_t utf8) {
    std::string name;
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(x, xcb_get_property(x, 0, window, netName, utf8, 0, 1024), nullptr);
    if (reply) name.assign(static_cast<const char*>(xcb_get_property_value(reply)), xcb_get_property_value_length(reply));
    free(reply);
    return name;
}

std::optional<uint32_t> CentrePixel(xcb_connection_t* x, xcb_window_t window) {
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(x, xcb_get_geometry(x, window), nullptr);
    if (!geometry) return std::nullopt;
    const int16_t cx = static_cast<int16_t>(geometry->width / 2), cy = static_cast<int16_t>(geometry->height / 2);
    free(geometry);
    xcb_get_image_reply_t* image =
        xcb_get_image_reply(x, xcb_get_image(x, XCB_IMAGE_FORMAT_Z_PIXMAP, window, cx, cy, 1, 1, ~0u), nullptr);
    if (!image) return std::nullopt;
    std::optional<uint32_t> pixel;
    if (xcb_get_image_data_length(image) >= 4) {
        uint32_t value = 0;
        std::memcpy(&value, xcb_get_image_data(image), 4);
        pixel = value & 0xFFFFFF;
    }
    free(image);
    return pixel;
}

long StatusKb(pid_t pid, const char* file, const std::vector<std::string>& keys) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
    long total = 0;
    for (std::string line; std::getline(in, line);)
        for (const std::string& key : keys)
            if (line.rfind(key + ":", 0) == 0) total += std::atol(line.c_str() + key.size() + 1);
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6 || std::strcmp(argv[4], "--") != 0) {
        std::fprintf(stderr, "usage: bench_launch TITLE window|frame SETTLE_MS -- PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    const std::string title = argv[1];
    const bool frame = std::strcmp(argv[2], "frame") == 0;
    const int settleMs = std::atoi(argv[3]);

    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "bench_launch: no X display\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    const xcb_atom_t list = Atom(x, "_NET_CLIENT_LIST"), netName = Atom(x, "_NET_WM_NAME"),
                     utf8 = Atom(x, "UTF8_STRING");

    const Clock::time_point start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        execv(argv[5], argv + 5);
        _exit(127);
    }
    if (pid < 0) return 2;

    std::optional<double> seconds;
    xcb_window_t found = XCB_WINDOW_NONE;
    while (!seconds && Clock::now() - start < 30s) {
        if (found == XCB_WINDOW_NONE)
            for (xcb_window_t window : ClientList(x, root, list))
                if (Name(x, window, netName, utf8).find(title) != std::string::npos) found = window;
        if (found != XCB_WINDOW_NONE) {
            const std::optional<uint32_t> pixel = frame ? CentrePixel(x, found) : std::nullopt;
            if (!frame || (pixel && (*pixel == kDesktopColour || *pixel == kGridColour)))
                seconds = std::chrono::duration<double>(Clock::now() - start).count();
        }
        if (!seconds) std::this_thread::sleep_for(1ms);
    }
    long rss = 0, privateKb = 0;
    if (seconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
        rss = StatusKb(pid, "status", {"VmRSS"});
        privateKb = StatusKb(pid, "smaps_rollup", {"Private_Clean", "Private_Dirty"});
        if (const char* copy = std::getenv("BENCH_SMAPS"))
            std::ofstream(copy) << std::ifstream("/proc/" + std::to_string(pid) + "/smaps").rdbuf();
    }
    kill(pid, SIGTERM);
    for (int i = 0; i < 300 && waitpid(pid, nullptr, WNOHANG) == 0; ++i) std::this_thread::sleep_for(10ms);
    if (waitpid(pid, nullptr, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    xcb_disconnect(x);
    if (!seconds) {
        std::fprintf(stderr, "bench_launch: no window named \"%s\" within 30 s\n", title.c_str());
        return 1;
    }
    std::printf("launch_s %.3f rss_kb %ld private_kb %ld\n", *seconds, rss, privateKb);
    return 0;
}
