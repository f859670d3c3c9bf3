// Any bytes as the server shell's tray messages. The input is a series of
// payloads, each after its 16-bit little-endian length (the rest of the input
// when the length runs past it). Each payload reaches the tray handler with
// the padding and len of the channel layer, its icon file read by Qt's ICO
// reader as the client reads it; after each one a button goes down or up on
// the first icon. The handler must read nothing past the payload, keep exactly
// one local icon per entry, show only well-formed images and cut tooltips,
// send only 25-byte mouse messages, and leave no icon behind. Qt's reader
// gets the raw bytes as well.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "channels/ChannelPayload.h"
#include "desktop/MsgTray.h"
#include "desktop/TrayTooltip.h"
#include "platform/qt/IconFileReader.h"

namespace {

using namespace kiv;

struct Host : IChannelHost {
    void OnChannelSendData(const std::string& chan, const TBytes& data) override {
        if (chan != "CSML" || data.size() != 26 || data[25] != 0) __builtin_trap();
        if (data[0] != 0x03 || data[1] != 0xEF || data[2] != 0x01) __builtin_trap();
        static const std::set<uint32_t> kMessages{0x201, 0x202, 0x204, 0x205, 0x207, 0x208};
        const uint32_t message = data[17] | (data[18] << 8) | (data[19] << 16) | (uint32_t{data[20]} << 24);
        if (kMessages.count(message) == 0) __builtin_trap();
        if (++sent % 5 == 0) throw std::runtime_error("the channel went away");
    }
    void OnSessionStateChanged(uint16_t, int32_t) override {}
    TWindowHandle MainFormHandle() const override { return 1; }
    int sent = 0;
};

std::size_t Characters(const std::string& utf8) {
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

struct Icons : ITrayIcons {
    void SetEventSink(ITrayIconEvents* s) override { sink = s; }
    TTrayIconKey CreateTrayIcon() override {
        alive.insert(next);
        return next++;
    }
    void SetTrayIconImage(TTrayIconKey key, const TTrayIconImage& image) override {
        if (!alive.count(key) || image.images.empty()) __builtin_trap();
        for (const TIconImage& i : image.images)
            if (i.width < 1 || i.height < 1 || i.width > 256 || i.height > 256 ||
                i.pixels.size() != static_cast<std::size_t>(i.width) * i.height)
                __builtin_trap();
    }
    void SetTrayIconTooltip(TTrayIconKey key, const std::string& tooltip) override {
        if (!alive.count(key) || Characters(tooltip) > kTrayTooltipChars || tooltip.find('|') != std::string::npos)
            __builtin_trap();
    }
    void DestroyTrayIcon(TTrayIconKey key) override {
        if (alive.erase(key) != 1) __builtin_trap();  // destroyed twice, or never made
    }
    TTrayPoint CursorPos() const override { return {-5, 70000}; }
    bool ActivateDesktopWindow() override { return false; }
    void BringApplicationToFront() override {}
    ITrayIconEvents* sink = nullptr;
    std::set<TTrayIconKey> alive;
    TTrayIconKey next = 1;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Host host;
    Icons icons;
    const TQtIconFileDecoder decoder;
    {
        TMsgTray tray(host, TTrayPorts{&icons, &decoder});
        std::size_t at = 0;
        while (at < size) {
            std::size_t length = size - at;
            if (size - at >= 2) {
                length = std::min<std::size_t>(data[at] | (data[at + 1] << 8), size - at - 2);
                at += 2;
            }
            // Exactly the payload's bytes, so the sanitizer sees any read past it.
            const std::vector<uint8_t> payload(data + at, data + at + length);
            at += length;
            const TReceivedMessage received = UnwrapReceived(payload);
            tray.OnRecvbuffer(received.buffer.data(), received.len);
            if (static_cast<std::size_t>(tray.IconList.Count()) != icons.alive.size()) __builtin_trap();
            if (tray.IconList.Count() > 0 && !payload.empty() && icons.sink) {
                const TTrayIconKey icon = tray.IconList.Get(0)->Icon;
                const uint8_t pick = payload.back();
                const auto button = static_cast<TTrayButton>(pick % 3);
                if (pick & 0x80) icons.sink->OnTrayButtonDown(icon, button);
                else icons.sink->OnTrayButtonUp(icon, button);
                if (static_cast<std::size_t>(tray.IconList.Count()) != icons.alive.size()) __builtin_trap();
            }
        }
    }
    if (!icons.alive.empty() || icons.sink != nullptr) __builtin_trap();  // the handler takes every icon along

    for (const TIconImage& image : decoder.DecodeIconFile(std::span<const uint8_t>(data, size)))
        if (image.width < 1 || image.width > 256 || image.height < 1 || image.height > 256 ||
            image.pixels.size() != static_cast<std::size_t>(image.width) * image.height)
            __builtin_trap();
    return 0;
}
