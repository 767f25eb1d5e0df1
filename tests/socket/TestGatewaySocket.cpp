// GatewaySocket on the loopback interface only: requests addressed to
// 127.0.0.1 come back to the socket itself (and must be ignored), and a
// local peer injects replies, so the order and timing of datagrams is exact.
// Nothing here broadcasts; discovery and IP-SETUP are covered on the virtual
// LAN.

#include "FakeGatewaySocketOwner.h"
#include "GatewaySocket.h"
#include "SocketOptions.h"
#include "StringTable.h"
#include "Telegrams.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

#include <memory>

namespace {

const QString Loopback = QStringLiteral("127.0.0.1");
const QString GatewayMac = QStringLiteral("00-50-C2-4A-00-0A");
constexpr quint32 KnxType = 0x00010001;

QByteArray identityReply()
{
    return BuildIdentityReply(KnxType, Telegram::companyText());
}

QByteArray networkReply()
{
    NetworkRecord record;
    record.addressMode = 1;
    record.hostBits = 8;
    record.defaultGateway = {127, 0, 0, 254};
    return BuildNetworkReply(record);
}

QByteArray setupReply()
{
    SetupRecord record;
    record.mode = 0;
    record.port = 10001;
    record.mac = MacAddressFromText(GatewayMac);
    record.typeCode = KnxType;
    record.baudRate = 9600;
    record.dataBits = 8;
    record.stopBits = 1;
    return BuildSetupReply(record);
}

} // namespace

class TestGatewaySocket : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void secondSocketCannotBind_data();
    void secondSocketCannotBind();
    void broadcastOptionClearedForUnicast_data();
    void broadcastOptionClearedForUnicast();
    void unicastNeedsAnAddress_data();
    void unicastNeedsAnAddress();
    void queuedDatagramsRunWholeChain();
    void strayDatagramsIgnored_data();
    void strayDatagramsIgnored();
    void nothingReceivedAfterClose_data();
    void nothingReceivedAfterClose();

private:
    void inject(const QByteArray &datagram);
    // Injects a valid identity reply and waits until the socket moved on:
    // everything injected before it has then been handled.
    void injectMarkerAndWaitForNetworkRequest();

    std::unique_ptr<FakeGatewaySocketOwner> m_owner;
    std::unique_ptr<GatewaySocket> m_socket;
    QUdpSocket m_peer;
    int m_row = -1;
};

void TestGatewaySocket::init()
{
    StringTable::setCurrentLanguage(UiLanguage::English);
    m_owner = std::make_unique<FakeGatewaySocketOwner>();
    GatewayList &list = m_owner->gatewayList();
    m_row = list.appendRow();
    list.setCellText(m_row, GatewayList::IpAddressColumn, Loopback);
    list.setCellText(m_row, GatewayList::MacAddressColumn, GatewayMac);
    m_socket = std::make_unique<GatewaySocket>(*m_owner, m_row);
    QVERIFY(m_peer.bind(QHostAddress(Loopback), 0));
}

void TestGatewaySocket::cleanup()
{
    if (m_socket)
        m_socket->Close();
    m_socket.reset();
    m_owner.reset();
    m_peer.close();
}

void TestGatewaySocket::inject(const QByteArray &datagram)
{
    QCOMPARE(m_peer.writeDatagram(datagram, QHostAddress(Loopback), Telegram::Port),
             qint64(datagram.size()));
}

void TestGatewaySocket::injectMarkerAndWaitForNetworkRequest()
{
    inject(identityReply());
    QTRY_COMPARE_WITH_TIMEOUT(m_socket->requestKind(), GatewaySocket::RequestKind::ReadNetwork, 2000);
    QCoreApplication::sendPostedEvents();
}

void TestGatewaySocket::secondSocketCannotBind_data()
{
    QTest::addColumn<bool>("plainSharedSocket");
    QTest::newRow("second gateway socket") << false;
    QTest::newRow("plain socket asking to share") << true;
}

void TestGatewaySocket::secondSocketCannotBind()
{
    QFETCH(bool, plainSharedSocket);
    QVERIFY(m_socket->SendReadIdentity());

    if (plainSharedSocket) {
        QUdpSocket intruder;
        QVERIFY(!intruder.bind(QHostAddress(QHostAddress::AnyIPv4), Telegram::Port,
                               QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint));
    } else {
        GatewaySocket second(*m_owner, m_row);
        QVERIFY(!second.SendReadIdentity());
        QCOMPARE(second.requestKind(), GatewaySocket::RequestKind::ReadIdentity);
        // Nor may a later request on it go out from some other port.
        QVERIFY(!second.SendReadNetwork());
    }

    // Once the first is closed the port is free again.
    m_socket->Close();
    GatewaySocket third(*m_owner, m_row);
    QVERIFY(third.SendReadIdentity());
}

void TestGatewaySocket::broadcastOptionClearedForUnicast_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<GatewaySocket::RequestKind>("kind");
    QTest::newRow("identity read") << 0 << GatewaySocket::RequestKind::ReadIdentity;
}

