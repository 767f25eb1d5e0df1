// One simulated gateway without sockets: its answers must pass the tool's own
// acceptance rules, its writes must show in the following reads, and each
// fault must break exactly what it names.

#include "GatewaySimulator.h"
#include "SetupFields.h"
#include "SimulatedGateway.h"

#include <QtTest>

Q_DECLARE_METATYPE(GatewayRequest)
Q_DECLARE_METATYPE(SetupReplyFault)
Q_DECLARE_METATYPE(SetupVerdict)

class TestSimulatedGateway : public QObject
{
    Q_OBJECT

private slots:
    void discoveryReply();
    void identityReply();
    void networkReplyAndWrite();
    void setupReplyVerifies_data();
    void setupReplyVerifies();
    void identityWriteChangesType();
    void setupWriteStoredAsWritten();
    void setupWriteRefused_data();
    void setupWriteRefused();
    void ipSetupSelectsByMacTail_data();
    void ipSetupSelectsByMacTail();
    void moveToReportsAddressMode();
    void ignoredRequests_data();
    void ignoredRequests();
    void setupReplyFaults_data();
    void setupReplyFaults();
    void malformedAndGarbage();
    void strayDatagramsIgnored_data();
    void strayDatagramsIgnored();
    void dhcpPool();
};

namespace {

const QString Mac = QStringLiteral("00-50-C2-4A-00-0A");

GatewayConfig config()
{
    GatewayConfig c;
    c.address = 0xC612000A;
    c.mac = MacAddressFromText(QStringLiteral("0050C24A000A"));
    c.firmwareMajor = 1;
    c.firmwareMinor = 0x23;
    c.typeCode = 0x00010001;
    c.company = Telegram::companyText();
    c.setup.mode = 2;
    c.setup.port = 10002;
    c.setup.remote = 0xC6120001;
    c.setup.baudRate = 19200;
    return c;
}

QByteArray only(const GatewayReaction &reaction)
{
    return reaction.datagrams.size() == 1 ? reaction.datagrams.first() : QByteArray();
}

QByteArray request(Telegram::Code code)
{
    return BuildRequest(code);
}

QByteArray setupWriteFor(const SimulatedGateway &gateway, bool protect)
{
    return BuildSetupWrite(SetupFields{0, "4001", "198.18.0.77", "255.255.255.0", "57600", "7", "2", 2, 1}
                               .writeInput("0050C24A000A", gateway.typeCode(), protect,
                                           QStringLiteral("new secret")));
}

} // namespace

void TestSimulatedGateway::discoveryReply()
{
    SimulatedGateway gateway(config());
    const QByteArray reply = only(gateway.handle(request(Telegram::DiscoveryRequest)));
    QCOMPARE(reply.toHex(), QByteArray("000000f7" "0000" "2301" "00000000000000000000000000000000"
                                       "0050c24a000a"));
    const auto accepted = AcceptDiscoveryReply(reply);
    QVERIFY(accepted);
    QCOMPARE(accepted->firmwareText(), QStringLiteral("1.23"));
    QCOMPARE(accepted->macText(), Mac);
}

void TestSimulatedGateway::identityReply()
{
    GatewayConfig c = config();
    SimulatedGateway gateway(c);
    auto identity = AcceptIdentityReply(only(gateway.handle(request(Telegram::IdentityRequest))));
    QVERIFY(identity);
    QCOMPARE(identity->typeCode, 0x00010001u);
    QVERIFY(identity->isFromMaker());

    c.company = "Orvano Geraetebau- und Netzwerksysteme GmbX";
    identity = AcceptIdentityReply(only(SimulatedGateway(c).handle(request(Telegram::IdentityRequest))));
    QVERIFY(identity);
    QVERIFY(!identity->isFromMaker());
}

void TestSimulatedGateway::networkReplyAndWrite()
{
    GatewayConfig c = config();
    c.hostBits = 16;
    c.defaultGateway = 0xC6120001;
    SimulatedGateway gateway(c);
    const QByteArray first = only(gateway.handle(request(Telegram::NetworkRequest)));
    const auto record = AcceptNetworkReply(first);
    QVERIFY(record);
    QVERIFY(!record->usesDhcp());
    QCOMPARE(record->shownHostBits(), 16);
    QCOMPARE(SubnetColumnText(record->shownHostBits(), record->defaultGateway),
             QStringLiteral("Host-Bits: 16 / GW: 198.18.0.1"));
    QCOMPARE(only(gateway.handle(request(Telegram::NetworkRequest))), first); // stable

    const QByteArray write = BuildNetworkWrite(first, QStringLiteral("255.255.255.252"), QString());
    const GatewayReaction reaction = gateway.handle(write);
    QVERIFY(IsNetworkAcknowledgement(only(reaction)));
    QVERIFY(reaction.stateChanged);

    const QByteArray next = only(gateway.handle(request(Telegram::NetworkRequest)));
    QCOMPARE(AcceptNetworkReply(next)->hostBits, quint8(2));
    QCOMPARE(SubnetColumnText(2, AcceptNetworkReply(next)->defaultGateway), QStringLiteral("Host-Bits: 2"));
    // Everything the tool does not interpret comes back as it went out.
    QByteArray expected = write;
    expected[3] = char(Telegram::NetworkReply);
    QCOMPARE(next, expected);
}

