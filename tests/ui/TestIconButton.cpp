// The icon button as it paints itself in each state, checked pixel by pixel
// against a palette whose system colours are all different.

#include "IconButton.h"

#include <QDialog>
#include <QLineEdit>
#include <QTest>

namespace {

const QColor Face(192, 192, 192);
const QColor Highlight(255, 255, 255);
const QColor Light(224, 224, 224);
const QColor Shadow(128, 128, 128);
const QColor DarkShadow(32, 32, 32);
const QColor Caption(0, 0, 160);

QPalette systemColours()
{
    QPalette palette;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Button, Face);
        palette.setColor(group, QPalette::Light, Highlight);
        palette.setColor(group, QPalette::Midlight, Light);
        palette.setColor(group, QPalette::Dark, Shadow);
        palette.setColor(group, QPalette::Shadow, DarkShadow);
        palette.setColor(group, QPalette::ButtonText, Caption);
    }
    return palette;
}

QColor inverted(const QColor &color)
{
    return QColor(255 - color.red(), 255 - color.green(), 255 - color.blue());
}

enum class State { Idle, Default, Focused, Pressed, Disabled };

// A caption pixel: near the caption colour, or (embossed) near the light or
// the shadow colour of the disabled look.
bool isInk(QRgb pixel, const QColor &ink)
{
    return qAbs(qRed(pixel) - ink.red()) + qAbs(qGreen(pixel) - ink.green()) + qAbs(qBlue(pixel) - ink.blue()) < 90;
}

// The box around every pixel of `ink` inside `area`.
QRect inkBox(const QImage &image, const QRect &area, const QColor &ink)
{
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (isInk(image.pixel(x, y), ink))
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

} // namespace

Q_DECLARE_METATYPE(State)

class TestIconButton : public QObject
{
    Q_OBJECT

private:
    QDialog *m_dialog = nullptr;
    QLineEdit *m_edit = nullptr;
    IconButton *m_button = nullptr;

