#include "platform/freerdp/FreeRdpDisplay.h"

#include <freerdp/codec/color.h>
#include <freerdp/gdi/gdi.h>
#include <freerdp/input.h>
#include <freerdp/locale/keyboard.h>

#include <algorithm>

#include "platform/freerdp/FreeRdpContext.h"

namespace kiv {

namespace {

BOOL BeginPaint(rdpContext* context) {
    if (auto* display = KivContext(context)->display) display->OnBeginPaint();
    return TRUE;
}

BOOL EndPaint(rdpContext* context) {
    if (auto* display = KivContext(context)->display) display->OnEndPaint();
    return TRUE;
}

BOOL DesktopResize(rdpContext* context) {
    auto* display = KivContext(context)->display;
    return display && display->OnDesktopResize(context) ? TRUE : FALSE;
}

// The part of a rectangle that lies on the desktop; empty when none does.
TRect ClipToDesktop(int32_t x, int32_t y, int32_t w, int32_t h, int32_t width, int32_t height) {
    const int64_t left = std::max<int64_t>(x, 0);
    const int64_t top = std::max<int64_t>(y, 0);
    const int64_t right = std::min<int64_t>(int64_t{x} + w, width);
    const int64_t bottom = std::min<int64_t>(int64_t{y} + h, height);
    if (right <= left || bottom <= top) return {};
    return {static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right - left),
            static_cast<int32_t>(bottom - top)};
}

}  // namespace

TFreeRdpDisplay::TFreeRdpDisplay(TCallbacks callbacks) : callbacks_(std::move(callbacks)) {}

bool TFreeRdpDisplay::Attach(freerdp* instance) {
    if (!gdi_init(instance, PIXEL_FORMAT_BGRA32)) return false;
    rdpUpdate* update = instance->update;
    update->BeginPaint = BeginPaint;
    update->EndPaint = EndPaint;
    update->DesktopResize = DesktopResize;
    int32_t width = 0, height = 0;
    {
        std::lock_guard lock(attachMutex_);
        gdi_ = instance->context->gdi;
        update_ = update;
        width = gdi_->width;
        height = gdi_->height;
    }
    if (callbacks_.resized) callbacks_.resized(width, height);
    return true;
}

void TFreeRdpDisplay::Detach(freerdp* instance) {
    std::lock_guard lock(attachMutex_);
    if (!gdi_) return;
    rdpUpdate* update = update_;
    EnterCriticalSection(&update->mux);
    gdi_free(instance);
    gdi_ = nullptr;
    update_ = nullptr;
    LeaveCriticalSection(&update->mux);
    std::lock_guard damageLock(damageMutex_);
    damage_.clear();
}

void TFreeRdpDisplay::OnBeginPaint() {
    rdpGdi* gdi = gdi_;
    if (!gdi || !gdi->primary || !gdi->primary->hdc || !gdi->primary->hdc->hwnd) return;
    HGDI_WND hwnd = gdi->primary->hdc->hwnd;
    if (hwnd->invalid) hwnd->invalid->null = TRUE;
    hwnd->ninvalid = 0;
}

void TFreeRdpDisplay::OnEndPaint() {
    rdpGdi* gdi = gdi_;
    if (!gdi || !gdi->primary || !gdi->primary->hdc || !gdi->primary->hdc->hwnd) return;
    HGDI_WND hwnd = gdi->primary->hdc->hwnd;
    std::vector<TRect> rects;
    if (hwnd->ninvalid > 0 && hwnd->cinvalid) {
        rects.reserve(static_cast<std::size_t>(hwnd->ninvalid));
        for (INT32 i = 0; i < hwnd->ninvalid; ++i) {
            const GDI_RGN& r = hwnd->cinvalid[i];
            const TRect clipped = ClipToDesktop(r.x, r.y, r.w, r.h, gdi->width, gdi->height);
            if (clipped.width > 0) rects.push_back(clipped);
        }
    } else if (hwnd->invalid && !hwnd->invalid->null) {
        const TRect clipped =
            ClipToDesktop(hwnd->invalid->x, hwnd->invalid->y, hwnd->invalid->w, hwnd->invalid->h, gdi->width, gdi->height);
        if (clipped.width > 0) rects.push_back(clipped);
    }
    if (hwnd->invalid) hwnd->invalid->null = TRUE;
    hwnd->ninvalid = 0;
    if (rects.empty()) return;

    bool post = false;
    {
        std::lock_guard lock(damageMutex_);
        damage_.insert(damage_.end(), rects.begin(), rects.end());
        // A GUI thread that falls behind gets one whole-desktop rectangle
        // instead of an ever longer list.
        if (damage_.size() > 512) damage_.assign(1, TRect{0, 0, gdi->width, gdi->height});
        post = !damagePosted_;
        damagePosted_ = true;
    }
    if (post && callbacks_.damaged) callbacks_.damaged();
}

