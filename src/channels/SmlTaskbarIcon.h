#pragma once
// The icon a taskbar button shows: the server window's icon with the client's
// badge over it, so mirrored windows can be told from local ones.
#include "ports/TaskbarWindows.h"

namespace kiv {

// A picture of the server icon's size: the server icon drawn at the default
// icon size from the top-left corner (what does not fit is cut, what it does
// not cover stays transparent), then the overlay drawn over it at the same size.
TIconImage ComposeTaskbarIcon(const TIconImage& serverIcon, const TIconImage& overlay);

// The client's badge: a small blue tile with a white arrow in the lower-left
// corner of a default-size, otherwise transparent picture.
TIconImage MakeOverlayBadge();

}  // namespace kiv
