#include "Artwork.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <cmath>

namespace {

// The drawings use a square canvas of `Unit` units, scaled to the target.
constexpr qreal Unit = 32.0;

const QColor Outline(40, 40, 40);
const QColor Body(200, 200, 196);
const QColor BodyDark(140, 140, 136);
const QColor Led(0, 170, 0);
const QColor Red(220, 0, 0);
const QColor Green(0, 160, 0);
const QColor Gold(220, 170, 20);

QPen pen(const QColor &color, qreal width)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A gateway: a flat housing with a row of LEDs and a network socket.
void drawDevice(QPainter &p, const QRectF &r)
{
    p.setPen(pen(Outline, 1.6));
    p.setBrush(Body);
    p.drawRoundedRect(r, r.height() * 0.12, r.height() * 0.12);
    p.setPen(Qt::NoPen);
    p.setBrush(BodyDark);
    p.drawRect(QRectF(r.left() + r.width() * 0.08, r.top() + r.height() * 0.62, r.width() * 0.84,
                      r.height() * 0.16));
    p.setBrush(Led);
    const qreal d = r.height() * 0.2;
    for (int i = 0; i < 3; ++i)
        p.drawEllipse(QRectF(r.left() + r.width() * (0.12 + 0.16 * i), r.top() + r.height() * 0.22, d, d));
    p.setBrush(Outline);
    p.drawRect(QRectF(r.right() - r.width() * 0.3, r.top() + r.height() * 0.2, r.width() * 0.18,
                      r.height() * 0.3));
}

void drawMagnifier(QPainter &p, const QPointF &centre, qreal radius)
{
    p.setPen(pen(QColor(90, 60, 20), radius * 0.55));
    p.drawLine(centre + QPointF(radius * 0.7, radius * 0.7), centre + QPointF(radius * 1.9, radius * 1.9));
    p.setPen(pen(QColor(20, 40, 120), radius * 0.3));
    p.setBrush(QColor(170, 215, 255));
    p.drawEllipse(centre, radius, radius);
}

void drawCross(QPainter &p, const QRectF &r)
{
    p.setPen(pen(Red, r.width() * 0.16));
    p.drawLine(r.topLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomLeft());
}

// A key lying flat: round bow on the left, shaft with two teeth to the right.
void drawKey(QPainter &p, const QRectF &r, const QColor &color)
{
    const qreal h = r.height();
    const QPointF bow(r.left() + h * 0.5, r.center().y());
    p.setPen(pen(Outline, h * 0.1));
    p.setBrush(color);
    QPainterPath key;
    key.addRect(QRectF(bow.x(), r.center().y() - h * 0.14, r.right() - bow.x(), h * 0.28));
    key.addRect(QRectF(r.right() - h * 0.45, r.center().y(), h * 0.2, h * 0.42));
    key.addRect(QRectF(r.right() - h * 0.95, r.center().y(), h * 0.2, h * 0.34));
    key.addEllipse(bow, h * 0.48, h * 0.48);
    key.setFillRule(Qt::WindingFill);
    p.drawPath(key.simplified());
    p.setBrush(Qt::white);
    p.drawEllipse(bow, h * 0.16, h * 0.16);
}

void drawWarning(QPainter &p, const QRectF &r)
{
    QPolygonF triangle{{r.center().x(), r.top()}, r.bottomRight(), r.bottomLeft()};
    p.setPen(pen(QColor(120, 0, 0), r.width() * 0.08));
    p.setBrush(Red);
    p.drawPolygon(triangle);
    p.setPen(pen(Qt::white, r.width() * 0.12));
    p.drawLine(QPointF(r.center().x(), r.top() + r.height() * 0.35),
               QPointF(r.center().x(), r.top() + r.height() * 0.65));
    p.drawPoint(QPointF(r.center().x(), r.top() + r.height() * 0.84));
}

void drawGreenArrow(QPainter &p, const QRectF &r)
{
    QPolygonF arrow{
        {r.left(), r.top() + r.height() * 0.35}, {r.left() + r.width() * 0.55, r.top() + r.height() * 0.35},
        {r.left() + r.width() * 0.55, r.top()},  {r.right(), r.center().y()},
        {r.left() + r.width() * 0.55, r.bottom()}, {r.left() + r.width() * 0.55, r.top() + r.height() * 0.65},
        {r.left(), r.top() + r.height() * 0.65}};
    p.setPen(pen(QColor(0, 80, 0), 1.2));
    p.setBrush(Green);
    p.drawPolygon(arrow);
}

void drawGlobe(QPainter &p, const QRectF &r)
{
    p.setPen(pen(QColor(10, 40, 110), 1.5));
    p.setBrush(QColor(60, 130, 230));
    p.drawEllipse(r);
    p.setBrush(QColor(60, 170, 70));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(r.left() + r.width() * 0.2, r.top() + r.height() * 0.2, r.width() * 0.3, r.height() * 0.35));
    p.drawEllipse(QRectF(r.left() + r.width() * 0.55, r.top() + r.height() * 0.5, r.width() * 0.25, r.height() * 0.3));
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(QColor(200, 230, 255), 0.9));
    p.drawEllipse(QRectF(r.center().x() - r.width() * 0.22, r.top(), r.width() * 0.44, r.height()));
    p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
}

