#include "platform/freerdp/ConnectWait.h"

#include <dlfcn.h>
#include <poll.h>
#include <winpr/synch.h>

#include <atomic>
#include <ctime>

namespace kiv {

namespace {

thread_local freerdp* tConnecting = nullptr;
// After this many pauses in a row cut short (a socket that stays readable and
// is not read, or has hung up) the pauses sleep their full time again, so no
// caller of the library can turn into a busy loop.
constexpr int kMaxPausesCutShortInARow = 200;
thread_local int tCutShortInARow = 0;
std::atomic<uint64_t> gCutShort{0};

void RealSleep(DWORD milliseconds) {
    using TSleep = VOID (*)(DWORD);
    static const auto next = reinterpret_cast<TSleep>(dlsym(RTLD_NEXT, "Sleep"));
    if (next != nullptr) {
        next(milliseconds);
        return;
    }
    timespec pause{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) != 0) {
    }
}

// True when the pause is over (the socket had data or the time ran out).
bool WaitForConnection(freerdp* instance, DWORD milliseconds) {
    void* readFds[64] = {};
    void* writeFds[64] = {};
    int readCount = 0, writeCount = 0;
    if (!freerdp_get_fds(instance, readFds, &readCount, writeFds, &writeCount) || readCount <= 0) return false;
    pollfd fds[64];
    nfds_t count = 0;
    for (int i = 0; i < readCount && i < 64; ++i) {
        const auto fd = static_cast<int>(reinterpret_cast<intptr_t>(readFds[i]));
        if (fd >= 0) fds[count++] = pollfd{fd, POLLIN, 0};
    }
    if (count == 0) return false;
    const int ready = ::poll(fds, count, static_cast<int>(milliseconds));
    if (ready < 0) return false;
    if (ready == 0) {
        tCutShortInARow = 0;
        return true;
    }
    ++tCutShortInARow;
    gCutShort.fetch_add(1, std::memory_order_relaxed);
    return true;
}

}  // namespace

TConnectWaitScope::TConnectWaitScope(freerdp* instance) : previous_(tConnecting) {
    tConnecting = instance;
    tCutShortInARow = 0;
}

TConnectWaitScope::~TConnectWaitScope() { tConnecting = previous_; }

uint64_t ConnectPausesCutShort() { return gCutShort.load(std::memory_order_relaxed); }

}  // namespace kiv

// The one exported definition: see ConnectWait.h.
extern "C" VOID Sleep(DWORD dwMilliseconds) {
    freerdp* instance = kiv::tConnecting;
    if (instance != nullptr && dwMilliseconds > 0 && kiv::tCutShortInARow < kiv::kMaxPausesCutShortInARow &&
        kiv::WaitForConnection(instance, dwMilliseconds))
        return;
    kiv::RealSleep(dwMilliseconds);
}