void TestSimulatedGateway::setupReplyVerifies_data()
{
    QTest::addColumn<QVariant>("password");
    QTest::addColumn<bool>("protection");
    QTest::addColumn<QString>("toolPassword");
    QTest::addColumn<SetupVerdict>("verdict");
    QTest::newRow("unlocked") << QVariant() << false << QString() << SetupVerdict::Unlocked;
    QTest::newRow("locked, same password") << QVariant(QStringLiteral("secret")) << true << "secret" << SetupVerdict::PasswordOk;
    QTest::newRow("locked, other password") << QVariant(QStringLiteral("secret")) << true << "other" << SetupVerdict::WrongPassword;
    QTest::newRow("locked, protection off") << QVariant(QStringLiteral("secret")) << false << "secret" << SetupVerdict::WrongPassword;
    QTest::newRow("locked with empty password") << QVariant(QString(QLatin1String(""))) << true << "" << SetupVerdict::PasswordOk;
}

void TestSimulatedGateway::setupReplyVerifies()
{
    QFETCH(QVariant, password);
    QFETCH(bool, protection);
    QFETCH(QString, toolPassword);
    QFETCH(SetupVerdict, verdict);
    GatewayConfig c = config();
    if (password.isValid())
        c.password = password.toString();
    SimulatedGateway gateway(c);
    const QByteArray reply = only(gateway.handle(request(Telegram::SetupRequest)));
    const SetupReplyCheck check = VerifySetupReply(reply, Mac, c.typeCode, protection, toolPassword);
    QCOMPARE(check.verdict, verdict);
    if (verdict == SetupVerdict::Unlocked || verdict == SetupVerdict::PasswordOk) {
        QCOMPARE(check.record.mode, quint8(2));
        QCOMPARE(check.record.port, quint16(10002));
        QCOMPARE(check.record.remoteAddress, 0xC6120001u);
        QCOMPARE(check.record.baudRate, 19200u);
        QCOMPARE(check.record.dataBits, quint8(8));
    }
}

void TestSimulatedGateway::identityWriteChangesType()
{
    SimulatedGateway gateway(config());
    QVERIFY(gateway.handle(BuildIdentityWrite(0x00030002)).datagrams.isEmpty());
    const auto identity = AcceptIdentityReply(only(gateway.handle(request(Telegram::IdentityRequest))));
    QCOMPARE(identity->typeCode, 0x00030002u);
    QVERIFY(identity->isFromMaker());
}

void TestSimulatedGateway::setupWriteStoredAsWritten()
{
    SimulatedGateway gateway(config());
    const QByteArray write = setupWriteFor(gateway, true);
    const GatewayReaction reaction = gateway.handle(write);
    QVERIFY(reaction.datagrams.isEmpty());
    QVERIFY(reaction.stateChanged);

    const QByteArray reply = only(gateway.handle(request(Telegram::SetupRequest)));
    QCOMPARE(reply.mid(4), write.mid(4));
    QCOMPARE(reply.left(4).toHex(), QByteArray("000000d6"));
    const SetupReplyCheck check = VerifySetupReply(reply, Mac, 0x00010001, true, QStringLiteral("new secret"));
    QCOMPARE(check.verdict, SetupVerdict::PasswordOk);
    QCOMPARE(check.record.port, quint16(4001));
    QCOMPARE(check.record.parity, quint8(2));
}

void TestSimulatedGateway::setupWriteRefused_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("sizeChange");
    QTest::newRow("checksum off by one") << 16 << 0;
    QTest::newRow("other gateway's MAC") << 22 << 0;
    QTest::newRow("one byte short") << -1 << -1;
    QTest::newRow("one byte long") << -1 << 1;
    QTest::newRow("reply header instead of write") << 3 << 0;
}

void TestSimulatedGateway::setupWriteRefused()
{
    QFETCH(int, offset);
    QFETCH(int, sizeChange);
    SimulatedGateway gateway(config());
    const QByteArray before = gateway.setupRecord();
    QByteArray write = setupWriteFor(gateway, false);
    if (offset == 3)
        write[3] = char(Telegram::SetupReply);
    else if (offset >= 0)
        write[offset] = char(write.at(offset) + 1);
    if (offset == 22)
        write[16] = char(SetupChecksum(write)); // only the MAC is wrong
    if (sizeChange < 0)
        write.chop(1);
    else if (sizeChange > 0)
        write.append('\0');
    QVERIFY(!gateway.handle(write).stateChanged);
    QCOMPARE(gateway.setupRecord(), before);
}

