// The wrappers replace the C library's own definitions for the whole process, so
// they must be plain functions with the C library's signatures, and the C
// library's inline fortified forms must not stand in for them here.
#undef _FORTIFY_SOURCE
#include "platform/linux/interpose/SocketInterposer.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/sockios.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <sched.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>

#include "infra/DebugLog.h"
#include "infra/TextFormat.h"

namespace kiv {

namespace {

enum TFdClass : uint8_t { kUnknown = 0, kNotSocket = 1, kInet = 2, kUnix = 3, kOtherSocket = 4 };

constexpr int kTableSize = 1 << 20;
std::atomic<uint8_t> FdClass[kTableSize];
std::atomic<int> HighestMarkedFd{-1};  // the highest descriptor ever given a class
std::atomic<int> HighestSocketFd{-1};  // the highest descriptor ever marked a socket

std::atomic<ITrafficCounter*> Counter{nullptr};
std::atomic<int> InFlight{0};  // wrappers inside the counter right now
std::atomic<bool> KernelCheck{false};
std::atomic<int64_t> KernelSentClosed{0}, KernelReceivedClosed{0};
std::atomic<int> KernelSocketsClosed{0}, KernelResetsClosed{0};
std::atomic<int64_t> UnixSent{0}, UnixReceived{0};

// A function of the next object in the lookup order (the C library), resolved
// at start and, should a library's constructor call it before ours ran, on
// first use.
template <typename F>
struct TReal {
    const char* name;
    std::atomic<F> fn{nullptr};
    F Get() {
        F f = fn.load(std::memory_order_relaxed);
        if (f == nullptr) {
            f = reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
            fn.store(f, std::memory_order_relaxed);
        }
        return f;
    }
};

TReal<ssize_t (*)(int, const void*, size_t, int)> RealSend{"send"};
TReal<ssize_t (*)(int, void*, size_t, int)> RealRecv{"recv"};
TReal<ssize_t (*)(int, const void*, size_t, int, const sockaddr*, socklen_t)> RealSendTo{"sendto"};
TReal<ssize_t (*)(int, void*, size_t, int, sockaddr*, socklen_t*)> RealRecvFrom{"recvfrom"};
TReal<ssize_t (*)(int, const msghdr*, int)> RealSendMsg{"sendmsg"};
TReal<ssize_t (*)(int, msghdr*, int)> RealRecvMsg{"recvmsg"};
TReal<int (*)(int, mmsghdr*, unsigned int, int)> RealSendMmsg{"sendmmsg"};
TReal<int (*)(int, mmsghdr*, unsigned int, int, timespec*)> RealRecvMmsg{"recvmmsg"};
TReal<ssize_t (*)(int, void*, size_t)> RealRead{"read"};
TReal<ssize_t (*)(int, const void*, size_t)> RealWrite{"write"};
TReal<ssize_t (*)(int, const iovec*, int)> RealReadv{"readv"};
TReal<ssize_t (*)(int, const iovec*, int)> RealWritev{"writev"};
TReal<ssize_t (*)(int, int, off_t*, size_t)> RealSendFile{"sendfile"};
TReal<ssize_t (*)(int, int, off64_t*, size_t)> RealSendFile64{"sendfile64"};
TReal<ssize_t (*)(int, loff_t*, int, loff_t*, size_t, unsigned int)> RealSplice{"splice"};
TReal<ssize_t (*)(int, void*, size_t, size_t, int)> RealRecvChk{"__recv_chk"};
TReal<ssize_t (*)(int, void*, size_t, size_t, int, sockaddr*, socklen_t*)> RealRecvFromChk{"__recvfrom_chk"};
TReal<ssize_t (*)(int, void*, size_t, size_t)> RealReadChk{"__read_chk"};
TReal<int (*)(int, int, int)> RealSocket{"socket"};
TReal<int (*)(int, int, int, int*)> RealSocketPair{"socketpair"};
TReal<int (*)(int, sockaddr*, socklen_t*)> RealAccept{"accept"};
TReal<int (*)(int, sockaddr*, socklen_t*, int)> RealAccept4{"accept4"};
TReal<int (*)(int)> RealClose{"close"};
TReal<int (*)(int)> RealDup{"dup"};
TReal<int (*)(int, int)> RealDup2{"dup2"};
TReal<int (*)(int, int, int)> RealDup3{"dup3"};
TReal<int (*)(int, int, ...)> RealFcntl{"fcntl"};
TReal<int (*)(int, int, ...)> RealFcntl64{"fcntl64"};
TReal<int (*)(unsigned int, unsigned int, int)> RealCloseRange{"close_range"};
TReal<void (*)(int)> RealCloseFrom{"closefrom"};
TReal<int (*)(FILE*)> RealFclose{"fclose"};

__attribute__((constructor)) void ResolveRealFunctions() {
    RealSend.Get(), RealRecv.Get(), RealSendTo.Get(), RealRecvFrom.Get(), RealSendMsg.Get(), RealRecvMsg.Get();
    RealSendMmsg.Get(), RealRecvMmsg.Get(), RealRead.Get(), RealWrite.Get(), RealReadv.Get(), RealWritev.Get();
    RealSendFile.Get(), RealSendFile64.Get(), RealSplice.Get(), RealRecvChk.Get(), RealRecvFromChk.Get();
    RealReadChk.Get(), RealSocket.Get(), RealSocketPair.Get(), RealAccept.Get(), RealAccept4.Get();
    RealClose.Get(), RealDup.Get(), RealDup2.Get(), RealDup3.Get(), RealFcntl.Get(), RealFcntl64.Get();
    RealCloseRange.Get(), RealCloseFrom.Get(), RealFclose.Get();
}

void RaiseTo(std::atomic<int>& highest, int fd) {
    int seen = highest.load(std::memory_order_relaxed);
    while (fd > seen && !highest.compare_exchange_weak(seen, fd, std::memory_order_relaxed)) {
    }
}

bool IsSocketClass(uint8_t c) { return c == kInet || c == kUnix || c == kOtherSocket; }

void SetClass(int fd, uint8_t c) {
    if (fd < 0 || fd >= kTableSize) return;
    FdClass[fd].store(c, std::memory_order_relaxed);
    if (c == kUnknown) return;
    RaiseTo(HighestMarkedFd, fd);
    if (IsSocketClass(c)) RaiseTo(HighestSocketFd, fd);
}

// The descriptor may now be something else: classified again on its next use.
void Forget(int fd) { SetClass(fd, kUnknown); }

void ForgetRange(unsigned int first, unsigned int last) {
    const int highest = HighestMarkedFd.load(std::memory_order_relaxed);
    for (long fd = first; fd <= static_cast<long>(last) && fd <= highest; ++fd) Forget(static_cast<int>(fd));
}

uint8_t ClassOfDomain(int domain) {
    if (domain == AF_INET || domain == AF_INET6) return kInet;
    if (domain == AF_UNIX) return kUnix;
    return kOtherSocket;
}

uint8_t Classify(int fd) {
    const int savedErrno = errno;
    int domain = 0;
    socklen_t size = sizeof domain;
    uint8_t c = kUnknown;
    if (getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &size) == 0) c = ClassOfDomain(domain);
    else if (errno == ENOTSOCK) c = kNotSocket;
    errno = savedErrno;
    return c;
}

uint8_t ClassOf(int fd) {
    if (fd < 0) return kNotSocket;
    if (fd < kTableSize) {
        const uint8_t c = FdClass[fd].load(std::memory_order_relaxed);
        if (c != kUnknown) return c;
    }
    const uint8_t c = Classify(fd);
    SetClass(fd, c);
    return c;
}

void Report(int64_t count, bool sent) {
    if (Counter.load(std::memory_order_acquire) == nullptr) return;
    // RemoveHook waits until no wrapper is inside the counter any more.
    InFlight.fetch_add(1, std::memory_order_seq_cst);
    if (ITrafficCounter* counter = Counter.load(std::memory_order_seq_cst)) {
        if (sent) counter->AddSent(count);
        else counter->AddReceived(count);
    }
    InFlight.fetch_sub(1, std::memory_order_release);
}

// Counts a completed transfer of `count` bytes on the descriptor.
void Count(int fd, ssize_t count, bool sent) {
    if (count <= 0) return;
    const uint8_t c = ClassOf(fd);
    if (c == kInet) Report(count, sent);
    else if (c == kUnix) (sent ? UnixSent : UnixReceived).fetch_add(count, std::memory_order_relaxed);
}

// Descriptors that arrive in a message are new numbers here: whatever the table
// said about those numbers is stale.
void ForgetPassedDescriptors(const msghdr* message) {
    if (message == nullptr || message->msg_control == nullptr) return;
    for (cmsghdr* header = CMSG_FIRSTHDR(const_cast<msghdr*>(message)); header != nullptr;
         header = CMSG_NXTHDR(const_cast<msghdr*>(message), header)) {
        if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS) continue;
        const std::size_t n = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        const unsigned char* data = CMSG_DATA(header);
        for (std::size_t i = 0; i < n; ++i) {
            int fd;
            __builtin_memcpy(&fd, data + i * sizeof(int), sizeof(int));
            Forget(fd);
        }
    }
}

