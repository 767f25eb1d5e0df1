#include "IconButton.h"

#include "Artwork.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int FullIconEdge = 32;
constexpr int SmallIconEdge = 16;

// Frames and background keep their colours in every state; only the
// caption shows that a button is disabled.
QColor systemColor(const QPalette &palette, QPalette::ColorRole role)
{
    return palette.color(QPalette::Active, role);
}

void drawLine(QPainter &painter, const QColor &color, int x1, int y1, int x2, int y2)
{
    painter.setPen(color);
    painter.drawLine(x1, y1, x2, y2);
}

} // namespace

IconButton::IconButton(QWidget *parent)
    : QPushButton(parent)
{
}

IconButton::IconButton(const QString &caption, QWidget *parent)
    : QPushButton(caption, parent)
{
}

bool IconButton::SetIcon(int iconNumber)
{
    const QIcon icon = Artwork::icon(iconNumber);
    m_iconNumber = icon.isNull() ? 0 : iconNumber;
    setIcon(icon);
    setIconSize(QSize(iconEdge(), iconEdge()));
    update();
    return !icon.isNull();
}

void IconButton::SetFlat(bool flat, bool repaint)
{
    m_flat = flat;
    if (repaint)
        update();
}

int IconButton::iconEdge() const
{
    return height() - 2 >= FullIconEdge ? FullIconEdge : SmallIconEdge;
}

void IconButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QPalette &colors = palette();
    const bool pressed = isDown();
    const bool focused = hasFocus();

    // The ring that carries the 3D frame; the default and the focused button
    // give up its outermost pixels to a black frame.
    QRect ring = rect();
    if (!m_flat && (focused || isDefault())) {
        painter.setPen(Qt::black);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(ring.adjusted(0, 0, -1, -1));
        ring.adjust(1, 1, -1, -1);
    }
    painter.fillRect(ring, systemColor(colors, QPalette::Button));
    if (!m_flat)
        paintBorder(painter, ring);

    QRect captionRect = rect();
    if (m_iconNumber != 0)
        captionRect.setLeft(paintIcon(painter, pressed).x());
    if (!text().isEmpty())
        paintCaption(painter, captionRect, pressed);
    if (!m_flat && focused)
        paintFocusRect(painter, ring);
}

void IconButton::paintBorder(QPainter &painter, const QRect &ring) const
{
    const QPalette &colors = palette();
    const int l = ring.left(), t = ring.top(), r = ring.right(), b = ring.bottom();
    if (isDown()) {
        painter.setPen(systemColor(colors, QPalette::Dark));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(ring.adjusted(0, 0, -1, -1));
        return;
    }
    // Light from the upper left: two bright lines there, two dark ones below
    // and on the right, the outer ones drawn last where they meet.
    const QColor highlight = systemColor(colors, QPalette::Light);
    const QColor light = systemColor(colors, QPalette::Midlight);
    drawLine(painter, highlight, l, b, l, t);
    drawLine(painter, highlight, l, t, r, t);
    drawLine(painter, light, l + 1, b, l + 1, t + 1);
    drawLine(painter, light, l + 1, t + 1, r, t + 1);
    const QColor darkShadow = systemColor(colors, QPalette::Shadow);
    const QColor shadow = systemColor(colors, QPalette::Dark);
    drawLine(painter, darkShadow, l, b, r, b);
    drawLine(painter, darkShadow, r, b, r, t);
    drawLine(painter, shadow, l + 1, b - 1, r - 1, b - 1);
    drawLine(painter, shadow, r - 1, b - 1, r - 1, t + 1);
}

// Returns where the caption may start: right of the icon, or the whole
// button when there is no caption to share it with.
QRect IconButton::paintIcon(QPainter &painter, bool pressed) const
{
    const int edge = iconEdge();
    const QRect item = rect();
    QPoint place;
    QRect captionStart = item;
    if (!text().isEmpty()) {
        place.setX(item.left() + Margin);
        captionStart.setLeft(item.left() + Margin + edge);
    } else {
        place.setX(item.left() + (item.width() - edge) / 2);
    }
    place.setY(item.top() + (item.height() - edge) / 2);
    if (pressed)
        place += QPoint(1, 1);
    place.rx() += 2;
    // Always the normal rendering: a disabled button's icon keeps its
    // colours (the busy state swaps in grey icons instead).
    painter.drawPixmap(place, icon().pixmap(QSize(edge, edge), devicePixelRatioF(), QIcon::Normal, QIcon::Off));
    return captionStart;
}

void IconButton::paintCaption(QPainter &painter, QRect captionRect, bool pressed) const
{
    if (pressed)
        captionRect.translate(1, 1);
    QRect centring = captionRect;
    centring.setLeft(centring.left() + CaptionRightInset);

    const int flags = Qt::TextWordWrap | Qt::AlignHCenter | Qt::AlignTop;
    const QSize extent = fontMetrics()
                             .boundingRect(QRect(0, 0, qMax(1, captionRect.width()), 0xFFFF), flags, text())
                             .size();
    QRect place(captionRect.topLeft(), extent);
    place.translate((centring.width() - extent.width()) / 2, (centring.height() - extent.height()) / 2);
    // Our font runs wider than the one the layouts were drawn for: a caption
    // wider than its centring space would slide under the icon, which is
    // drawn two pixels into the caption's rectangle. It starts one pixel
    // clear of the icon instead.
    const int firstFree = m_iconNumber != 0 ? captionRect.left() + Margin : captionRect.left();
    if (place.left() < firstFree)
        place.moveLeft(firstFree);
    const QPalette &colors = palette();
    if (!isEnabled()) {
        painter.setPen(systemColor(colors, QPalette::Light));
        painter.drawText(place.translated(1, 1), flags, text());
        painter.setPen(systemColor(colors, QPalette::Dark));
    } else {
        painter.setPen(systemColor(colors, QPalette::ButtonText));
    }
    painter.drawText(place, flags, text());
}

void IconButton::paintFocusRect(QPainter &painter, const QRect &ring) const
{
    // Every other pixel of the ring, inverted, so the dots show on the light
    // and on the dark edges alike.
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(QColor(255, 255, 255));
    const int l = ring.left(), t = ring.top(), r = ring.right(), b = ring.bottom();
    const auto dot = [&painter](int x, int y) {
        if ((x + y) % 2 == 0)
            painter.drawPoint(x, y);
    };
    for (int x = l; x <= r; ++x) {
        dot(x, t);
        if (b != t)
            dot(x, b);
    }
    for (int y = t + 1; y < b; ++y) {
        dot(l, y);
        if (r != l)
            dot(r, y);
    }
    painter.restore();
}

void IconButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second click of a quick pair is a click of its own.
    mousePressEvent(event);
}