    // A 274 x 35 button (the size of the large buttons) with icon 134.
    QImage render(State state, const QString &caption = QStringLiteral("Refresh list"), int icon = 134)
    {
        m_button->setText(caption);
        m_button->SetIcon(icon);
        m_button->setDefault(state == State::Default);
        m_button->setEnabled(state != State::Disabled);
        m_button->setDown(state == State::Pressed);
        if (state == State::Focused)
            m_button->setFocus();
        else
            m_edit->setFocus();
        return m_button->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

private slots:
    void init()
    {
        m_dialog = new QDialog;
        m_dialog->setPalette(systemColours());
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(11);
        m_dialog->setFont(font);
        m_edit = new QLineEdit(m_dialog);
        m_edit->setGeometry(0, 0, 100, 20);
        m_button = new IconButton(QStringLiteral("Refresh list"), m_dialog);
        m_button->setGeometry(10, 30, 274, 35);
        m_button->setAutoDefault(true);
        m_button->SetFlat(false);
        m_dialog->resize(300, 100);
        m_dialog->show();
        m_dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_dialog));
    }

    void cleanup()
    {
        delete m_dialog;
        m_dialog = nullptr;
    }

    void frame_data()
    {
        QTest::addColumn<State>("state");
        QTest::addColumn<QPoint>("pixel"); // negative coordinates count from the right/bottom
        QTest::addColumn<QColor>("colour");
        const QColor black(0, 0, 0);
        QTest::newRow("idle: highlight at the top left") << State::Idle << QPoint(0, 0) << Highlight;
        QTest::newRow("idle: light inside it") << State::Idle << QPoint(1, 1) << Light;
        QTest::newRow("idle: dark shadow at the bottom right") << State::Idle << QPoint(-1, -1) << DarkShadow;
        QTest::newRow("idle: dark shadow wins the top right corner") << State::Idle << QPoint(-1, 0) << DarkShadow;
        QTest::newRow("idle: shadow inside it") << State::Idle << QPoint(-2, -2) << Shadow;
        QTest::newRow("idle: face inside") << State::Idle << QPoint(2, 2) << Face;
        QTest::newRow("default: black outer frame") << State::Default << QPoint(0, 0) << black;
        QTest::newRow("default: black at the bottom right") << State::Default << QPoint(-1, -1) << black;
        QTest::newRow("default: 3D frame one pixel in") << State::Default << QPoint(1, 1) << Highlight;
        QTest::newRow("default: its dark shadow") << State::Default << QPoint(-2, -2) << DarkShadow;
        QTest::newRow("default: no focus dots") << State::Default << QPoint(3, 1) << Highlight;
        QTest::newRow("focused: black outer frame") << State::Focused << QPoint(0, 0) << black;
        QTest::newRow("focused: dot on the outer ring") << State::Focused << QPoint(3, 1) << inverted(Highlight);
        QTest::newRow("focused: gap between dots") << State::Focused << QPoint(4, 1) << Highlight;
        QTest::newRow("focused: dot on the dark edge") << State::Focused << QPoint(-3, -2) << inverted(DarkShadow);
        QTest::newRow("pressed: single shadow line") << State::Pressed << QPoint(0, 0) << Shadow;
        QTest::newRow("pressed: shadow at the bottom right") << State::Pressed << QPoint(-1, -1) << Shadow;
        QTest::newRow("pressed: face inside the line") << State::Pressed << QPoint(1, 1) << Face;
        QTest::newRow("disabled: frame as at rest") << State::Disabled << QPoint(0, 0) << Highlight;
        QTest::newRow("disabled: dark shadow as at rest") << State::Disabled << QPoint(-1, -1) << DarkShadow;
    }

    void frame()
    {
        QFETCH(State, state);
        QFETCH(QPoint, pixel);
        QFETCH(QColor, colour);
        const QImage image = render(state);
        const int x = pixel.x() < 0 ? image.width() + pixel.x() : pixel.x();
        const int y = pixel.y() < 0 ? image.height() + pixel.y() : pixel.y();
        QCOMPARE(image.pixelColor(x, y), colour);
    }

    void captionIsCentredRightOfTheIconLessTheInset_data()
    {
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("captionLeft");
        QTest::newRow("with icon") << 134 << IconButton::Margin + 32;
        QTest::newRow("icon missing") << 999 << 0;
    }

    void captionIsCentredRightOfTheIconLessTheInset()
    {
        QFETCH(int, icon);
        QFETCH(int, captionLeft);
        const QImage image = render(State::Idle, QStringLiteral("Refresh list"), icon);
        QCOMPARE(m_button->iconNumber(), icon == 999 ? 0 : icon);
        const QRect inside = image.rect().adjusted(2, 2, -3, -3);
        // Two pixels off the icon's right edge, which reaches into the caption's rectangle.
        const QRect caption = inkBox(image, inside.intersected(QRect(captionLeft + 2, 0, image.width(), image.height())), Caption);
        QVERIFY(!caption.isEmpty());
        const int expectedCentre = captionLeft + (image.width() - captionLeft - IconButton::CaptionRightInset) / 2;
        QVERIFY2(qAbs(caption.center().x() - expectedCentre) <= 2,
                 qPrintable(QStringLiteral("caption centre %1, expected %2").arg(caption.center().x()).arg(expectedCentre)));
        QVERIFY(qAbs(caption.center().y() - image.height() / 2) <= 2);
        // Without its icon the button shows no picture left of the caption.
        if (icon == 999)
            QVERIFY(inkBox(image, QRect(2, 2, caption.left() - 4, image.height() - 4), DarkShadow).isEmpty());
    }

    void longCaptionKeepsClearOfTheIcon()
    {
        // A small top-row button whose caption is wider than its centring space.
        m_button->setGeometry(10, 30, 111, 23);
        const QImage image = render(State::Idle, QStringLiteral("Broadcast addr."), 150);
        QCOMPARE(m_button->iconEdge(), 16);
        const QRect caption = inkBox(image, image.rect().adjusted(2, 2, -3, -3), Caption);
        QVERIFY2(caption.left() > 5 + 16, qPrintable(QString::number(caption.left())));
        QVERIFY(caption.right() < image.width() - 2);
    }

    void pressingMovesIconAndCaptionOnePixel()
    {
        const QImage idle = render(State::Idle);
        const QImage pressed = render(State::Pressed);
        const QRect inside = idle.rect().adjusted(3, 3, -4, -4);
        QCOMPARE(inkBox(pressed, inside, Caption), inkBox(idle, inside, Caption).translated(1, 1));
        // The icon's inner part: its edges lie over the 3D frame at rest.
        const QRect icon = QRect(5, (idle.height() - 32) / 2, 32, 32).adjusted(2, 2, -2, -2);
        QCOMPARE(pressed.copy(icon.translated(1, 1)), idle.copy(icon));
    }

    void disabledEmbossesTheCaptionAndKeepsTheIcon()
    {
        const QImage idle = render(State::Idle);
        const QImage disabled = render(State::Disabled);
        const QRect icon(5, (idle.height() - 32) / 2, 32, 32);
        QCOMPARE(disabled.copy(icon), idle.copy(icon));
        const QRect captionArea = idle.rect().adjusted(40, 3, -4, -4);
        QVERIFY(inkBox(disabled, captionArea, Caption).isEmpty());
        const QRect shadowInk = inkBox(disabled, captionArea, Shadow);
        const QRect highlightInk = inkBox(disabled, captionArea, Highlight);
        const QRect captionInk = inkBox(idle, captionArea, Caption);
        QVERIFY(!shadowInk.isEmpty());
        QVERIFY(qAbs(shadowInk.width() - captionInk.width()) <= 1 && qAbs(shadowInk.height() - captionInk.height()) <= 1);
        QCOMPARE(highlightInk.bottomRight(), shadowInk.bottomRight() + QPoint(1, 1));
    }
};

QTEST_MAIN(TestIconButton)
#include "TestIconButton.moc"
