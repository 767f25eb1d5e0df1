#pragma once

#include <QRect>

class QFont;

// Dialog units -> pixels, as the dialog manager of the platform the layouts
// were drawn for converts them: one horizontal unit is a quarter of the dialog
// font's average character width, one vertical unit an eighth of its height.
// The average width is measured the same way, over the 52 letters A-Z and
// a-z, halved and rounded: (width / 26 + 1) / 2.
//
// The templates were laid out for an 8-point "MS Sans Serif" at 96 dpi, whose
// base units are 6 x 13 pixels. Our dialog font is "DejaVu Sans Condensed" at
// 11 pixels (8 points at 96 dpi), which measures 6 x 13 as well, so the
// layout comes out at the size it was designed for. It comes with the Debian
// package fonts-dejavu-extra; where it is missing, the windows take the units
// of the font they get instead and grow or shrink with it.
class DialogUnits
{
public:
    DialogUnits(int baseX, int baseY);
    static DialogUnits forFont(const QFont &font);

    int baseX() const { return m_baseX; }
    int baseY() const { return m_baseY; }

    int toPixelsX(int dialogUnits) const { return mulDiv(dialogUnits, m_baseX, 4); }
    int toPixelsY(int dialogUnits) const { return mulDiv(dialogUnits, m_baseY, 8); }
    // Position and extent are converted separately, as controls are created.
    QRect toPixels(const QRect &dialogUnits) const;
    QSize toPixels(const QSize &dialogUnits) const;

    // a * b / c rounded half away from zero; 0 when c is 0.
    static int mulDiv(int a, int b, int c);

private:
    int m_baseX;
    int m_baseY;
};
