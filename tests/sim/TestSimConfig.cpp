// Reading the simulator's gateway file and the command line: what is
// accepted, the defaults, and that every mistake is named precisely.

#include "GatewayConfig.h"
#include "SimCommandLine.h"
#include "SimulatedGateway.h"

#include <QJsonDocument>
#include <QtTest>

class TestSimConfig : public QObject
{
    Q_OBJECT

private slots:
    void fullEntry();
    void defaults();
    void rejects_data();
    void rejects();
    void writtenStateReadsBack();
    void lanHostAddresses_data();
    void lanHostAddresses();
    void commandLine_data();
    void commandLine();
};

namespace {

QByteArray file(const QByteArray &gatewayFields)
{
    return "{\"gateways\":[{\"ip\":\"198.18.0.10\",\"mac\":\"00-50-C2-4A-00-0A\"" + gatewayFields + "}]}";
}

} // namespace

void TestSimConfig::fullEntry()
{
    const QByteArray json = R"({ "gateways": [ {
        "name": "hall", "ip": "198.18.0.10", "mac": "00-50-C2-4A-00-0A", "firmware": "1.2F",
        "type": "0x00030002", "company": "Someone Else", "dhcp": true, "hostBits": 16,
        "defaultGateway": "198.18.0.1",
        "setup": { "mode": 9, "port": 10002, "remote": "10.1.2.3", "mask": "255.255.0.0",
                   "baudRate": 115200, "dataBits": 7, "stopBits": 2, "parity": 1, "flowControl": 1 },
        "password": "pw",
        "faults": { "ignore": ["identity", "ipSetup"], "delayMs": 250, "discoveryReplies": 2,
                    "setupReply": "wrongType", "malformed": "oversized", "garbageDatagrams": 3 } } ] })";
    QString error;
    const auto list = SimConfig::parse(json, &error);
    QVERIFY2(list, qPrintable(error));
    QCOMPARE(list->size(), 1);
    const GatewayConfig &g = list->first();
    QCOMPARE(g.name, QStringLiteral("hall"));
    QCOMPARE(g.address, 0xC612000Au);
    QCOMPARE(MacAddressText(g.mac), QStringLiteral("00-50-C2-4A-00-0A"));
    QCOMPARE(g.firmwareMajor, quint8(1));
    QCOMPARE(g.firmwareMinor, quint8(0x2F));
    QCOMPARE(g.typeCode, 0x00030002u);
    QCOMPARE(g.company, QByteArray("Someone Else"));
    QVERIFY(g.dhcp);
    QCOMPARE(g.hostBits, 16);
    QCOMPARE(g.defaultGateway, 0xC6120001u);
    QCOMPARE(g.setup.mode, quint8(9));
    QCOMPARE(g.setup.port, quint16(10002));
    QCOMPARE(g.setup.remote, 0x0A010203u);
    QCOMPARE(g.setup.mask, 0xFFFF0000u);
    QCOMPARE(g.setup.baudRate, 115200u);
    QCOMPARE(g.setup.dataBits, quint8(7));
    QCOMPARE(g.setup.stopBits, quint8(2));
    QCOMPARE(g.setup.parity, quint8(1));
    QCOMPARE(g.setup.flowControl, quint8(1));
    QCOMPARE(g.password, std::optional<QString>(QStringLiteral("pw")));
    QCOMPARE(g.faults.ignore, (QSet<GatewayRequest>{GatewayRequest::Identity, GatewayRequest::IpSetup}));
    QCOMPARE(g.faults.delayMs, 250);
    QCOMPARE(g.faults.discoveryReplies, 2);
    QCOMPARE(g.faults.setupReply, SetupReplyFault::WrongType);
    QCOMPARE(g.faults.malformed, MalformedFault::Oversized);
    QCOMPARE(g.faults.garbageDatagrams, 3);
}

void TestSimConfig::defaults()
{
    QString error;
    const auto list = SimConfig::parse(file(", \"type\": 65537, \"password\": null"), &error);
    QVERIFY2(list, qPrintable(error));
    const GatewayConfig &g = list->first();
    QCOMPARE(g.typeCode, 0x00010001u);
    QCOMPARE(g.company, Telegram::companyText());
    QVERIFY(!g.dhcp);
    QCOMPARE(g.hostBits, 8);
    QCOMPARE(g.defaultGateway, 0u);
    QCOMPARE(g.setup.port, quint16(10001));
    QCOMPARE(g.setup.baudRate, 9600u);
    QVERIFY(!g.password);
    QVERIFY(g.faults.ignore.isEmpty());
    QCOMPARE(g.faults.discoveryReplies, 1);
    QCOMPARE(g.faults.setupReply, SetupReplyFault::Ok);
    QVERIFY(g.setupRecord.isEmpty());
}

