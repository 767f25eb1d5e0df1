#pragma once

#include <QPushButton>

class QPainter;

// A push button that draws itself in the classic raised style from the
// palette's system colours, with an icon left of its caption: a 1-pixel black
// outer frame while it is the default or the focused button, a dotted focus
// rectangle on the outer ring of its 3D frame, and, while pressed, a single
// shadow line and icon and caption moved one pixel right and down. A disabled
// button keeps its icon's colours and embosses only its caption. Clicks reach
// the owner as ordinary clicked() signals; a double-click counts as two.
class IconButton : public QPushButton
{
    Q_OBJECT

public:
    static constexpr int Margin = 3;
    // The caption is centred in the space right of the icon less this much at
    // its right end, which balances the icon's weight on the left.
    static constexpr int CaptionRightInset = 25;

    explicit IconButton(QWidget *parent = nullptr);
    IconButton(const QString &caption, QWidget *parent = nullptr);

    // Shows icon resource `iconNumber` (Artwork) and repaints. False when
    // there is no such icon; the button then shows its caption alone.
    bool SetIcon(int iconNumber);
    int iconNumber() const { return m_iconNumber; }

    // A flat button draws no frame. A new button is flat; the main window
    // turns this off for its buttons.
    void SetFlat(bool flat, bool repaint = true);
    bool isFlatLook() const { return m_flat; }

    // The edge of the square icon image drawn for the current height: the
    // full 32 pixels where they fit inside the outer frame, else 16.
    int iconEdge() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void paintBorder(QPainter &painter, const QRect &ring) const;
    void paintFocusRect(QPainter &painter, const QRect &ring) const;
    QRect paintIcon(QPainter &painter, bool pressed) const;
    void paintCaption(QPainter &painter, QRect captionRect, bool pressed) const;

    int m_iconNumber = 0;
    bool m_flat = true;
};
