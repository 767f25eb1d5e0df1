#pragma once

#include "RowStatus.h"

#include <QIcon>
#include <QPixmap>

// The program's pictures, drawn at run time so that they stay sharp at any
// size: the six row-status images of the gateway list, the legend images
// below it, the button icons and the window icons. Icons are known by their
// resource numbers.
namespace Artwork {

inline constexpr QSize StatusImageSize{16, 15};
inline constexpr QSize LegendImageSize{18, 17};

// The picture of a row status at `size`; a transparent pixmap for a value
// outside RowStatus.
QPixmap statusImage(int rowStatus, QSize size = StatusImageSize);

// Icon resource `number` (128, 129, 133-137, 139, 150, 153) drawn at 32 and
// 16 pixels; a null icon for any other number.
QIcon icon(int number);

// The picture of icon `number` at one size.
QImage iconImage(int number, int size);

// The window's icons: 128 as the large one with its own 16-pixel image, 129
// as the small one.
QIcon windowIcon();

// Grey rendering of `image` as the grey icons are derived: black stays black,
// every other pixel becomes 0.299 R + 0.587 G + 0.114 B in all channels.
QImage toGrey(const QImage &image);

} // namespace Artwork