// What the kernel took from and gave to the program on this TCP socket. Sent:
// the data bytes transmitted, less retransmissions, plus those not sent yet.
// Received: the sequence space taken in, less what is still unread, less the
// peer's FIN when it came (it takes a sequence number, not a byte).
struct TSocketCounts {
    int64_t sent = 0;
    int64_t received = 0;
    bool reset = false;
};

bool KernelCountsOf(int fd, TSocketCounts& counts) {
    tcp_info info{};
    socklen_t size = sizeof info;
    if (getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &size) != 0 ||
        size < offsetof(tcp_info, tcpi_bytes_retrans) + sizeof info.tcpi_bytes_retrans)
        return false;
    int notSent = 0, unread = 0;
    if (ioctl(fd, SIOCOUTQNSD, &notSent) != 0) notSent = 0;
    if (ioctl(fd, SIOCINQ, &unread) != 0) unread = 0;
    // The kernel's TCP states (<netinet/tcp.h> names them, but clashes with
    // <linux/tcp.h>). The peer's FIN has arrived in TIME_WAIT, CLOSE_WAIT,
    // LAST_ACK and CLOSING. A socket shut down by us that then hears the peer's
    // FIN is left CLOSED, as is one the peer reset: only the reset leaves an
    // error behind (read here on a connection that is over anyway).
    const uint8_t state = info.tcpi_state;
    bool finReceived = state == 6 || state == 8 || state == 9 || state == 11;
    if (state == 7) {
        int error = 0;
        socklen_t errorSize = sizeof error;
        counts.reset = getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &errorSize) == 0 && error != 0;
        finReceived = !counts.reset;
    }
    counts.sent = static_cast<int64_t>(info.tcpi_bytes_sent - info.tcpi_bytes_retrans) + notSent;
    counts.received = static_cast<int64_t>(info.tcpi_bytes_received) - unread - (finReceived ? 1 : 0);
    return true;
}

