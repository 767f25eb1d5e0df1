#include "Artwork.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

namespace {

// Pictures are drawn as scalable images on a 32-unit square canvas; the
// files live in the resources under :/artwork.
QString artworkPath(const QString &name)
{
    return QStringLiteral(":/artwork/%1.svg").arg(name);
}

// The drawing for icon `number` at `size` pixels: the window icon has a
// simpler drawing of its own for the small sizes, where the large one's
// details would run together. The grey icons are derived, not drawn.
QString iconDrawing(int number, int size)
{
    switch (number) {
    case 128:
    case 129:
        return size <= 16 && number == 128 ? QStringLiteral("icon-128-16") : QStringLiteral("icon-128");
    case 133:
    case 135:
        return QStringLiteral("icon-133");
    case 134:
    case 136:
        return QStringLiteral("icon-134");
    case 137:
    case 139:
    case 150:
    case 153:
        return QStringLiteral("icon-%1").arg(number);
    default:
        return {};
    }
}

QImage canvas(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// Renders drawing `name` centred into `image` as the largest square that fits.
bool render(const QString &name, QImage &image)
{
    QSvgRenderer renderer(artworkPath(name));
    if (!renderer.isValid())
        return false;
    const qreal edge = qMin(image.width(), image.height()) / image.devicePixelRatio();
    const QSizeF logical = QSizeF(image.size()) / image.devicePixelRatio();
    QPainter painter(&image);
    renderer.render(&painter, QRectF((logical.width() - edge) / 2, (logical.height() - edge) / 2, edge, edge));
    return true;
}

} // namespace

namespace Artwork {

QPixmap statusImage(int rowStatus, QSize size, qreal devicePixelRatio)
{
    QImage image = canvas(size * devicePixelRatio);
    image.setDevicePixelRatio(devicePixelRatio);
    if (rowStatus >= 0 && rowStatus < RowStatusCount)
        render(QStringLiteral("status-%1").arg(rowStatus), image);
    return QPixmap::fromImage(image);
}

QImage iconImage(int number, int size)
{
    const QString drawing = iconDrawing(number, size);
    QImage image = canvas(QSize(size, size));
    if (drawing.isEmpty() || !render(drawing, image))
        return {};
    // 135 and 136 are the grey versions shown while a run is in progress.
    return number == 135 || number == 136 ? toGrey(image) : image;
}

QIcon icon(int number)
{
    QIcon result;
    for (int size : IconSizes) {
        const QImage image = iconImage(number, size);
        if (image.isNull())
            return {};
        result.addPixmap(QPixmap::fromImage(image));
    }
    return result;
}

QIcon windowIcon()
{
    return icon(128);
}

QImage toGrey(const QImage &image)
{
    QImage grey = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < grey.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(grey.scanLine(y));
        for (int x = 0; x < grey.width(); ++x) {
            const QRgb pixel = line[x];
            if ((pixel & 0x00FFFFFF) == 0)
                continue;
            const int g = int(0.587 * qGreen(pixel) + 0.114 * qBlue(pixel) + 0.299 * qRed(pixel));
            line[x] = qRgba(g, g, g, qAlpha(pixel));
        }
    }
    return grey;
}

} // namespace Artwork
