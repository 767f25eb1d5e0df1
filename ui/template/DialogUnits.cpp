#include "DialogUnits.h"

#include <QFont>
#include <QFontMetrics>
#include <QtGlobal>

DialogUnits::DialogUnits(int baseX, int baseY)
    : m_baseX(baseX)
    , m_baseY(baseY)
{
}

DialogUnits DialogUnits::forFont(const QFont &font)
{
    const QFontMetrics metrics(font);
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return DialogUnits((letters / 26 + 1) / 2, metrics.height());
}

QRect DialogUnits::toPixels(const QRect &dialogUnits) const
{
    return QRect(toPixelsX(dialogUnits.x()), toPixelsY(dialogUnits.y()),
                 toPixelsX(dialogUnits.width()), toPixelsY(dialogUnits.height()));
}

QSize DialogUnits::toPixels(const QSize &dialogUnits) const
{
    return QSize(toPixelsX(dialogUnits.width()), toPixelsY(dialogUnits.height()));
}

int DialogUnits::mulDiv(int a, int b, int c)
{
    if (c == 0)
        return 0;
    const qint64 product = qint64(a) * b;
    const qint64 half = qAbs(qint64(c)) / 2;
    const bool negative = (product < 0) != (c < 0);
    const qint64 magnitude = (qAbs(product) + half) / qAbs(qint64(c));
    return int(negative ? -magnitude : magnitude);
}
