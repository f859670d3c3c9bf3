// The watermark over the session: drawn in its tiles, taking no input.
#include "platform/qt/WatermarkOverlay.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPalette>
#include <QWidget>

#include "channels/Watermark.h"

namespace kiv {
namespace {

int LightGreyPixels(const QImage& image, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == kWatermarkColor) ++n;
    return n;
}

TEST(WatermarkOverlay, TilesTheTextOverTheViewAndLetsTheMouseThrough) {
    QWidget view;
    view.setAutoFillBackground(true);
    QPalette black = view.palette();
    black.setColor(QPalette::Window, Qt::black);
    view.setPalette(black);
    view.resize(400, 300);
    auto* overlay = new TWatermarkOverlay(&view, QStringLiteral("内部资料 张三"));
    view.show();
    view.resize(700, 500);  // it follows the view
    EXPECT_EQ(overlay->geometry(), QRect(0, 0, 700, 500));

    const QImage image = view.grab().toImage();
    // Text tilts up to the right from each origin: (20, 100) and (320, 400) carry it ...
    EXPECT_GT(LightGreyPixels(image, QRect(20, 40, 180, 80)), 20);
    EXPECT_GT(LightGreyPixels(image, QRect(320, 340, 180, 80)), 20);
    // ... the band between the rows does not.
    EXPECT_EQ(LightGreyPixels(image, QRect(0, 160, 700, 160)), 0);

    EXPECT_EQ(view.childAt(30, 95), nullptr) << "the watermark must not take the mouse";
    EXPECT_EQ(overlay->focusPolicy(), Qt::NoFocus);
}

}  // namespace
}  // namespace kiv
