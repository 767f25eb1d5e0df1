#include "BroadcastDestinations.h"

#include <QTest>

// Where broadcasts go. Adapter data is always injected: the tests never look
// at this machine's own interfaces.
namespace {

AdapterAddress adapter(const char *address, const char *mask)
{
    return {true, QHostAddress(QLatin1String(address)).toIPv4Address(),
            QHostAddress(QLatin1String(mask)).toIPv4Address()};
}

QNetworkAddressEntry entry(const char *address, const char *mask)
{
    QNetworkAddressEntry e;
    e.setIp(QHostAddress(QLatin1String(address)));
    e.setNetmask(QHostAddress(QLatin1String(mask)));
    return e;
}

} // namespace

class TestBroadcastDestinations : public QObject
{
    Q_OBJECT

private slots:
    void adapterList_data();
    void adapterList();
    void adapterFromInterface_data();
    void adapterFromInterface();
    void inetAddr_data();
    void inetAddr();
    void selection_data();
    void selection();
};

void TestBroadcastDestinations::adapterList_data()
{
    QTest::addColumn<QList<AdapterAddress>>("adapters");
    QTest::addColumn<QStringList>("list");
    QTest::newRow("two adapters in order")
        << QList<AdapterAddress>{adapter("192.168.1.17", "255.255.255.0"), adapter("10.1.2.3", "255.0.0.0")}
        << QStringList{QStringLiteral("192.168.1.255"), QStringLiteral("10.255.255.255")};
    QTest::newRow("no adapter") << QList<AdapterAddress>{} << QStringList{QStringLiteral("255.255.255.255")};
    QTest::newRow("adapter without address")
        << QList<AdapterAddress>{adapter("192.168.1.17", "255.255.255.0"), AdapterAddress{}}
        << QStringList{QStringLiteral("192.168.1.255"), QStringLiteral("255.255.255.255")};
    QTest::newRow("same subnet twice")
        << QList<AdapterAddress>{adapter("10.0.0.1", "255.255.255.0"), adapter("10.0.0.2", "255.255.255.0")}
        << QStringList{QStringLiteral("10.0.0.255"), QStringLiteral("10.0.0.255")};
    QTest::newRow("host mask") << QList<AdapterAddress>{adapter("198.18.0.1", "255.255.255.255")}
                               << QStringList{QStringLiteral("198.18.0.1")};
    QTest::newRow("not contiguous mask") << QList<AdapterAddress>{adapter("10.20.30.40", "255.0.255.0")}
                                         << QStringList{QStringLiteral("10.255.30.255")};
}

void TestBroadcastDestinations::adapterList()
{
    QFETCH(QList<AdapterAddress>, adapters);
    QFETCH(QStringList, list);
    QCOMPARE(BuildAdapterBroadcastList(adapters), list);
}

void TestBroadcastDestinations::adapterFromInterface_data()
{
    using Flags = QNetworkInterface::InterfaceFlags;
    QTest::addColumn<Flags>("flags");
    QTest::addColumn<QList<QNetworkAddressEntry>>("entries");
    QTest::addColumn<bool>("counts");
    QTest::addColumn<QString>("broadcast");
    const Flags up = QNetworkInterface::IsUp | QNetworkInterface::IsRunning | QNetworkInterface::CanBroadcast;
    const QNetworkAddressEntry v6 = entry("fe80::1", "ffff:ffff:ffff:ffff::");
    QTest::newRow("first IPv4 entry") << up
                                      << QList<QNetworkAddressEntry>{v6, entry("192.168.1.17", "255.255.255.0"),
                                                                     entry("10.1.2.3", "255.0.0.0")}
                                      << true << QStringLiteral("192.168.1.255");
    QTest::newRow("up without carrier or address") << Flags(QNetworkInterface::IsUp) << QList<QNetworkAddressEntry>{}
                                                   << true << QStringLiteral("255.255.255.255");
    QTest::newRow("IPv6 only") << up << QList<QNetworkAddressEntry>{v6} << true << QStringLiteral("255.255.255.255");
    QTest::newRow("loopback") << (up | QNetworkInterface::IsLoopBack)
                              << QList<QNetworkAddressEntry>{entry("127.0.0.1", "255.0.0.0")} << false << QString();
    QTest::newRow("disabled") << Flags(QNetworkInterface::CanBroadcast)
                              << QList<QNetworkAddressEntry>{entry("10.1.2.3", "255.0.0.0")} << false << QString();
}

