#include "Telegrams.h"

#include <QTest>

// Golden bytes of the requests, discovery, identity, network and IP-SETUP
// telegrams, and the exact acceptance of replies.
namespace {

const QByteArray Company("Orvano Geraetebau- und Netzwerksysteme GmbH");

// A 124-byte network reply whose uninterpreted bytes all differ.
QByteArray patternedNetworkReply(quint32 addressMode)
{
    QByteArray bytes(Telegram::NetworkRecordSize, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(0x80 + i);
    bytes.replace(0, 8, QByteArray::fromHex("000000f9") + QByteArray(4, '\0'));
    bytes[4] = char(addressMode & 0xFF);
    bytes[7] = char(addressMode >> 24);
    return bytes;
}

} // namespace

class TestTelegrams : public QObject
{
    Q_OBJECT

private slots:
    void requests();
    void companyText();
    void acceptDiscoveryReply_data();
    void acceptDiscoveryReply();
    void discoveryFields_data();
    void discoveryFields();
    void identityWrite();
    void acceptIdentityReply_data();
    void acceptIdentityReply();
    void acceptNetworkReply_data();
    void acceptNetworkReply();
    void networkWrite_data();
    void networkWrite();
    void networkAcknowledgement_data();
    void networkAcknowledgement();
    void networkReplyEncoder();
    void ipSetup_data();
    void ipSetup();
};

void TestTelegrams::requests()
{
    QCOMPARE(BuildRequest(Telegram::DiscoveryRequest), QByteArray::fromHex("000000f6"));
    QCOMPARE(BuildRequest(Telegram::IdentityRequest), QByteArray::fromHex("000000e5"));
    QCOMPARE(BuildRequest(Telegram::NetworkRequest), QByteArray::fromHex("000000f8"));
    QCOMPARE(BuildRequest(Telegram::SetupRequest), QByteArray::fromHex("000000e6"));
}

void TestTelegrams::companyText()
{
    QCOMPARE(Telegram::companyText(), Company);
    QCOMPARE(Telegram::companyText().size(), 43);
}

void TestTelegrams::acceptDiscoveryReply_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("accepted");
    const QByteArray valid = QByteArray::fromHex("000000f7") + QByteArray(26, '\x11');
    QTest::newRow("valid") << valid << true;
    QTest::newRow("31 bytes") << valid + '\0' << false;
    QTest::newRow("29 bytes") << valid.left(29) << false;
    QTest::newRow("byte 2 set") << QByteArray::fromHex("000001f7") + valid.mid(4) << false;
    QTest::newRow("byte 0 set") << QByteArray::fromHex("010000f7") + valid.mid(4) << false;
    QTest::newRow("other code") << QByteArray::fromHex("000000f9") + valid.mid(4) << false;
    QTest::newRow("own request echoed") << BuildRequest(Telegram::DiscoveryRequest) << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestTelegrams::acceptDiscoveryReply()
{
    QFETCH(QByteArray, datagram);
    QFETCH(bool, accepted);
    QCOMPARE(AcceptDiscoveryReply(datagram).has_value(), accepted);
}

void TestTelegrams::discoveryFields_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<QString>("mac");
    const QByteArray macBytes = QByteArray::fromHex("0050c24a000a");
    QTest::newRow("1.23") << QByteArray::fromHex("000000f7aaaa2301") + QByteArray(16, '\xbb') + macBytes
                          << QStringLiteral("1.23") << QStringLiteral("00-50-C2-4A-00-0A");
    QTest::newRow("no leading zeros") << QByteArray::fromHex("000000f700000a00") + QByteArray(16, '\0')
            + QByteArray::fromHex("ffeeddccbbaa")
                                      << QStringLiteral("0.A") << QStringLiteral("FF-EE-DD-CC-BB-AA");
}

void TestTelegrams::discoveryFields()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, firmware);
    QFETCH(QString, mac);
    const auto reply = AcceptDiscoveryReply(datagram);
    QVERIFY(reply);
    QCOMPARE(reply->firmwareText(), firmware);
    QCOMPARE(reply->macText(), mac);
    // What the simulator sends back must be read the same way.
    const auto again = AcceptDiscoveryReply(reply->encode());
    QVERIFY(again);
    QCOMPARE(again->firmwareText(), firmware);
    QCOMPARE(again->macText(), mac);
}

