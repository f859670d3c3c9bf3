#pragma once
// FreeRDP 2 (up to 2.11 at least) runs its connect sequence as a loop that
// reads what has arrived without blocking and then pauses with WinPR's
// Sleep(100) until the session is active. Every request the server answers in
// a millisecond (the connect response, attaching the user, each channel join,
// the logon) can still cost up to 100 ms, so a connection on loopback takes
// 0.4 to 1.4 s, and each extra static channel adds a step. FreeRDP 3 waits on
// its handles instead.
//
// The client binary exports a Sleep of its own (ConnectWait.cpp, listed in
// exported-connect-wait.list and linked with --dynamic-list), which libfreerdp's
// call binds to ahead of libwinpr's. On a thread inside a TConnectWaitScope a
// pause waits until the connection's socket has something to read, for at most
// the time asked; everywhere else it is WinPR's Sleep unchanged.
#include <freerdp/freerdp.h>

#include <cstdint>

namespace kiv {

class TConnectWaitScope {
public:
    // instance: the connection the calling thread is connecting (or reconnecting).
    explicit TConnectWaitScope(freerdp* instance);
    ~TConnectWaitScope();
    TConnectWaitScope(const TConnectWaitScope&) = delete;
    TConnectWaitScope& operator=(const TConnectWaitScope&) = delete;

private:
    freerdp* previous_;
};

// Pauses inside a scope that ended early because the connection had data: the
// proof that the library's pauses reach this Sleep.
uint64_t ConnectPausesCutShort();

}  // namespace kiv