void TestSimulatedGateway::ipSetupSelectsByMacTail_data()
{
    QTest::addColumn<int>("byte5");
    QTest::addColumn<int>("byte6");
    QTest::addColumn<bool>("taken");
    QTest::newRow("matching tail") << 0x00 << 0x0A << true;
    QTest::newRow("fifth byte differs") << 0x01 << 0x0A << false;
    QTest::newRow("sixth byte differs") << 0x00 << 0x0B << false;
    QTest::newRow("bytes swapped") << 0x0A << 0x00 << false;
}

void TestSimulatedGateway::ipSetupSelectsByMacTail()
{
    QFETCH(int, byte5);
    QFETCH(int, byte6);
    QFETCH(bool, taken);
    SimulatedGateway gateway(config());
    const GatewayReaction reaction =
        gateway.handle(BuildIpSetup(0xC6120063, quint8(byte5), quint8(byte6)));
    QVERIFY(reaction.datagrams.isEmpty());
    QCOMPARE(reaction.requestedAddress.has_value(), taken);
    if (taken)
        QCOMPARE(*reaction.requestedAddress, 0xC6120063u);
    QCOMPARE(gateway.address(), 0xC612000Au); // moving is the simulator's job
}

void TestSimulatedGateway::moveToReportsAddressMode()
{
    SimulatedGateway gateway(config());
    gateway.moveTo(0xC61200C8, true);
    QCOMPARE(gateway.address(), 0xC61200C8u);
    auto network = AcceptNetworkReply(only(gateway.handle(request(Telegram::NetworkRequest))));
    QVERIFY(network->usesDhcp());
    QCOMPARE(network->shownHostBits(), 0);

    gateway.moveTo(0xC6120030, false);
    network = AcceptNetworkReply(only(gateway.handle(request(Telegram::NetworkRequest))));
    QVERIFY(!network->usesDhcp());
    QCOMPARE(network->hostBits, quint8(8));
}

void TestSimulatedGateway::ignoredRequests_data()
{
    QTest::addColumn<GatewayRequest>("ignored");
    QTest::addColumn<QByteArray>("datagram");
    QTest::newRow("discovery") << GatewayRequest::Discovery << request(Telegram::DiscoveryRequest);
    QTest::newRow("identity") << GatewayRequest::Identity << request(Telegram::IdentityRequest);
    QTest::newRow("network") << GatewayRequest::Network << request(Telegram::NetworkRequest);
    QTest::newRow("setup") << GatewayRequest::Setup << request(Telegram::SetupRequest);
    QTest::newRow("identity write") << GatewayRequest::IdentityWrite << BuildIdentityWrite(3);
    QTest::newRow("network write") << GatewayRequest::NetworkWrite
                                   << BuildNetworkWrite(SimulatedGateway::initialNetworkRecord(config()),
                                                        QStringLiteral("255.255.0.0"), QString());
    QTest::newRow("setup write") << GatewayRequest::SetupWrite << setupWriteFor(SimulatedGateway(config()), false);
    QTest::newRow("IP-SETUP") << GatewayRequest::IpSetup << BuildIpSetup(0, 0x00, 0x0A);
}

void TestSimulatedGateway::ignoredRequests()
{
    QFETCH(GatewayRequest, ignored);
    QFETCH(QByteArray, datagram);
    GatewayConfig c = config();
    c.faults.ignore = {ignored};
    SimulatedGateway gateway(c);
    const GatewayReaction reaction = gateway.handle(datagram);
    QVERIFY(reaction.datagrams.isEmpty());
    QVERIFY(!reaction.requestedAddress);
    QVERIFY(!reaction.stateChanged);
    QCOMPARE(gateway.typeCode(), 0x00010001u);

    // Every other request is still answered.
    c.faults.ignore = {ignored == GatewayRequest::Setup ? GatewayRequest::Identity : GatewayRequest::Setup};
    SimulatedGateway other(c);
    const GatewayReaction answered = other.handle(datagram);
    QVERIFY(!answered.datagrams.isEmpty() || answered.requestedAddress || answered.stateChanged);
}

void TestSimulatedGateway::setupReplyFaults_data()
{
    QTest::addColumn<SetupReplyFault>("fault");
    QTest::addColumn<SetupVerdict>("verdict");
    QTest::newRow("ok") << SetupReplyFault::Ok << SetupVerdict::Unlocked;
    QTest::newRow("bad checksum") << SetupReplyFault::BadChecksum << SetupVerdict::CorruptContent;
    QTest::newRow("wrong MAC") << SetupReplyFault::WrongMac << SetupVerdict::CorruptContent;
    QTest::newRow("wrong type") << SetupReplyFault::WrongType << SetupVerdict::CorruptContent;
    QTest::newRow("bad marker") << SetupReplyFault::BadMarker << SetupVerdict::CorruptContent;
}

