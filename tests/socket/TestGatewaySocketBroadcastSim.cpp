// The two broadcast requests against simulated gateways: where discovery and
// IP-SETUP go, and the rows that discovery replies add. Run once with one
// tool adapter and once with two in the same subnet.

#include "BroadcastDestinations.h"
#include "FakeGatewaySocketOwner.h"
#include "GatewaySocket.h"
#include "ReplyWait.h"
#include "SimGateways.h"
#include "WriteExchanges.h"
#include "SocketOptions.h"

#include <QTest>

#include <memory>

using namespace SimGateways;

class TestGatewaySocketBroadcastSim : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void discovery_data();
    void discovery();
    void ipSetup();

private:
    void startSimulator(const QList<QJsonObject> &gateways);

    std::unique_ptr<SimulatorProcess> m_sim;
};

void TestGatewaySocketBroadcastSim::initTestCase()
{
    if (!SimulatorProcess::available())
        QSKIP("needs the virtual LAN (run through ctest -L netns)");
}

void TestGatewaySocketBroadcastSim::cleanup()
{
    if (m_sim)
        QVERIFY2(m_sim->stop(), m_sim->standardError().constData());
    m_sim.reset();
}

void TestGatewaySocketBroadcastSim::startSimulator(const QList<QJsonObject> &gateways)
{
    m_sim = std::make_unique<SimulatorProcess>();
    QVERIFY2(m_sim->start(SimulatorProcess::config(gateways)),
             qPrintable(m_sim->errorString() + QString::fromUtf8(m_sim->standardError())));
}

void TestGatewaySocketBroadcastSim::discovery_data()
{
    QTest::addColumn<QString>("configured");
    QTest::addColumn<bool>("toAdapters");
    QTest::addColumn<int>("secondGatewayReplies");

    QTest::newRow("configured directed broadcast") << QStringLiteral("198.18.0.255") << false << 1;
    QTest::newRow("default: every adapter") << QStringLiteral("255.255.255.255") << true << 1;
    QTest::newRow("no address: every adapter") << QStringLiteral("gateways") << true << 1;
    QTest::newRow("a gateway answering twice") << QStringLiteral("198.18.0.255") << false << 2;
}

void TestGatewaySocketBroadcastSim::discovery()
{
    QFETCH(QString, configured);
    QFETCH(bool, toAdapters);
    QFETCH(int, secondGatewayReplies);
    const QString secondMac = QStringLiteral("00-50-C2-4A-00-0B");
    startSimulator({gatewayWith({{QStringLiteral("firmware"), QStringLiteral("1.23")}}),
                    gatewayWith({{QStringLiteral("firmware"), QStringLiteral("2.A")},
                                 {QStringLiteral("faults"),
                                  QJsonObject{{QStringLiteral("discoveryReplies"), secondGatewayReplies}}}},
                                SecondGatewayIp, secondMac)});

    const QStringList adapters = BuildAdapterBroadcastList();
    const int toolAdapters = qEnvironmentVariable("GWLAN_TOOL_ADDRESSES").split(QLatin1Char(',')).size();
    QCOMPARE(adapters.size(), toolAdapters);
    // A configured address that is used must keep the adapter list unused;
    // this list would show up in the log as a request to the second gateway.
    const QStringList adapterList = toAdapters ? adapters : QStringList{SecondGatewayIp};
    const int requests = toAdapters ? int(adapters.size()) : 1;

    FakeGatewaySocketOwner owner;
    GatewaySocket socket(owner);
    QVERIFY(socket.SendDiscover(configured, adapterList));
    QCOMPARE(socket.requestKind(), GatewaySocket::RequestKind::Discover);
    QCOMPARE(SocketOptions::broadcastEnabled(socket.socketDescriptor()), std::optional<bool>(true));
    QVERIFY(waitForReplies(owner, 1000) >= 1000);
    socket.Close();

    QCOMPARE(receivedTelegrams(*m_sim, requests), QStringList(requests, QStringLiteral("broadcast 000000f6")));
    // Every reply is a row of its own; the tool's own request, looped back to
    // its socket, is none.
    QStringList rows;
    const GatewayList &list = owner.gatewayList();
    for (int row = 0; row < list.count(); ++row) {
        QCOMPARE(list.cellText(row, GatewayList::TypeColumn), QStringLiteral("???"));
        QCOMPARE(list.rowStatus(row), int(RowStatus::Discovered));
        rows += QStringList{list.cellText(row, 1), list.cellText(row, 2), list.cellText(row, 7)}.join(u' ');
    }
    rows.sort();
    QStringList expected;
    for (int i = 0; i < requests; ++i) {
        expected += QStringList{GatewayIp, GatewayMac, QStringLiteral("1.23")}.join(u' ');
        for (int j = 0; j < secondGatewayReplies; ++j)
            expected += QStringList{SecondGatewayIp, secondMac, QStringLiteral("2.A")}.join(u' ');
    }
    expected.sort();
    QCOMPARE(rows, expected);
    QCOMPARE(owner.completions(), 0);
}

void TestGatewaySocketBroadcastSim::ipSetup()
{
    startSimulator({gatewayWith({})});
    WriteExchanges::Target target;
    target.mac = QStringLiteral("0050C24A000A");
    target.values.address = ParseDottedAddress(QStringLiteral("198.18.0.20"));
    WriteExchanges writes(QString(), WriteExchanges::loopWait());
    // The configured broadcast address alone, not the adapters'.
    QVERIFY(writes.beginIpSetup({target}, SelectBroadcastDestinations(QStringLiteral("198.18.0.255"), {SecondGatewayIp})));
    QCOMPARE(receivedTelegrams(*m_sim, 1),
             QStringList{QStringLiteral("broadcast 000000fc49502d53455455500000000ac6120014")});
    writes.end();
}

QTEST_GUILESS_MAIN(TestGatewaySocketBroadcastSim)
#include "TestGatewaySocketBroadcastSim.moc"