void TestSimConfig::rejects_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("message");

    QTest::newRow("not JSON") << QByteArray("{\"gateways\": [") << "not valid JSON";
    QTest::newRow("no gateway list") << QByteArray("{\"gateway\": []}") << "list \"gateways\"";
    QTest::newRow("entry not an object") << QByteArray("{\"gateways\": [3]}") << "gateways[0]: must be an object";
    QTest::newRow("ip missing") << QByteArray(R"({"gateways":[{"mac":"00-50-C2-4A-00-0A"}]})")
                                << "gateways[0].ip: is required";
    QTest::newRow("ip octet 256") << QByteArray(R"({"gateways":[{"ip":"198.18.0.256","mac":"00-50-C2-4A-00-0A"}]})")
                                  << "gateways[0].ip";
    QTest::newRow("ip with suffix") << QByteArray(R"j({"gateways":[{"ip":"198.18.0.10 (DHCP)","mac":"00-50-C2-4A-00-0A"}]})j")
                                    << "gateways[0].ip";
    QTest::newRow("mac short") << QByteArray(R"({"gateways":[{"ip":"198.18.0.10","mac":"00-50-C2-4A-00"}]})")
                               << "gateways[0].mac";
    QTest::newRow("mac not hex") << QByteArray(R"({"gateways":[{"ip":"198.18.0.10","mac":"00-50-C2-4A-00-0G"}]})")
                                 << "gateways[0].mac";
    QTest::newRow("firmware decimal point only") << file(", \"firmware\": \"123\"") << "gateways[0].firmware";
    QTest::newRow("firmware part too big") << file(", \"firmware\": \"1.234\"") << "gateways[0].firmware";
    QTest::newRow("type not hex") << file(", \"type\": \"0x0001000G\"") << "gateways[0].type";
    QTest::newRow("type above 32 bits") << file(", \"type\": \"0x100000000\"") << "gateways[0].type";
    QTest::newRow("host bits 33") << file(", \"hostBits\": 33") << "gateways[0].hostBits: must be an integer from 0 to 32";
    QTest::newRow("host bits fraction") << file(", \"hostBits\": 8.5") << "gateways[0].hostBits";
    QTest::newRow("dhcp as text") << file(", \"dhcp\": \"yes\"") << "gateways[0].dhcp";
    QTest::newRow("company too long") << file(", \"company\": \"" + QByteArray(123, 'x') + "\"") << "gateways[0].company";
    QTest::newRow("port above 16 bits") << file(", \"setup\": {\"port\": 65536}") << "gateways[0].setup.port";
    QTest::newRow("misspelt setup field") << file(", \"setup\": {\"baudrate\": 9600}") << "gateways[0].setup.baudrate: unknown field";
    QTest::newRow("misspelt gateway field") << file(", \"hostbits\": 8") << "gateways[0].hostbits: unknown field";
    QTest::newRow("password number") << file(", \"password\": 1234") << "gateways[0].password";
    QTest::newRow("unknown request") << file(", \"faults\": {\"ignore\": [\"reboot\"]}") << "gateways[0].faults.ignore: \"reboot\"";
    QTest::newRow("unknown setup fault") << file(", \"faults\": {\"setupReply\": \"late\"}") << "gateways[0].faults.setupReply";
    QTest::newRow("negative delay") << file(", \"faults\": {\"delayMs\": -1}") << "gateways[0].faults.delayMs";
    QTest::newRow("setup record too short") << file(", \"setupRecord\": \"000000d6\"") << "gateways[0].setupRecord";
    QTest::newRow("network record with write header")
        << file(", \"networkRecord\": \"000000fa" + QByteArray(240, '0') + "\"") << "gateways[0].networkRecord";
    QTest::newRow("address used twice")
        << QByteArray(R"({"gateways":[{"ip":"198.18.0.10","mac":"00-50-C2-4A-00-0A"},
                                      {"ip":"198.18.0.10","mac":"00-50-C2-4A-00-0B"}]})")
        << "gateways[1].ip: 198.18.0.10 is used by an earlier gateway";
}

void TestSimConfig::rejects()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, message);
    QString error;
    QVERIFY(!SimConfig::parse(json, &error));
    QVERIFY2(error.contains(message), qPrintable(error));
}

// --save writes the state as a file that reproduces it byte for byte: the
// records take precedence over the readable fields.
void TestSimConfig::writtenStateReadsBack()
{
    QString error;
    auto list = SimConfig::parse(file(", \"password\": \"pw\", \"faults\": {\"delayMs\": 5}"), &error);
    QVERIFY2(list, qPrintable(error));
    SimulatedGateway gateway(list->first());
    QByteArray setupWrite = gateway.setupRecord();
    setupWrite[3] = char(Telegram::SetupWrite);
    setupWrite[40] = char(0x77);
    setupWrite[16] = char(SetupChecksum(setupWrite));
    gateway.handle(setupWrite);
    gateway.handle(BuildIdentityWrite(0x00000003));
    gateway.moveTo(0xC61200C8, true);

    const QJsonObject saved = SimConfig::toJson(gateway.currentConfig());
    QCOMPARE(saved.value(QStringLiteral("ip")).toString(), QStringLiteral("198.18.0.200"));
    QCOMPARE(saved.value(QStringLiteral("type")).toString(), QStringLiteral("0x00000003"));
    QCOMPARE(saved.value(QStringLiteral("dhcp")).toBool(), true);
    QCOMPARE(saved.value(QStringLiteral("faults")).toObject().value(QStringLiteral("delayMs")).toInt(), 5);

    const auto again = SimConfig::parseGateway(saved, QStringLiteral("gateways[0]"), &error);
    QVERIFY2(again, qPrintable(error));
    SimulatedGateway reloaded(*again);
    QCOMPARE(reloaded.setupRecord(), gateway.setupRecord());
    QCOMPARE(reloaded.networkRecord(), gateway.networkRecord());
    QCOMPARE(reloaded.typeCode(), 0x00000003u);
    QVERIFY(reloaded.usesDhcp());
}