void RecordKernelCountsAtClose(int fd) {
    if (!KernelCheck.load(std::memory_order_relaxed) || fd < 0 || fd >= kTableSize ||
        FdClass[fd].load(std::memory_order_relaxed) != kInet)
        return;
    const int savedErrno = errno;
    TSocketCounts counts;
    if (KernelCountsOf(fd, counts)) {
        KernelSentClosed.fetch_add(counts.sent, std::memory_order_relaxed);
        KernelReceivedClosed.fetch_add(counts.received, std::memory_order_relaxed);
        KernelSocketsClosed.fetch_add(1, std::memory_order_relaxed);
        if (counts.reset) KernelResetsClosed.fetch_add(1, std::memory_order_relaxed);
    }
    errno = savedErrno;
}

int64_t MessageBytes(const mmsghdr* messages, int count) {
    int64_t total = 0;
    for (int i = 0; i < count; ++i) total += messages[i].msg_len;
    return total;
}

}  // namespace

TSocketInterposer& TSocketInterposer::Instance() {
    static TSocketInterposer instance;
    return instance;
}

bool TSocketInterposer::Active() {
    // The name resolves to this executable's function only when it is exported.
    return dlsym(RTLD_DEFAULT, "send") == reinterpret_cast<void*>(static_cast<ssize_t (*)(int, const void*, size_t, int)>(&::send));
}

bool TSocketInterposer::InstallHook(ITrafficCounter& counter, bool kernelCheck) {
    if (!Active()) return false;
    KernelCheck.store(kernelCheck, std::memory_order_relaxed);
    KernelSentClosed = 0;
    KernelReceivedClosed = 0;
    KernelSocketsClosed = 0;
    KernelResetsClosed = 0;
    Counter.store(&counter, std::memory_order_seq_cst);
    return true;
}

void TSocketInterposer::RemoveHook() {
    Counter.store(nullptr, std::memory_order_seq_cst);
    while (InFlight.load(std::memory_order_seq_cst) != 0) sched_yield();
    if (DebugSwitches[dmSpeed])
        WriteLog(Format("[TSocketInterposer]Unix-domain bytes sent %d received %d (not counted)",
                        {UnixBytesSent(), UnixBytesReceived()}));
}