bool TFreeRdpDisplay::OnDesktopResize(rdpContext* context) {
    rdpGdi* gdi = gdi_;
    if (!gdi) return false;
    EnterCriticalSection(&context->update->mux);
    const BOOL resized = gdi_resize(gdi, context->settings->DesktopWidth, context->settings->DesktopHeight);
    const int32_t width = gdi->width;
    const int32_t height = gdi->height;
    LeaveCriticalSection(&context->update->mux);
    {
        std::lock_guard lock(damageMutex_);
        damage_.clear();
    }
    if (resized && callbacks_.resized) callbacks_.resized(width, height);
    return resized;
}

void TFreeRdpDisplay::ReadFrame(const std::function<void(const TFrameView&)>& reader) {
    std::lock_guard lock(attachMutex_);
    if (!gdi_ || !update_ || !gdi_->primary_buffer) return;
    EnterCriticalSection(&update_->mux);
    TFrameView view;
    view.pixels = gdi_->primary_buffer;
    view.width = gdi_->width;
    view.height = gdi_->height;
    view.stride = static_cast<int32_t>(gdi_->stride);
    try {
        reader(view);
    } catch (...) {
        LeaveCriticalSection(&update_->mux);
        throw;
    }
    LeaveCriticalSection(&update_->mux);
}

std::vector<TRect> TFreeRdpDisplay::TakeDamage() {
    std::lock_guard lock(damageMutex_);
    damagePosted_ = false;
    std::vector<TRect> taken;
    taken.swap(damage_);
    return taken;
}

void TFreeRdpDisplay::EnableInput(rdpInput* input) {
    std::lock_guard lock(inputMutex_);
    input_ = input;
}

void TFreeRdpDisplay::DisableInput() {
    std::lock_guard lock(inputMutex_);
    input_ = nullptr;
}

void TFreeRdpDisplay::SendMouseEvent(uint16_t flags, int32_t x, int32_t y) {
    std::lock_guard lock(inputMutex_);
    if (!input_) return;
    const auto cx = static_cast<UINT16>(std::clamp<int32_t>(x, 0, 0xFFFF));
    const auto cy = static_cast<UINT16>(std::clamp<int32_t>(y, 0, 0xFFFF));
    freerdp_input_send_mouse_event(input_, flags, cx, cy);
}

uint32_t TFreeRdpDisplay::PrepareKeyboard() {
    static std::once_flag once;
    static uint32_t layout = 0;
    std::call_once(once, [] { layout = freerdp_keyboard_init(0); });
    return layout;
}

void TFreeRdpDisplay::SendKeyEvent(uint32_t x11Keycode, bool down) {
    // The library's table has 256 entries and does not check the index.
    if (x11Keycode >= 256) return;
    std::lock_guard lock(inputMutex_);
    if (!input_) return;
    PrepareKeyboard();  // done by the connection already; here only for the tables' sake
    const DWORD scancode = freerdp_keyboard_get_rdp_scancode_from_x11_keycode(x11Keycode);
    if (scancode == 0) return;
    freerdp_input_send_keyboard_event_ex(input_, down ? TRUE : FALSE, scancode);
}

void TFreeRdpDisplay::SendUnicodeKey(uint16_t codeUnit, bool down) {
    std::lock_guard lock(inputMutex_);
    if (!input_) return;
    freerdp_input_send_unicode_keyboard_event(input_, down ? 0 : KBD_FLAGS_RELEASE, codeUnit);
}

}  // namespace kiv
