#include "infra/NetSpeedReport.h"

#include <algorithm>
#include <cstring>

namespace kiv {

namespace {

struct TTextField {
    std::size_t offset;
    std::size_t capacity;  // characters after the length byte
};
constexpr TTextField kSessionNo{4, 40}, kSessionId{45, 11}, kServerName{57, 40}, kAppName{98, 40};
constexpr std::size_t kFiguresOffset = 139;

void PutText(uint8_t* out, TTextField field, const std::string& text) {
    const std::size_t n = std::min(text.size(), field.capacity);
    out[field.offset] = static_cast<uint8_t>(n);
    std::memcpy(out + field.offset + 1, text.data(), n);
}

std::string GetText(const uint8_t* in, TTextField field) {
    const std::size_t n = std::min<std::size_t>(in[field.offset], field.capacity);
    return std::string(reinterpret_cast<const char*>(in + field.offset + 1), n);
}

void PutU64(uint8_t* out, uint64_t value) {
    for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

int64_t GetI64(const uint8_t* in) {
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = (value << 8) | in[i];
    return static_cast<int64_t>(value);
}

}  // namespace

std::array<uint8_t, TNetSpeedReport::kSize> TNetSpeedReport::Encode() const {
    std::array<uint8_t, kSize> out{};
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(OwnerWindow >> (8 * i));
    PutText(out.data(), kSessionNo, ServerSessionNo);
    PutText(out.data(), kSessionId, SessionID);
    PutText(out.data(), kServerName, ServerName);
    PutText(out.data(), kAppName, AppName);
    const int64_t figures[] = {SentLastSecond, ReceivedLastSecond, SentRate, ReceivedRate, SentTotal, ReceivedTotal};
    for (std::size_t i = 0; i < 6; ++i) PutU64(out.data() + kFiguresOffset + 8 * i, static_cast<uint64_t>(figures[i]));
    return out;
}

std::optional<TNetSpeedReport> TNetSpeedReport::Decode(std::span<const uint8_t> bytes) {
    if (bytes.size() != kSize) return std::nullopt;
    const uint8_t* in = bytes.data();
    TNetSpeedReport report;
    report.OwnerWindow = static_cast<uint32_t>(in[0] | (in[1] << 8) | (in[2] << 16)) | (uint32_t{in[3]} << 24);
    report.ServerSessionNo = GetText(in, kSessionNo);
    report.SessionID = GetText(in, kSessionId);
    report.ServerName = GetText(in, kServerName);
    report.AppName = GetText(in, kAppName);
    int64_t* figures[] = {&report.SentLastSecond, &report.ReceivedLastSecond, &report.SentRate,
                          &report.ReceivedRate,   &report.SentTotal,          &report.ReceivedTotal};
    for (std::size_t i = 0; i < 6; ++i) *figures[i] = GetI64(in + kFiguresOffset + 8 * i);
    return report;
}

}  // namespace kiv