void TSocketInterposer::Revalidate() {
    // A socket closed where no wrapper saw it (a raw system call, the C
    // library's own closes) must not count what its number carries next.
    const int highest = HighestSocketFd.load(std::memory_order_relaxed);
    for (int fd = 0; fd <= highest && fd < kTableSize; ++fd) {
        if (!IsSocketClass(FdClass[fd].load(std::memory_order_relaxed))) continue;
        struct stat status;
        if (fstat(fd, &status) != 0 || !S_ISSOCK(status.st_mode)) Forget(fd);
    }
}

TKernelTrafficCounts TSocketInterposer::KernelCounts() {
    TKernelTrafficCounts counts{KernelSentClosed.load(), KernelReceivedClosed.load(), KernelSocketsClosed.load(),
                                KernelResetsClosed.load()};
    const int highest = HighestSocketFd.load(std::memory_order_relaxed);
    for (int fd = 0; fd <= highest && fd < kTableSize; ++fd) {
        if (FdClass[fd].load(std::memory_order_relaxed) != kInet) continue;
        TSocketCounts open;
        if (!KernelCountsOf(fd, open)) continue;
        counts.sent += open.sent;
        counts.received += open.received;
        ++counts.sockets;
        if (open.reset) ++counts.resets;
    }
    return counts;
}

int64_t TSocketInterposer::UnixBytesSent() { return UnixSent.load(std::memory_order_relaxed); }
int64_t TSocketInterposer::UnixBytesReceived() { return UnixReceived.load(std::memory_order_relaxed); }

}  // namespace kiv

using namespace kiv;