void TestTelegrams::identityWrite()
{
    const QByteArray write = BuildIdentityWrite(0x00010001);
    QCOMPARE(write, QByteArray::fromHex("000000c501000100") + Company + QByteArray(79, '\0'));
    QCOMPARE(write.size(), 130);
    QCOMPARE(write.at(51), '\0');
    QCOMPARE(AcceptIdentityWrite(write), std::optional<quint32>(0x00010001));
    QVERIFY(!AcceptIdentityWrite(write.left(129)));
    QVERIFY(!AcceptIdentityWrite(BuildIdentityReply(0x00010001, Company)));
}

void TestTelegrams::acceptIdentityReply_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("fromMaker");
    const QByteArray valid = BuildIdentityReply(0x00030002, Company + "\xff trailing bytes are not examined");
    QTest::newRow("valid") << valid << true << true;
    QTest::newRow("other maker") << BuildIdentityReply(0x00030002, "Someone Else GmbH") << true << false;
    QTest::newRow("letter case differs") << BuildIdentityReply(0x00030002, Company.toUpper()) << true << false;
    QTest::newRow("text cut short") << BuildIdentityReply(0x00030002, Company.left(42)) << true << false;
    QTest::newRow("131 bytes") << valid + 'x' << false << false;
    QTest::newRow("129 bytes") << valid.left(129) << false << false;
    QTest::newRow("identity write") << BuildIdentityWrite(0x00030002) << false << false;
}

void TestTelegrams::acceptIdentityReply()
{
    QFETCH(QByteArray, datagram);
    QFETCH(bool, accepted);
    QFETCH(bool, fromMaker);
    const auto record = AcceptIdentityReply(datagram);
    QCOMPARE(record.has_value(), accepted);
    if (record) {
        QCOMPARE(record->typeCode, 0x00030002u);
        QCOMPARE(record->makerIdentity.size(), 122);
        QCOMPARE(record->isFromMaker(), fromMaker);
    }
}

void TestTelegrams::acceptNetworkReply_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("dhcp");
    QTest::addColumn<int>("shownHostBits");
    QTest::newRow("fixed address") << patternedNetworkReply(1) << true << false << 0x8A;
    QTest::newRow("fixed, only high mode byte set") << patternedNetworkReply(0x01000000) << true << false << 0x8A;
    QTest::newRow("DHCP shows 0 host bits") << patternedNetworkReply(0) << true << true << 0;
    QTest::newRow("123 bytes") << patternedNetworkReply(1).left(123) << false << false << 0;
    QTest::newRow("network write") << BuildNetworkWrite(patternedNetworkReply(1), {}, {}) << false << false << 0;
}

void TestTelegrams::acceptNetworkReply()
{
    QFETCH(QByteArray, datagram);
    QFETCH(bool, accepted);
    QFETCH(bool, dhcp);
    QFETCH(int, shownHostBits);
    const auto record = AcceptNetworkReply(datagram);
    QCOMPARE(record.has_value(), accepted);
    if (record) {
        QCOMPARE(record->usesDhcp(), dhcp);
        QCOMPARE(record->shownHostBits(), shownHostBits);
        QCOMPARE(record->defaultGateway, (std::array<quint8, 4>{0x90, 0x91, 0x92, 0x93}));
    }
}

void TestTelegrams::networkWrite_data()
{
    QTest::addColumn<quint32>("addressMode");
    QTest::addColumn<QString>("maskText");
    QTest::addColumn<QString>("gatewayText");
    QTest::addColumn<QByteArray>("changed"); // bytes 10 and 16-19
    QTest::newRow("/30 with gateway") << 1u << QStringLiteral("255.255.255.252") << QStringLiteral("192.168.1.1")
                                      << QByteArray::fromHex("02c0a80101");
    QTest::newRow("DHCP keeps mode 0") << 0u << QStringLiteral("255.255.255.0") << QStringLiteral("10.0.0.1")
                                       << QByteArray::fromHex("080a000001");
    QTest::newRow("automatic, no gateway") << 7u << QString() << QString() << QByteArray::fromHex("0000000000");
    QTest::newRow("not contiguous") << 1u << QStringLiteral("255.0.255.0") << QStringLiteral("0.0.0.0")
                                    << QByteArray::fromHex("0800000000");
}

