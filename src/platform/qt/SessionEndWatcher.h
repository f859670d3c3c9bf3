#pragma once
// The desktop's own events that concern the session: the desktop session ends
// (the session manager asks to save state, or the application is told to quit),
// and the machine is about to sleep (logind's PrepareForSleep on the system bus,
// when there is one).
#include <QObject>

#include <functional>

namespace kiv {

class TSessionEndWatcher final : public QObject {
    Q_OBJECT

public:
    TSessionEndWatcher(std::function<void()> onSessionEnd, std::function<void()> onSuspend);
    bool WatchingSleep() const { return watchingSleep_; }

private slots:
    void OnPrepareForSleep(bool start);

private:
    std::function<void()> onSessionEnd_;
    std::function<void()> onSuspend_;
    bool watchingSleep_ = false;
};

}  // namespace kiv
