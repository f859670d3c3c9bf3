#include "infra/CltNetSpd.h"

#include <cmath>
#include <limits>

#include "infra/DebugLog.h"
#include "infra/IniImage.h"
#include "infra/StatusWindowMessage.h"
#include "infra/TextFormat.h"
#include "launch/KivFile.h"

namespace kiv {

namespace {

std::string LocalProperty(const std::filesystem::path& localIni, std::string_view key) {
    const auto ini = TIniImage::FromFile(localIni);
    return ini ? ini->ReadString("Local Property", key, "") : std::string();
}

}  // namespace

bool TCltNetSpd::ReadHookEnabled(const std::filesystem::path& localIni) {
    return LocalProperty(localIni, "DisableNetRate") != "1";
}

bool TCltNetSpd::ReadStatusWindowWanted(const std::filesystem::path& localIni) {
    return LocalProperty(localIni, "ShowNetRate") == "1";
}

uint32_t TCltNetSpd::CloseLParam(std::string_view sessionId) {
    const std::string_view digits = sessionId.size() > 3 ? sessionId.substr(3, 8) : std::string_view();
    return static_cast<uint32_t>(StrToIntDef(digits, 0));
}

TCltNetSpd::TCltNetSpd(const TTrafficMeterPorts& ports, const TKIVFile& record, uintptr_t ownerWindow)
    : ports_(ports), record_(record), ownerWindow_(ownerWindow) {
    hookEnabled_ = ReadHookEnabled(ports_.localIni);
    tickTimer_ = ports_.timers.CreateTimer([this] { Tick(); });
    const uint32_t now = ports_.tickCount();
    sent_.start = now;
    received_.start = now;
    if (ports_.statusWindow) {
        statusBlock_ = ports_.statusWindow->OpenStatusBlock();
        // A block nobody could open has no place for a status window to publish in.
        if (statusBlock_ && ReadStatusWindowWanted(ports_.localIni)) {
            const uint32_t window = statusBlock_->GetStatusWindow();
            if ((window == 0 || !ports_.statusWindow->Answers(window)) && !ports_.statusWindow->StartStatusWindow() &&
                DebugSwitches[dmSpeed])
                WriteLog("[TCltNetSpd]the status window program did not start");
        }
    }
    if (hookEnabled_ && ports_.interception)
        hookInstalled_ = ports_.interception->InstallHook(*this, DebugSwitches[dmSpeed]);
    if (hookEnabled_ && !hookInstalled_ && DebugSwitches[dmSpeed])
        WriteLog("[TCltNetSpd]no interception: nothing is counted");
    // With the interception the ticks wait for the first counted bytes (Tick
    // checks); without it they report zeros from now on.
    tickTimer_->Start(kTickMs);
}

TCltNetSpd::~TCltNetSpd() {
    if (hookInstalled_) {
        ports_.interception->RemoveHook();
        if (DebugSwitches[dmSpeed]) {
            const TKernelTrafficCounts kernel = ports_.interception->KernelCounts();
            WriteLog(Format("[TCltNetSpd]counted sent %d received %d; the kernel's count sent %d received %d (%d sockets, %d reset)",
                            {SentTotal(), ReceivedTotal(), kernel.sent, kernel.received, int64_t{kernel.sockets},
                             int64_t{kernel.resets}}));
        }
    }
    if (statusBlock_) {
        if (const uint32_t window = statusBlock_->GetStatusWindow(); window != 0 && ports_.statusWindow) {
            const TStatusWindowMessage close{kStatusClose, kStatusCloseWParam, CloseLParam(record_.SessionID.str()), {}};
            ports_.statusWindow->Send(window, close.Encode());
        }
    }
    tickTimer_.reset();
    statusBlock_.reset();
}

void TCltNetSpd::Add(TSide& side, int64_t count) {
    if (count <= 0 || !tickTimer_) return;
    if (side.total.fetch_add(count, std::memory_order_relaxed) == 0)
        side.start.store(ports_.tickCount(), std::memory_order_relaxed);
    if (!counting_.load(std::memory_order_relaxed)) counting_.store(true, std::memory_order_relaxed);
}

void TCltNetSpd::AddReceived(int64_t count) { Add(received_, count); }

void TCltNetSpd::AddSent(int64_t count) { Add(sent_, count); }

void TCltNetSpd::TakeSecond(TSide& side, uint32_t now) {
    const int64_t total = side.total.load(std::memory_order_relaxed);
    side.lastSecond = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(total - side.base)));
    if (total >= kTotalResetThreshold) {
        // Bytes counted meanwhile stay in the total and show in the next second.
        side.total.fetch_sub(total, std::memory_order_relaxed);
        side.start.store(now, std::memory_order_relaxed);
        side.base = 0;
    } else {
        side.base = total;
    }
}

void TCltNetSpd::ComputeRate(TSide& side, uint32_t now) {
    const uint32_t elapsedMs = now - side.start.load(std::memory_order_relaxed);
    if (elapsedMs == 0) {
        side.rate = 0;
        return;
    }
    // Halves go to the even neighbour (the default rounding mode).
    const double rate = std::nearbyint(static_cast<double>(side.total.load(std::memory_order_relaxed)) /
                                       (static_cast<double>(elapsedMs) / 1000.0));
    side.rate = rate >= std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                             : static_cast<int32_t>(rate);
}

void TCltNetSpd::Tick() {
    if (hookEnabled_ && !counting_.load(std::memory_order_relaxed)) return;
    if (hookInstalled_) ports_.interception->Revalidate();
    const uint32_t now = ports_.tickCount();
    TakeSecond(sent_, now);
    TakeSecond(received_, now);
    ComputeRate(sent_, now);
    ComputeRate(received_, now);
    const auto report = Report().Encode();
    SendToStatusWindow(
        TStatusWindowMessage{kStatusCopyData, kStatusReportWParam, 0, std::vector<uint8_t>(report.begin(), report.end())}
            .Encode());
}

void TCltNetSpd::SendToStatusWindow(const std::vector<uint8_t>& datagram) {
    if (!statusBlock_ || !ports_.statusWindow) return;
    if (const uint32_t window = statusBlock_->GetStatusWindow(); window != 0) ports_.statusWindow->Send(window, datagram);
}

TNetSpeedReport TCltNetSpd::Report() const {
    TNetSpeedReport report;
    report.OwnerWindow = static_cast<uint32_t>(ownerWindow_);
    report.ServerSessionNo = std::to_string(record_.ServerSessionNo);
    report.SessionID = record_.SessionID.str();
    report.ServerName = record_.ServerName.str();
    report.AppName = record_.AppName.str();
    report.SentLastSecond = sent_.lastSecond;
    report.ReceivedLastSecond = received_.lastSecond;
    report.SentRate = sent_.rate;
    report.ReceivedRate = received_.rate;
    report.SentTotal = SentTotal();
    report.ReceivedTotal = ReceivedTotal();
    return report;
}

}  // namespace kiv