void TestTelegrams::networkWrite()
{
    QFETCH(quint32, addressMode);
    QFETCH(QString, maskText);
    QFETCH(QString, gatewayText);
    QFETCH(QByteArray, changed);
    const QByteArray reply = patternedNetworkReply(addressMode);
    const QByteArray write = BuildNetworkWrite(reply, maskText, gatewayText);
    QCOMPARE(write.size(), 124);
    QCOMPARE(quint8(write.at(3)), quint8(0xFA));
    QCOMPARE(write.mid(10, 1) + write.mid(16, 4), changed);
    for (int i = 0; i < reply.size(); ++i) {
        if (i != 3 && i != 10 && (i < 16 || i > 19))
            QVERIFY2(write.at(i) == reply.at(i), qPrintable(QStringLiteral("byte %1 changed").arg(i)));
    }
    QCOMPARE(BuildNetworkWrite(reply.left(123), maskText, gatewayText), QByteArray());
}

void TestTelegrams::networkAcknowledgement_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("plain") << QByteArray::fromHex("000000fb") << true;
    QTest::newRow("bytes 0-2 not examined") << QByteArray::fromHex("ffeeddfb") << true;
    QTest::newRow("other code") << QByteArray::fromHex("000000fa") << false;
    QTest::newRow("5 bytes") << QByteArray::fromHex("000000fb00") << false;
    QTest::newRow("3 bytes") << QByteArray::fromHex("0000fb") << false;
}

void TestTelegrams::networkAcknowledgement()
{
    QFETCH(QByteArray, datagram);
    QFETCH(bool, accepted);
    QCOMPARE(IsNetworkAcknowledgement(datagram), accepted);
}

void TestTelegrams::networkReplyEncoder()
{
    NetworkRecord record;
    record.addressMode = 0x01020304;
    record.hostBits = 8;
    record.defaultGateway = {192, 168, 1, 1};
    const QByteArray rest = QByteArray(124, '\x5a');
    QCOMPARE(BuildNetworkReply(record, rest),
             QByteArray::fromHex("000000f904030201 5a5a 08 5a5a5a5a5a c0a80101") + QByteArray(104, '\x5a'));
    QCOMPARE(BuildNetworkReply(record), QByteArray::fromHex("000000f904030201000008") + QByteArray(5, '\0')
                                            + QByteArray::fromHex("c0a80101") + QByteArray(104, '\0'));
    const auto written = AcceptNetworkWrite(BuildNetworkWrite(BuildNetworkReply(record), QStringLiteral("255.255.0.0"),
                                                              QStringLiteral("10.1.2.3")));
    QVERIFY(written);
    QCOMPARE(written->addressMode, 0x01020304u);
    QCOMPARE(written->hostBits, quint8(16));
    QCOMPARE(written->defaultGateway, (std::array<quint8, 4>{10, 1, 2, 3}));
}

void TestTelegrams::ipSetup_data()
{
    QTest::addColumn<QString>("addressText");
    QTest::addColumn<int>("macByte5");
    QTest::addColumn<int>("macByte6");
    QTest::addColumn<QByteArray>("telegram");
    QTest::newRow("new address") << QStringLiteral("192.168.1.100") << 0x1A << 0x2B
                                 << QByteArray::fromHex("000000fc" "49502d5345545550" "0000" "1a2b" "c0a80164");
    QTest::newRow("DHCP") << QString() << 0xFF << 0x00
                          << QByteArray::fromHex("000000fc" "49502d5345545550" "0000" "ff00" "00000000");
}

void TestTelegrams::ipSetup()
{
    QFETCH(QString, addressText);
    QFETCH(int, macByte5);
    QFETCH(int, macByte6);
    QFETCH(QByteArray, telegram);
    const QByteArray built = BuildIpSetup(ParseDottedAddress(addressText), quint8(macByte5), quint8(macByte6));
    QCOMPARE(built, telegram);
    const auto accepted = AcceptIpSetup(built);
    QVERIFY(accepted);
    QCOMPARE(accepted->newAddress, ParseDottedAddress(addressText));
    QCOMPARE(int(accepted->macByte5), macByte5);
    QCOMPARE(int(accepted->macByte6), macByte6);
    QVERIFY(!AcceptIpSetup(built.left(19)));
    QVERIFY(!AcceptIpSetup(QByteArray(built).replace(4, 8, "IP_SETUP")));
}

QTEST_GUILESS_MAIN(TestTelegrams)
#include "TestTelegrams.moc"
