#include "status/StatusProgram.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>

#include <chrono>
#include <csignal>
#include <cstring>

#include "infra/NetSpeedReport.h"
#include "infra/StatusWindowMessage.h"
#include "platform/linux/PrivateFolder.h"

namespace kiv::status {

namespace {

int SignalWriteFd = -1;

void OnTerminate(int) {
    const char byte = 1;
    (void)!write(SignalWriteFd, &byte, 1);
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

}  // namespace

TStatusProgram::TStatusProgram() : id_(static_cast<uint32_t>(getpid())), socketPath_(StatusSocketPath(id_)) {
    startMs_ = NowMs();
    if (const char* path = std::getenv("KIV_TEST_STATUS_RECORD"); path && *path) record_.open(path, std::ios::app);
}

TStatusProgram::~TStatusProgram() {
    block_.Withdraw(id_);
    if (fd_ >= 0) close(fd_);
    std::error_code ec;
    if (!socketPath_.empty()) std::filesystem::remove(socketPath_, ec);
    for (int fd : signalPipe_)
        if (fd >= 0) close(fd);
}

int64_t TStatusProgram::NowMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void TStatusProgram::Record(const std::string& line) {
    if (record_.is_open()) record_ << line << std::endl;
}

bool TStatusProgram::Start() {
    // The client made the block before it started this program.
    if (!block_.Open()) return false;
    if (const uint32_t other = block_.StatusWindow(); other != 0 && other != id_ && StatusWindowAnswers(other))
        return false;  // one status window per desktop

    // The client's traffic goes only into a folder that is this user's alone.
    if (std::string why; !PreparePrivateFolder(socketPath_.parent_path(), why)) {
        Record("no status socket: " + why);
        return false;
    }
    std::error_code ec;
    std::filesystem::remove(socketPath_, ec);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath_.string().size() >= sizeof address.sun_path) return false;
    std::strcpy(address.sun_path, socketPath_.c_str());
    fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return false;
    chmod(socketPath_.c_str(), 0600);
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { OnDatagram(); });

    if (pipe2(signalPipe_, O_CLOEXEC | O_NONBLOCK) == 0) {
        SignalWriteFd = signalPipe_[1];
        std::signal(SIGTERM, OnTerminate);
        std::signal(SIGINT, OnTerminate);
        signalNotifier_ = std::make_unique<QSocketNotifier>(signalPipe_[0], QSocketNotifier::Read);
        connect(signalNotifier_.get(), &QSocketNotifier::activated, this, [this] { OnSignal(); });
    }

    // Listening first, then published: a client that reads the id finds the socket.
    block_.Publish(id_);
    Record("start " + std::to_string(id_));
    connect(&second_, &QTimer::timeout, this, [this] { OnSecond(); });
    second_.start(1000);
    window_.ShowSessions(sessions_);
    return true;
}

void TStatusProgram::OnDatagram() {
    uint8_t buffer[TStatusWindowMessage::kHeaderSize + TStatusWindowMessage::kMaxPayload + 1];
    for (;;) {
        const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
        if (n < 0) break;
        const auto message = TStatusWindowMessage::Decode(std::span<const uint8_t>(buffer, static_cast<std::size_t>(n)));
        if (!message) continue;  // not a message of ours: dropped
        if (message->kind == kStatusCopyData && message->wParam == kStatusReportWParam) {
            const auto report = TNetSpeedReport::Decode(message->payload);
            if (!report) continue;
            Record("report " + Hex(message->payload));
            sessions_.Add(*report, NowMs());
        } else if (message->kind == kStatusClose && message->wParam == kStatusCloseWParam) {
            Record("close " + std::to_string(message->lParam));
            sessions_.Close(message->lParam);
        }
    }
    window_.ShowSessions(sessions_);
}

void TStatusProgram::OnSecond() {
    if (sessions_.DropSilent(NowMs())) window_.ShowSessions(sessions_);
    const int64_t lastHeard = sessions_.LastReportMs() < 0 ? startMs_ : sessions_.LastReportMs();
    // The last client let go (or died), another status window took over, or
    // nothing reported for a long while.
    if (block_.UserCount() <= 0 || !block_.HeldByAClient() || block_.StatusWindow() != id_ ||
        NowMs() - lastHeard >= kOrphanMs) {
        Record("end");
        QCoreApplication::quit();
    }
}

void TStatusProgram::OnSignal() {
    Record("end");
    QCoreApplication::quit();
}

}  // namespace kiv::status
