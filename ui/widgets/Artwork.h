#pragma once

#include "RowStatus.h"

#include <QIcon>
#include <QPixmap>

// The program's pictures, kept as scalable drawings and rendered at the size
// and pixel density asked for, so they stay sharp on any screen: the six
// row-status images of the gateway list, the legend images below it, the
// button icons and the window icons. Icons are known by their resource
// numbers.
namespace Artwork {

inline constexpr QSize StatusImageSize{16, 15};
inline constexpr QSize LegendImageSize{18, 17};
// The sizes an icon carries images for: the nominal 32 and 16 pixels, and
// their doubles for high-density screens.
inline constexpr int IconSizes[] = {16, 24, 32, 48, 64};

// The picture of a row status at `size` (logical pixels); a transparent
// pixmap for a value outside RowStatus.
QPixmap statusImage(int rowStatus, QSize size = StatusImageSize, qreal devicePixelRatio = 1.0);

// Icon resource `number` (128, 129, 133-137, 139, 150, 153) at every size of
// IconSizes; a null icon for any other number.
QIcon icon(int number);

// The picture of icon `number` at one size.
QImage iconImage(int number, int size);

// The window's icon: 128, whose 16-pixel image is a simpler drawing of its
// own (129 is the same picture without it).
QIcon windowIcon();

// Grey rendering of `image` as the grey icons are derived: black stays black,
// every other pixel becomes 0.299 R + 0.587 G + 0.114 B in all channels.
QImage toGrey(const QImage &image);

} // namespace Artwork
