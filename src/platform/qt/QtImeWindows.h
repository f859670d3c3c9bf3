#pragma once
// Makes the input-method window over the remote-desktop view: in seamless mode
// a child of the session window, else of the panel that holds the view. The
// window joins the seamless clipping as its second target.
#include <QPointer>
#include <QWidget>

#include "ports/ImeWindowView.h"

namespace kiv {

class TQtSeamlessSurface;

class TQtImeWindows final : public IImeWindowFactory {
public:
    // surface may be null (no seamless clipping); opaque: vdebug.ini showrdp 0.
    TQtImeWindows(QWidget& sessionWindow, QWidget& view, TQtSeamlessSurface* surface, bool opaque);

    std::unique_ptr<IImeWindowView> CreateImeWindow(IImeWindowEvents& events, bool seamless) override;

private:
    QPointer<QWidget> session_;
    QPointer<QWidget> view_;
    TQtSeamlessSurface* surface_;
    bool opaque_;
};

}  // namespace kiv
