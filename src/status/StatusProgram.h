#pragma once
// kiv-status as a whole: it receives the clients' messages on its datagram
// socket, publishes its id (its process id) in the status-window block, shows
// the sessions, and ends when the last client has let go of the block (or
// another status window took its place, or nothing reported for a long while).
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/linux/StatusBlockView.h"
#include "status/SessionTraffic.h"
#include "status/StatusWindow.h"

namespace kiv::status {

class TStatusProgram : public QObject {
    Q_OBJECT

public:
    // A nobody-reported-anything limit that ends a status window whose clients died.
    static constexpr int64_t kOrphanMs = 30000;

    TStatusProgram();
    ~TStatusProgram() override;
    // False when there is nothing to show for (no block) or another status window answers.
    bool Start();

private:
    void OnDatagram();
    void OnSecond();
    void OnSignal();
    int64_t NowMs() const;
    void Record(const std::string& line);

    uint32_t id_;
    TStatusBlockView block_;
    std::filesystem::path socketPath_;
    int fd_ = -1;
    int signalPipe_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_, signalNotifier_;
    QTimer second_;
    TSessionTrafficList sessions_;
    TStatusWindow window_;
    int64_t startMs_ = 0;
    std::ofstream record_;  // what arrived, for the tests (KIV_TEST_STATUS_RECORD)
};

}  // namespace kiv::status
