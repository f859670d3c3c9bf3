#include "platform/linux/StatusWindowLink.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "platform/linux/ShareMem.h"

namespace kiv {

namespace {

bool AddressOf(uint32_t statusWindow, sockaddr_un& address) {
    const std::string path = StatusSocketPath(statusWindow).string();
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

}  // namespace

TStatusWindowLink::TStatusWindowLink(IProcessStarter& processes, std::filesystem::path program, TStatusBlockNames names)
    : processes_(processes), program_(std::move(program)), names_(std::move(names)) {
    fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}

TStatusWindowLink::~TStatusWindowLink() {
    if (fd_ >= 0) close(fd_);
}

std::unique_ptr<IStatusBlock> TStatusWindowLink::OpenStatusBlock() { return std::make_unique<TShareMem>(names_); }

bool TStatusWindowLink::Answers(uint32_t statusWindow) const { return StatusWindowAnswers(statusWindow); }

void TStatusWindowLink::Send(uint32_t statusWindow, const std::vector<uint8_t>& datagram) {
    sockaddr_un address;
    if (fd_ < 0 || !AddressOf(statusWindow, address)) return;
    (void)sendto(fd_, datagram.data(), datagram.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                 reinterpret_cast<sockaddr*>(&address), sizeof address);
}

bool TStatusWindowLink::StartStatusWindow() {
    std::error_code ec;
    if (!std::filesystem::exists(program_, ec)) return false;
    return processes_.Start(program_.string(), {});
}

}  // namespace kiv
