#include "Windows1252.h"

#include <QTest>

class TestWindows1252 : public QObject
{
    Q_OBJECT

private slots:
    void encodes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("encodable");
        QTest::newRow("ASCII with tab and CR LF") << QStringLiteral("Typ\tIP\r\n") << QByteArray("Typ\tIP\r\n") << true;
        QTest::newRow("Latin-1 letters") << QStringLiteral("Flußsteuerung é ÿ") << QByteArray("Flu\xDFsteuerung \xE9 \xFF")
                                         << true;
        QTest::newRow("the code page's own upper half")
            << QStringLiteral("\u20AC\u201E\u0160\u017D\u2122\u0178") << QByteArray("\x80\x84\x8A\x8E\x99\x9F") << true;
        QTest::newRow("unassigned bytes pass through") << QStringLiteral("\u0081\u009D") << QByteArray("\x81\x9D") << true;
        QTest::newRow("missing characters become ?") << QStringLiteral("\u0416\u4E2D\U0001F600x") << QByteArray("???x")
                                                     << false;
    }
    void encodes()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, encodable);
        QCOMPARE(toWindows1252(text), bytes);
        QCOMPARE(isWindows1252Encodable(text), encodable);
    }
};

QTEST_GUILESS_MAIN(TestWindows1252)
#include "TestWindows1252.moc"