void TestBroadcastDestinations::adapterFromInterface()
{
    QFETCH(QNetworkInterface::InterfaceFlags, flags);
    QFETCH(QList<QNetworkAddressEntry>, entries);
    QFETCH(bool, counts);
    QFETCH(QString, broadcast);
    const auto found = AdapterFromInterface(flags, entries);
    QCOMPARE(found.has_value(), counts);
    if (found)
        QCOMPARE(BuildAdapterBroadcastList({*found}), QStringList{broadcast});
}

void TestBroadcastDestinations::inetAddr_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<quint32>("value");
    QTest::newRow("dotted quad") << QStringLiteral("192.168.1.255") << 0xC0A801FFu;
    QTest::newRow("zero") << QStringLiteral("0.0.0.0") << 0u;
    QTest::newRow("limited broadcast") << QStringLiteral("255.255.255.255") << InetAddrNone;
    QTest::newRow("empty") << QString() << InetAddrNone;
    QTest::newRow("word") << QStringLiteral("broadcast") << InetAddrNone;
    QTest::newRow("DHCP suffix") << QStringLiteral("192.168.1.5 (DHCP)") << 0xC0A80105u;
    QTest::newRow("tab ends too") << QStringLiteral("1.2.3.4\tx") << 0x01020304u;
    QTest::newRow("trailing letter") << QStringLiteral("192.168.1.5x") << InetAddrNone;
    QTest::newRow("leading blank") << QStringLiteral(" 1.2.3.4") << InetAddrNone;
    QTest::newRow("hex and short form") << QStringLiteral("0x7F.1") << 0x7F000001u;
    QTest::newRow("octal") << QStringLiteral("010.0.0.017") << 0x0800000Fu;
    QTest::newRow("8 in octal") << QStringLiteral("08.0.0.1") << InetAddrNone;
    QTest::newRow("bare 0x") << QStringLiteral("0x") << 0u;
    QTest::newRow("one part") << QStringLiteral("3232235777") << 0xC0A80101u;
    QTest::newRow("a.b.c fills 16 bits") << QStringLiteral("1.2.65535") << 0x0102FFFFu;
    QTest::newRow("a.b.c too large") << QStringLiteral("1.2.65536") << InetAddrNone;
    QTest::newRow("a.b fills 24 bits") << QStringLiteral("1.16777215") << 0x01FFFFFFu;
    QTest::newRow("part above 255") << QStringLiteral("1.256.3") << InetAddrNone;
    QTest::newRow("last part above 255") << QStringLiteral("1.2.3.256") << InetAddrNone;
    QTest::newRow("beyond 32 bits") << QStringLiteral("4294967296") << InetAddrNone;
    QTest::newRow("very long number") << QStringLiteral("123456789012345678901234567890") << InetAddrNone;
    QTest::newRow("five parts") << QStringLiteral("1.2.3.4.5") << InetAddrNone;
    QTest::newRow("trailing dot") << QStringLiteral("1.2.3.") << InetAddrNone;
    QTest::newRow("empty part") << QStringLiteral("1..3.4") << InetAddrNone;
    QTest::newRow("sign") << QStringLiteral("-1.2.3.4") << InetAddrNone;
}

void TestBroadcastDestinations::inetAddr()
{
    QFETCH(QString, text);
    QFETCH(quint32, value);
    QCOMPARE(InetAddr(text), value);
}

void TestBroadcastDestinations::selection_data()
{
    QTest::addColumn<QString>("configured");
    QTest::addColumn<QStringList>("adapters");
    QTest::addColumn<QStringList>("destinations");
    const QStringList two{QStringLiteral("192.168.1.255"), QStringLiteral("10.255.255.255")};
    QTest::newRow("default uses adapters") << QStringLiteral("255.255.255.255") << two << two;
    QTest::newRow("configured address alone") << QStringLiteral("192.168.1.255") << two
                                              << QStringList{QStringLiteral("192.168.1.255")};
    QTest::newRow("word uses adapters") << QStringLiteral("router") << two << two;
    QTest::newRow("empty uses adapters") << QString() << two << two;
    QTest::newRow("fallback entry") << QString() << QStringList{QStringLiteral("255.255.255.255")}
                                    << QStringList{QStringLiteral("255.255.255.255")};
    QTest::newRow("no list at all") << QString() << QStringList{} << QStringList{QStringLiteral("255.255.255.255")};
}

void TestBroadcastDestinations::selection()
{
    QFETCH(QString, configured);
    QFETCH(QStringList, adapters);
    QFETCH(QStringList, destinations);
    QCOMPARE(SelectBroadcastDestinations(configured, adapters), destinations);
}

QTEST_GUILESS_MAIN(TestBroadcastDestinations)
#include "TestBroadcastDestinations.moc"
