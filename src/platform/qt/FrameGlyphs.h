#pragma once
// The full-desktop toolbar's button pictures, drawn at run time so they stay
// sharp at any screen scale: pin, devices, minimise, maximise, close.
#include <QColor>
#include <QIcon>

namespace kiv {

enum class TToolbarGlyph { Pin, Devices, Minimize, Maximize, Close };

// An icon of the glyph in this colour; a pin also has its pressed (checked) look.
QIcon ToolbarGlyph(TToolbarGlyph glyph, const QColor& color, int size);

}  // namespace kiv