void drawFloppy(QPainter &p)
{
    p.setPen(pen(Outline, 1.5));
    p.setBrush(QColor(30, 50, 140));
    p.drawRoundedRect(QRectF(4, 4, 24, 24), 2, 2);
    p.setBrush(QColor(190, 190, 200));
    p.drawRect(QRectF(10, 4, 12, 8));
    p.setBrush(QColor(30, 50, 140));
    p.drawRect(QRectF(17, 5.5, 3, 5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8, 16, 16, 10));
    p.setPen(pen(QColor(120, 120, 120), 1));
    p.drawLine(QPointF(10, 19), QPointF(22, 19));
    p.drawLine(QPointF(10, 22), QPointF(22, 22));
}

void drawRadioMast(QPainter &p)
{
    p.setPen(pen(QColor(60, 60, 60), 1.8));
    p.drawLine(QPointF(16, 10), QPointF(9, 29));
    p.drawLine(QPointF(16, 10), QPointF(23, 29));
    p.drawLine(QPointF(12.5, 20), QPointF(19.5, 20));
    p.drawLine(QPointF(11, 25), QPointF(21, 25));
    p.setBrush(Red);
    p.drawEllipse(QPointF(16, 9), 2.2, 2.2);
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(QColor(200, 30, 30), 1.6));
    for (qreal radius : {5.5, 9.5}) {
        const QRectF arc(16 - radius, 9 - radius, 2 * radius, 2 * radius);
        p.drawArc(arc, 30 * 16, 60 * 16);
        p.drawArc(arc, 90 * 16, 60 * 16);
    }
}

void drawLetterR(QPainter &p)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(28);
    QPainterPath path;
    path.addText(0, 0, font, QStringLiteral("R"));
    const QRectF bounds = path.boundingRect();
    path.translate(16 - bounds.center().x(), 16 - bounds.center().y());
    p.setPen(pen(QColor(110, 0, 0), 1.2));
    p.setBrush(Red);
    p.drawPath(path);
}

void drawStatus(QPainter &p, int status)
{
    const QRectF device(1, 3, 30, 17);
    switch (RowStatus(status)) {
    case RowStatus::Discovered:
        drawMagnifier(p, QPointF(12, 12), 9);
        break;
    case RowStatus::UnknownType:
        drawDevice(p, device);
        drawCross(p, QRectF(3, 2, 26, 28));
        break;
    case RowStatus::NoPassword:
        drawDevice(p, QRectF(1, 7, 30, 18));
        break;
    case RowStatus::WrongPassword:
        drawDevice(p, device);
        drawKey(p, QRectF(7, 20, 25, 11), Red);
        break;
    case RowStatus::PasswordOk:
        drawDevice(p, device);
        drawKey(p, QRectF(7, 20, 25, 11), Green);
        break;
    case RowStatus::CorruptContent:
        drawDevice(p, device);
        drawWarning(p, QRectF(12, 11, 20, 20));
        break;
    }
}

bool drawIcon(QPainter &p, int number)
{
    switch (number) {
    case 128:
    case 129:
        drawGlobe(p, QRectF(1.5, 1.5, 24, 24));
        drawDevice(p, QRectF(12, 21, 19, 10));
        return true;
    case 133:
    case 135:
        drawDevice(p, QRectF(2, 13, 20, 12));
        drawGreenArrow(p, QRectF(14, 3, 17, 14));
        return true;
    case 134:
    case 136:
        drawDevice(p, QRectF(2, 15, 22, 12));
        drawMagnifier(p, QPointF(20, 10), 6);
        return true;
    case 137:
        drawFloppy(p);
        return true;
    case 139:
        drawKey(p, QRectF(2, 9, 28, 14), Gold);
        return true;
    case 150:
        drawRadioMast(p);
        return true;
    case 153:
        drawLetterR(p);
        return true;
    default:
        return false;
    }
}

QImage canvas(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

} // namespace

namespace Artwork {

QPixmap statusImage(int rowStatus, QSize size)
{
    QImage image = canvas(size);
    if (rowStatus >= 0 && rowStatus < RowStatusCount) {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal scale = qMin(size.width(), size.height()) / Unit;
        p.translate((size.width() - Unit * scale) / 2, (size.height() - Unit * scale) / 2);
        p.scale(scale, scale);
        drawStatus(p, rowStatus);
    }
    return QPixmap::fromImage(image);
}

QImage iconImage(int number, int size)
{
    QImage image = canvas(QSize(size, size));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / Unit, size / Unit);
    const bool known = drawIcon(p, number);
    p.end();
    if (!known)
        return {};
    // 135 and 136 are the grey versions shown while a run is in progress.
    return number == 135 || number == 136 ? toGrey(image) : image;
}

QIcon icon(int number)
{
    QIcon result;
    for (int size : {32, 16}) {
        const QImage image = iconImage(number, size);
        if (image.isNull())
            return {};
        result.addPixmap(QPixmap::fromImage(image));
    }
    return result;
}

QIcon windowIcon()
{
    QIcon result = icon(128);
    result.addPixmap(QPixmap::fromImage(iconImage(129, 32)));
    return result;
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
