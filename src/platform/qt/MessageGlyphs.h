#pragma once
// The pictures of the client's dialogs, drawn at run time so they stay sharp at
// any screen scale: the message icons (32 x 32, by index), the close glyph of a
// caption strip (16 x 16) and the connection glyph of the progress dialog.
#include <QColor>
#include <QPixmap>

namespace kiv {

// The message box's icon list: 0 information, 1 warning, 2 error, 4 question.
// Any other index has no picture (a null pixmap); 3 is the callers' "no icon".
QPixmap MessageIcon(int index, qreal devicePixelRatio = 1.0);
constexpr int kMessageIconSize = 32;

QPixmap CloseGlyph(const QColor& color, qreal devicePixelRatio = 1.0);
constexpr int kCloseGlyphSize = 16;

QPixmap ConnectionGlyph(qreal devicePixelRatio = 1.0);

}  // namespace kiv