extern "C" {

ssize_t send(int fd, const void* buffer, size_t size, int flags) {
    const ssize_t n = RealSend.Get()(fd, buffer, size, flags);
    Count(fd, n, true);
    return n;
}

ssize_t recv(int fd, void* buffer, size_t size, int flags) {
    const ssize_t n = RealRecv.Get()(fd, buffer, size, flags);
    if ((flags & MSG_PEEK) == 0) Count(fd, n, false);
    return n;
}

ssize_t sendto(int fd, const void* buffer, size_t size, int flags, const sockaddr* address, socklen_t length) {
    const ssize_t n = RealSendTo.Get()(fd, buffer, size, flags, address, length);
    Count(fd, n, true);
    return n;
}

ssize_t recvfrom(int fd, void* buffer, size_t size, int flags, sockaddr* address, socklen_t* length) {
    const ssize_t n = RealRecvFrom.Get()(fd, buffer, size, flags, address, length);
    if ((flags & MSG_PEEK) == 0) Count(fd, n, false);
    return n;
}

ssize_t sendmsg(int fd, const msghdr* message, int flags) {
    const ssize_t n = RealSendMsg.Get()(fd, message, flags);
    Count(fd, n, true);
    return n;
}

ssize_t recvmsg(int fd, msghdr* message, int flags) {
    const ssize_t n = RealRecvMsg.Get()(fd, message, flags);
    if (n >= 0) ForgetPassedDescriptors(message);
    if ((flags & MSG_PEEK) == 0) Count(fd, n, false);
    return n;
}

int sendmmsg(int fd, mmsghdr* messages, unsigned int count, int flags) {
    const int n = RealSendMmsg.Get()(fd, messages, count, flags);
    if (n > 0) Count(fd, MessageBytes(messages, n), true);
    return n;
}

int recvmmsg(int fd, mmsghdr* messages, unsigned int count, int flags, timespec* timeout) {
    const int n = RealRecvMmsg.Get()(fd, messages, count, flags, timeout);
    for (int i = 0; i < n; ++i) ForgetPassedDescriptors(&messages[i].msg_hdr);
    if (n > 0 && (flags & MSG_PEEK) == 0) Count(fd, MessageBytes(messages, n), false);
    return n;
}

ssize_t read(int fd, void* buffer, size_t size) {
    const ssize_t n = RealRead.Get()(fd, buffer, size);
    Count(fd, n, false);
    return n;
}

ssize_t write(int fd, const void* buffer, size_t size) {
    const ssize_t n = RealWrite.Get()(fd, buffer, size);
    Count(fd, n, true);
    return n;
}

ssize_t readv(int fd, const iovec* vectors, int count) {
    const ssize_t n = RealReadv.Get()(fd, vectors, count);
    Count(fd, n, false);
    return n;
}

ssize_t writev(int fd, const iovec* vectors, int count) {
    const ssize_t n = RealWritev.Get()(fd, vectors, count);
    Count(fd, n, true);
    return n;
}

ssize_t sendfile(int out, int in, off_t* offset, size_t count) noexcept {
    const ssize_t n = RealSendFile.Get()(out, in, offset, count);
    Count(out, n, true);
    return n;
}

ssize_t sendfile64(int out, int in, off64_t* offset, size_t count) noexcept {
    const ssize_t n = RealSendFile64.Get()(out, in, offset, count);
    Count(out, n, true);
    return n;
}

ssize_t splice(int in, loff_t* inOffset, int out, loff_t* outOffset, size_t size, unsigned int flags) {
    const ssize_t n = RealSplice.Get()(in, inOffset, out, outOffset, size, flags);
    Count(in, n, false);
    Count(out, n, true);
    return n;
}

ssize_t __recv_chk(int fd, void* buffer, size_t size, size_t bufferSize, int flags) {
    const ssize_t n = RealRecvChk.Get()(fd, buffer, size, bufferSize, flags);
    if ((flags & MSG_PEEK) == 0) Count(fd, n, false);
    return n;
}

ssize_t __recvfrom_chk(int fd, void* buffer, size_t size, size_t bufferSize, int flags, sockaddr* address,
                       socklen_t* length) {
    const ssize_t n = RealRecvFromChk.Get()(fd, buffer, size, bufferSize, flags, address, length);
    if ((flags & MSG_PEEK) == 0) Count(fd, n, false);
    return n;
}

ssize_t __read_chk(int fd, void* buffer, size_t size, size_t bufferSize) {
    const ssize_t n = RealReadChk.Get()(fd, buffer, size, bufferSize);
    Count(fd, n, false);
    return n;
}

int socket(int domain, int type, int protocol) noexcept {
    const int fd = RealSocket.Get()(domain, type, protocol);
    if (fd >= 0) SetClass(fd, ClassOfDomain(domain));
    return fd;
}

int socketpair(int domain, int type, int protocol, int pair[2]) noexcept {
    const int result = RealSocketPair.Get()(domain, type, protocol, pair);
    if (result == 0) {
        SetClass(pair[0], ClassOfDomain(domain));
        SetClass(pair[1], ClassOfDomain(domain));
    }
    return result;
}

int accept(int fd, sockaddr* address, socklen_t* length) {
    const int client = RealAccept.Get()(fd, address, length);
    Forget(client);
    return client;
}

int accept4(int fd, sockaddr* address, socklen_t* length, int flags) {
    const int client = RealAccept4.Get()(fd, address, length, flags);
    Forget(client);
    return client;
}

int close(int fd) {
    RecordKernelCountsAtClose(fd);
    const int result = RealClose.Get()(fd);
    Forget(fd);
    return result;
}

int dup(int fd) noexcept {
    const int copy = RealDup.Get()(fd);
    Forget(copy);
    return copy;
}

int dup2(int fd, int target) noexcept {
    const int copy = RealDup2.Get()(fd, target);
    Forget(copy);
    return copy;
}

int dup3(int fd, int target, int flags) noexcept {
    const int copy = RealDup3.Get()(fd, target, flags);
    Forget(copy);
    return copy;
}

namespace {

int FcntlThrough(TReal<int (*)(int, int, ...)>& real, int fd, int command, va_list arguments) {
    // Every command takes at most one argument of a pointer's width.
    void* argument = va_arg(arguments, void*);
    const int result = real.Get()(fd, command, argument);
    if ((command == F_DUPFD || command == F_DUPFD_CLOEXEC) && result >= 0) Forget(result);
    return result;
}

}  // namespace

int fcntl(int fd, int command, ...) {
    va_list arguments;
    va_start(arguments, command);
    const int result = FcntlThrough(RealFcntl, fd, command, arguments);
    va_end(arguments);
    return result;
}

int fcntl64(int fd, int command, ...) {
    va_list arguments;
    va_start(arguments, command);
    const int result = FcntlThrough(RealFcntl64, fd, command, arguments);
    va_end(arguments);
    return result;
}

int close_range(unsigned int first, unsigned int last, int flags) noexcept {
    auto* real = RealCloseRange.Get();
    if (real == nullptr) {
        errno = ENOSYS;
        return -1;
    }
    const int result = real(first, last, flags);
    if (result == 0 && (flags & CLOSE_RANGE_CLOEXEC) == 0) ForgetRange(first, last);
    return result;
}

void closefrom(int lowest) noexcept {
    if (auto* real = RealCloseFrom.Get()) real(lowest);
    if (lowest >= 0) ForgetRange(static_cast<unsigned int>(lowest), ~0u);
}

int fclose(FILE* stream) {
    const int fd = stream != nullptr ? fileno(stream) : -1;
    const int result = RealFclose.Get()(stream);
    Forget(fd);
    return result;
}

}  // extern "C"
