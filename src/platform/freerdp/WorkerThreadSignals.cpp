#include "platform/freerdp/WorkerThreadSignals.h"

#include <pthread.h>
#include <signal.h>

namespace kiv {

void BlockBrokenPipeSignal() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void IgnoreBrokenPipeByDefault() {
    struct sigaction current {};
    if (sigaction(SIGPIPE, nullptr, &current) != 0) return;
    if ((current.sa_flags & SA_SIGINFO) == 0 && current.sa_handler == SIG_DFL) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigaction(SIGPIPE, &ignore, nullptr);
    }
}

}  // namespace kiv
