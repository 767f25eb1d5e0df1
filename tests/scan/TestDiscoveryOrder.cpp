// The window's row order worked out from a repeated discovery.

#include "DiscoveryOrder.h"

#include <QTest>

namespace {

// "1A 1C 2A 2B": gateway A answered request 1, C request 1, and so on; a
// gateway's letter stands for its address.
DiscoveryOrder repliesOf(const QString &replies)
{
    DiscoveryOrder order;
    for (const QString &reply : replies.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        order.add(reply.left(1).toInt(), reply.at(1).unicode());
    return order;
}

QString lettersOf(const QList<quint32> &rows)
{
    QString letters;
    for (quint32 source : rows)
        letters.append(QChar(char16_t(source)));
    return letters;
}

} // namespace

class TestDiscoveryOrder : public QObject
{
    Q_OBJECT

private slots:
    void rowsInTheFirstRequestsOrder_data()
    {
        QTest::addColumn<QString>("replies");
        QTest::addColumn<QString>("rows");
        QTest::newRow("nothing answered") << QString() << QString();
        QTest::newRow("every reply of every request") << u"1A 1B 1C 2A 2B 2C"_qs << u"ABC"_qs;
        QTest::newRow("first reply lost in the middle") << u"1A 1C 2A 2B 2C"_qs << u"ABC"_qs;
        QTest::newRow("first reply lost at the head") << u"1B 1C 2A 2B 2C"_qs << u"ABC"_qs;
        QTest::newRow("found only by the last request") << u"1A 1B 2A 3B 4A 4B 4C"_qs << u"ABC"_qs;
        QTest::newRow("two neighbours lost, found apart") << u"1A 1D 2A 2B 2D 3C 3D"_qs << u"ABCD"_qs;
        QTest::newRow("later requests answered in another order") << u"1A 1B 1C 2C 2B 2A"_qs << u"ABC"_qs;
        QTest::newRow("answered twice per request") << u"1A 1A 1B 2A 2A 2B"_qs << u"AAB"_qs;
        QTest::newRow("one of two answers lost first") << u"1A 1B 2A 2A 2B"_qs << u"AAB"_qs;
        QTest::newRow("answers of one request only") << u"3B 3A"_qs << u"BA"_qs;
    }
    void rowsInTheFirstRequestsOrder()
    {
        QFETCH(QString, replies);
        QFETCH(QString, rows);
        QCOMPARE(lettersOf(repliesOf(replies).rows()), rows);
    }
};

QTEST_APPLESS_MAIN(TestDiscoveryOrder)
#include "TestDiscoveryOrder.moc"