void TestGatewaySocket::broadcastOptionClearedForUnicast()
{
    QFETCH(int, operation);
    QFETCH(GatewaySocket::RequestKind, kind);
    bool sent = false;
    switch (operation) {
    case 0: sent = m_socket->SendReadIdentity(); break;
    }
    QVERIFY(sent);
    QCOMPARE(m_socket->requestKind(), kind);
    QCOMPARE(SocketOptions::broadcastEnabled(m_socket->socketDescriptor()), std::optional<bool>(false));
}

void TestGatewaySocket::unicastNeedsAnAddress_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("sent");
    QTest::newRow("dotted") << Loopback << true;
    QTest::newRow("DHCP suffix") << QStringLiteral("127.0.0.1 (DHCP)") << true;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("word") << QStringLiteral("gateway") << false;
    QTest::newRow("any address") << QStringLiteral("0.0.0.0") << false;
    QTest::newRow("limited broadcast") << QStringLiteral("255.255.255.255") << false;
}

void TestGatewaySocket::unicastNeedsAnAddress()
{
    QFETCH(QString, address);
    QFETCH(bool, sent);
    m_owner->gatewayList().setCellText(m_row, GatewayList::IpAddressColumn, address);
    GatewaySocket reader(*m_owner, m_row);
    m_socket->Close();
    QCOMPARE(reader.SendReadIdentity(), sent);
}

void TestGatewaySocket::queuedDatagramsRunWholeChain()
{
    // The whole chain waits in the receive queue before the loop runs: each
    // handler's follow-up must change the kind for the very next datagram.
    QVERIFY(m_socket->SendReadIdentity());
    inject(QByteArray::fromHex("000000fb"));
    inject(identityReply());
    inject(networkReply());
    inject(setupReply());
    QTRY_COMPARE_WITH_TIMEOUT(m_owner->completions(), 1, 2000);

    const GatewayList &list = m_owner->gatewayList();
    QCOMPARE(m_socket->requestKind(), GatewaySocket::RequestKind::ReadSetup);
    QCOMPARE(list.cellText(m_row, GatewayList::TypeColumn), loadString(156));
    QCOMPARE(list.cellText(m_row, GatewayList::SubnetGatewayColumn),
             QStringLiteral("Host-Bits: 8 / GW: 127.0.0.254"));
    QCOMPARE(list.cellText(m_row, GatewayList::PortColumn), QStringLiteral("10001"));
    QCOMPARE(list.rowStatus(m_row), int(RowStatus::NoPassword));
    QCOMPARE(SocketOptions::broadcastEnabled(m_socket->socketDescriptor()), std::optional<bool>(false));
}

void TestGatewaySocket::strayDatagramsIgnored_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QByteArray oversized = identityReply();
    oversized.append(QByteArray(40000, '\0'));
    QByteArray longer = identityReply();
    longer.append('\0');
    QTest::newRow("acknowledgement") << QByteArray::fromHex("000000fb");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("identity reply plus one byte") << longer;
    QTest::newRow("identity reply in 40 kB") << oversized;
    QTest::newRow("identity reply cut short") << identityReply().left(129);
}

void TestGatewaySocket::strayDatagramsIgnored()
{
    QFETCH(QByteArray, datagram);
    QVERIFY(m_socket->SendReadIdentity());
    inject(datagram);
    injectMarkerAndWaitForNetworkRequest();
    QCOMPARE(m_owner->completions(), 0);
    QCOMPARE(m_owner->gatewayList().count(), 1);
}

void TestGatewaySocket::nothingReceivedAfterClose_data()
{
    QTest::addColumn<bool>("deleteSocket");
    QTest::newRow("closed") << false;
    QTest::newRow("closed and deleted") << true;
}

void TestGatewaySocket::nothingReceivedAfterClose()
{
    QFETCH(bool, deleteSocket);
    QVERIFY(m_socket->SendReadIdentity());
    // On loopback the reply is queued at the socket before writeDatagram
    // returns; its notification can only come after the close.
    inject(identityReply());
    m_socket->Close();
    QPointer<GatewaySocket> watched(m_socket.get());
    if (deleteSocket)
        m_socket.reset();

    // The peer's own marker shows that the loop has run past the close.
    QUdpSocket marker;
    QVERIFY(marker.bind(QHostAddress(Loopback), 0));
    QSignalSpy markerArrived(&marker, &QUdpSocket::readyRead);
    QCOMPARE(m_peer.writeDatagram("x", 1, QHostAddress(Loopback), marker.localPort()), qint64(1));
    QVERIFY(markerArrived.wait(2000));

    const GatewayList &list = m_owner->gatewayList();
    QCOMPARE(list.cellText(m_row, GatewayList::TypeColumn), QStringLiteral("???"));
    QCOMPARE(list.typeCode(m_row), 0u);
    QCOMPARE(watched.isNull(), deleteSocket);
    if (!deleteSocket) {
        QCOMPARE(m_socket->requestKind(), GatewaySocket::RequestKind::ReadIdentity);
        QVERIFY(!m_socket->SendReadNetwork());
    }
}

QTEST_GUILESS_MAIN(TestGatewaySocket)
#include "TestGatewaySocket.moc"