void TestSimConfig::lanHostAddresses_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("host");
    QTest::newRow("first host") << "198.18.0.1" << true;
    QTest::newRow("last host") << "198.18.0.254" << true;
    QTest::newRow("network") << "198.18.0.0" << false;
    QTest::newRow("broadcast") << "198.18.0.255" << false;
    QTest::newRow("neighbouring /24") << "198.18.1.10" << false;
    QTest::newRow("loopback") << "127.0.0.1" << false;
    QTest::newRow("private LAN") << "192.168.1.10" << false;
}

void TestSimConfig::lanHostAddresses()
{
    QFETCH(QString, address);
    QFETCH(bool, host);
    QCOMPARE(SimConfig::isLanHostAddress(ParseDottedAddress(address)), host);
}

void TestSimConfig::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("environmentInterface");
    QTest::addColumn<QString>("interface"); // empty: refused
    QTest::addColumn<bool>("save");

    const QString c = QStringLiteral("--config");
    QTest::newRow("interface from the LAN") << QStringList{c, QStringLiteral("g.json")} << "gwlan0" << "gwlan0" << false;
    QTest::newRow("explicit interface wins") << QStringList{c, QStringLiteral("g.json"), QStringLiteral("--interface"), QStringLiteral("veth3"), QStringLiteral("--save")}
                                             << "gwlan0" << "veth3" << true;
    QTest::newRow("no interface anywhere") << QStringList{c, QStringLiteral("g.json")} << "" << "" << false;
    QTest::newRow("no config") << QStringList{QStringLiteral("--log"), QStringLiteral("x")} << "gwlan0" << "" << false;
    QTest::newRow("interface name too long") << QStringList{c, QStringLiteral("g.json"), QStringLiteral("--interface"), QStringLiteral("abcdefghijklmnop")}
                                             << "" << "" << false;
    QTest::newRow("interface name with slash") << QStringList{c, QStringLiteral("g.json"), QStringLiteral("--interface"), QStringLiteral("../all")}
                                               << "" << "" << false;
    QTest::newRow("stray argument") << QStringList{c, QStringLiteral("g.json"), QStringLiteral("extra")} << "gwlan0" << "" << false;
    QTest::newRow("unknown option") << QStringList{c, QStringLiteral("g.json"), QStringLiteral("--fast")} << "gwlan0" << "" << false;
    QTest::newRow("loss above 100 %") << QStringList{c, QStringLiteral("g.json"), QStringLiteral("--loss"), QStringLiteral("101")} << "gwlan0" << "" << false;
    QTest::newRow("loss not a number") << QStringList{c, QStringLiteral("g.json"), QStringLiteral("--loss"), QStringLiteral("5%")} << "gwlan0" << "" << false;
    QTest::newRow("seed not a number") << QStringList{c, QStringLiteral("g.json"), QStringLiteral("--loss"), QStringLiteral("5"), QStringLiteral("--seed"), QStringLiteral("seven")} << "gwlan0" << "" << false;
}

void TestSimConfig::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, environmentInterface);
    QFETCH(QString, interface);
    QFETCH(bool, save);

    QProcessEnvironment environment;
    if (!environmentInterface.isEmpty())
        environment.insert(QStringLiteral("GWLAN_GATEWAY_IF"), environmentInterface);
    environment.insert(QStringLiteral("GWLAN_TOOL_ADDRESSES"), QStringLiteral("198.18.0.1,198.18.0.2"));
    QString error;
    const auto options = SimCommandLine::parse(QStringList{QStringLiteral("gatewaysim")} + arguments,
                                               environment, &error);
    if (interface.isEmpty()) {
        QVERIFY(!options);
        QVERIFY(!error.isEmpty());
        return;
    }
    QVERIFY2(options, qPrintable(error));
    QCOMPARE(options->configPath, QStringLiteral("g.json"));
    QCOMPARE(options->interfaceName, interface);
    QCOMPARE(options->save, save);
    QCOMPARE(options->reserved, (QSet<quint32>{0xC6120001, 0xC6120002}));
}

QTEST_GUILESS_MAIN(TestSimConfig)
#include "TestSimConfig.moc"