void TestSimulatedGateway::setupReplyFaults()
{
    QFETCH(SetupReplyFault, fault);
    QFETCH(SetupVerdict, verdict);
    GatewayConfig c = config();
    c.faults.setupReply = fault;
    SimulatedGateway gateway(c);
    const QByteArray reply = only(gateway.handle(request(Telegram::SetupRequest)));
    QCOMPARE(VerifySetupReply(reply, Mac, c.typeCode, false, QString()).verdict, verdict);

    // Exactly one thing is wrong: the checksum still holds unless it is the fault.
    const bool checksumHolds = SetupChecksum(reply) == quint8(reply.at(16));
    QCOMPARE(checksumHolds, fault != SetupReplyFault::BadChecksum);
    const int differing = [&] {
        int n = 0;
        for (int i = 4; i < reply.size(); ++i)
            n += i != 16 && reply.at(i) != gateway.setupRecord().at(i);
        return n;
    }();
    QCOMPARE(differing, fault == SetupReplyFault::Ok || fault == SetupReplyFault::BadChecksum ? 0 : 1);
    QCOMPARE(gateway.setupRecord().at(3), char(Telegram::SetupReply)); // stored record untouched
}

void TestSimulatedGateway::malformedAndGarbage()
{
    GatewayConfig c = config();
    c.faults.garbageDatagrams = 30;
    c.faults.malformed = MalformedFault::Truncated;
    c.faults.discoveryReplies = 2;
    const QList<QByteArray> datagrams = SimulatedGateway(c).handle(request(Telegram::DiscoveryRequest)).datagrams;
    QCOMPARE(datagrams.size(), 62);
    for (const QByteArray &d : datagrams) {
        QVERIFY(!AcceptDiscoveryReply(d));
        QCOMPARE(d.left(4).toHex(), QByteArray("000000f7"));
    }
    QCOMPARE(datagrams.at(30).size(), Telegram::DiscoveryReplySize - 1);

    c.faults.garbageDatagrams = 0;
    c.faults.malformed = MalformedFault::Oversized;
    SimulatedGateway oversized(c);
    QCOMPARE(only(oversized.handle(request(Telegram::SetupRequest))).size(), Telegram::SetupRecordSize + 1);
    const QByteArray ack = only(oversized.handle(BuildNetworkWrite(oversized.networkRecord(), {}, {})));
    QCOMPARE(ack.size(), 5);
    QVERIFY(!IsNetworkAcknowledgement(ack));
}

void TestSimulatedGateway::strayDatagramsIgnored_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("discovery with a trailing byte") << QByteArray::fromHex("000000f600");
    QTest::newRow("discovery with byte 2 set") << QByteArray::fromHex("000001f6");
    QTest::newRow("own discovery reply") << SimulatedGateway(config()).handle(request(Telegram::DiscoveryRequest)).datagrams.first();
    QTest::newRow("network acknowledgement") << QByteArray::fromHex("000000fb");
    QTest::newRow("IP-SETUP without its text") << BuildIpSetup(0xC6120063, 0x00, 0x0A).replace(4, 1, "X");
    QTest::newRow("oversized datagram") << QByteArray(40000, '\0');
}

void TestSimulatedGateway::strayDatagramsIgnored()
{
    QFETCH(QByteArray, datagram);
    SimulatedGateway gateway(config());
    const QByteArray setup = gateway.setupRecord();
    const QByteArray network = gateway.networkRecord();
    const GatewayReaction reaction = gateway.handle(datagram);
    QVERIFY(reaction.datagrams.isEmpty());
    QVERIFY(!reaction.requestedAddress);
    QCOMPARE(gateway.setupRecord(), setup);
    QCOMPARE(gateway.networkRecord(), network);
}

void TestSimulatedGateway::dhcpPool()
{
    QCOMPARE(GatewaySimulator::poolAddress({}), std::optional<quint32>(0xC61200C8));
    QCOMPARE(GatewaySimulator::poolAddress({0xC61200C8, 0xC61200C9}), std::optional<quint32>(0xC61200CA));
    QSet<quint32> full;
    for (quint32 a = GatewaySimulator::PoolFirst; a <= GatewaySimulator::PoolLast; ++a)
        full.insert(a);
    QCOMPARE(full.size(), 51);
    QVERIFY(!GatewaySimulator::poolAddress(full));
}

QTEST_GUILESS_MAIN(TestSimulatedGateway)
#include "TestSimulatedGateway.moc"
