#pragma once
// Where the client and the floating status window meet: the shared block
// "SuspendFormHndMapping" with its marker "MutexName_SuspendFormHnd", and the
// status window's datagram socket. The block lives in POSIX shared memory and
// the marker is a named semaphore, both per user and per X display (a status
// window belongs to one desktop); the socket is the user's, named from the id
// the status window published (its process id).
#include <cstdint>
#include <filesystem>
#include <string>

namespace kiv {

struct TStatusBlockNames {
    std::string mapping;  // shm_open name
    std::string marker;   // sem_open name
};

// "/SuspendFormHndMapping.<uid>.<display>" and "/MutexName_SuspendFormHnd.<uid>.<display>"
// (without ".<display>" when there is no display).
TStatusBlockNames DefaultStatusBlockNames();

// The status window's socket in the user's run-time folder:
// $XDG_RUNTIME_DIR/VYNClient6.0/status-<id>.sock.
std::filesystem::path StatusSocketPath(uint32_t statusWindow);

// Whether a status window listens under this id now (its socket is bound).
bool StatusWindowAnswers(uint32_t statusWindow);

}  // namespace kiv
