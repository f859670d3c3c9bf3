#pragma once
// The progress dialog's pixels: a banner, a status line, a progress bar and a
// cancel button. The animation and the steps are decided by TfrmStepInfo.
#include <cstdint>
#include <string>

namespace kiv {

class IProgressView {
public:
    virtual ~IProgressView() = default;
    virtual void SetCaption(const std::string& windowCaption, const std::string& headerCaption) = 0;
    virtual void SetCancelCaption(const std::string& caption) = 0;
    virtual void SetBanner(const std::string& picturePath) = 0;
    virtual void SetStatusText(const std::string& text) = 0;
    virtual void SetPosition(int32_t position) = 0;  // 0..100
    virtual int32_t Position() const = 0;
    // The logon look: a grey dialog without cancel button and icon, a wider bar.
    virtual void ShowLogonLook() = 0;
    virtual void ShowDialog() = 0;
    virtual void HideDialog() = 0;
    virtual void Repaint() = 0;
};

}  // namespace kiv
