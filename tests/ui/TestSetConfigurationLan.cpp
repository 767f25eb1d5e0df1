// "Set configuration" end to end against simulated gateways: the exact
// telegrams the gateway receives, the list after the refresh and the status
// line. Each case waits out the full write times, so CTest runs every case
// as an entry of its own in a virtual LAN of its own (see CMakeLists.txt).

#include "ConfigurationEditor.h"
#include "GatewayListDialog.h"
#include "SimulatorProcess.h"
#include "StringTable.h"
#include "Telegrams.h"
#include "Texts.h"
#include "WriteJournal.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

QString ipOf(int host) { return u"198.18.0.%1"_s.arg(host); }
QString macOf(int host) { return u"00-50-C2-4A-00-%1"_s.arg(host, 2, 16, QLatin1Char('0')).toUpper(); }

// The simulator's log as "<code>@<destination>", e.g. "c6@198.18.0.10".
QStringList telegrams(const QList<QJsonObject> &log)
{
    QStringList result;
    for (const QJsonObject &entry : log)
        result.append(entry.value(u"hex"_s).toString().mid(6, 2) + u'@' + entry.value(u"to"_s).toString());
    return result;
}

// What one refresh of a single identified gateway sends.
QStringList refreshOf(const QString &ip)
{
    return {u"f6@broadcast"_s, u"e5@"_s + ip, u"f8@"_s + ip, u"e6@"_s + ip};
}

QByteArray datagramOf(const QList<QJsonObject> &log, const QString &code)
{
    for (const QJsonObject &entry : log) {
        if (entry.value(u"hex"_s).toString().mid(6, 2) == code)
            return QByteArray::fromHex(entry.value(u"hex"_s).toString().toLatin1());
    }
    return {};
}

QJsonObject locked(QJsonObject gateway, const QString &password)
{
    gateway.insert(u"password"_s, password);
    return gateway;
}

QJsonObject withFault(QJsonObject gateway, const QString &key, const QJsonValue &value)
{
    QJsonObject faults = gateway.value(u"faults"_s).toObject();
    faults.insert(key, value);
    gateway.insert(u"faults"_s, faults);
    return gateway;
}

} // namespace

class TestSetConfigurationLan : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<GatewayListDialog> openWindow(int variant, quint32 filter = 0, const QString &password = {})
    {
        auto window = std::make_unique<GatewayListDialog>();
        window->setVariant(variant, filter);
        window->setBroadcastAddress(u"255.255.255.255"_s);
        window->setProtectionFlag(password.isEmpty() ? 0 : 1);
        window->setPassword(password);
        window->show();
        QSignalSpy finished(window.get(), &GatewayListDialog::refreshFinished);
        window->OnInitDialog();
        if (!finished.wait(60000))
            return nullptr;
        return window;
    }

    // Selects the gateway's row; the editor loads it. Forgets what the
    // simulator received so far.
    bool select(GatewayListDialog &window, const QString &mac)
    {
        const int row = window.editor().firstRowOf(ConfigurationEditor::NormalizeMac(mac));
        if (row < 0)
            return false;
        window.editor().selectRow(row);
        m_sim->clearLog();
        return window.editor().selectedRow() == row;
    }

    static void type(GatewayListDialog &window, Control id, const QString &text)
    {
        qobject_cast<QLineEdit *>(window.control(id))->setText(text);
    }

    static QString status(GatewayListDialog &window)
    {
        return qobject_cast<QLabel *>(window.control(Control::StatusLine))->text();
    }

    // Everything the simulator received, once it stopped receiving.
    QStringList received(int atLeast)
    {
        m_sim->waitForDatagrams(atLeast, 3000);
        QTest::qWait(100);
        return telegrams(m_sim->receivedDatagrams());
    }

    // The run is over: the input lock is released and both large buttons work again.
    static bool unlocked(GatewayListDialog &window)
    {
        return !window.isBusy() && window.control(Control::SetConfigurationButton)->isEnabled()
            && window.control(Control::RefreshButton)->isEnabled();
    }

    // Nothing reached the gateways shortly after a refused press.
    bool nothingSent()
    {
        QTest::qWait(150);
        return m_sim->receivedDatagrams().isEmpty();
    }

    static int rowOf(GatewayListDialog &window, const QString &mac)
    {
        return window.editor().firstRowOf(ConfigurationEditor::NormalizeMac(mac));
    }

    std::unique_ptr<SimulatorProcess> m_sim;

private slots:
    void initTestCase()
    {
        if (!SimulatorProcess::available())
            QSKIP("needs the virtual LAN (scripts/vlan.sh) and the simulator");
        StringTable::setCurrentLanguage(UiLanguage::English);
    }

    void init() { m_sim = std::make_unique<SimulatorProcess>(); }
    void cleanup()
    {
        m_sim.reset();
        StringTable::setCurrentLanguage(UiLanguage::English);
    }

    void changedPortSendsOnlyTheSetupWrite_data()
    {
        QTest::addColumn<QString>("defaultGateway");
        QTest::addColumn<QStringList>("writes");
        QTest::newRow("port only") << QString() << QStringList{u"c6@198.18.0.10"_s};
        QTest::newRow("port and default gateway")
            << u"198.18.0.254"_s << QStringList{u"f8@198.18.0.10"_s, u"fa@198.18.0.10"_s, u"c6@198.18.0.10"_s};
    }
    void changedPortSendsOnlyTheSetupWrite()
    {
        QFETCH(QString, defaultGateway);
        QFETCH(QStringList, writes);
        QVERIFY2(m_sim->start(SimulatorProcess::config({SimulatorProcess::gateway(ipOf(10), macOf(10))})),
                 qPrintable(m_sim->errorString()));
        const auto window = openWindow(2);
        QVERIFY(window);
        QVERIFY(select(*window, macOf(10)));
        type(*window, Control::PortEdit, u"10005"_s);
        type(*window, Control::DefaultGatewayEdit, defaultGateway);

        QElapsedTimer clock;
        clock.start();
        window->OnOK();
        // The setup write holds the window its full 8 s, then the refresh runs.
        QVERIFY2(clock.elapsed() >= 8000 + 1000, qPrintable(QString::number(clock.elapsed())));

        QCOMPARE(received(writes.size() + 4), writes + refreshOf(ipOf(10)));
        const int row = rowOf(*window, macOf(10));
        QCOMPARE(window->editor().selectedRow(), row);
        QCOMPARE(window->gatewayList().cellText(row, GatewayList::PortColumn), u"10005"_s);
        QCOMPARE(qobject_cast<QLineEdit *>(window->control(Control::PortEdit))->text(), u"10005"_s);
        QCOMPARE(qobject_cast<QLineEdit *>(window->control(Control::DefaultGatewayEdit))->text(), defaultGateway);
        QCOMPARE(status(*window), StringTable::text(Text::GatewayReportsNewConfiguration));
        QVERIFY(unlocked(*window));
    }

    void newFixedAddressMovesTheGatewayFirst()
    {
        QVERIFY2(m_sim->start(SimulatorProcess::config({SimulatorProcess::gateway(ipOf(10), macOf(10))})),
                 qPrintable(m_sim->errorString()));
        const auto window = openWindow(2);
        QVERIFY(window);
        QVERIFY(select(*window, macOf(10)));
        type(*window, Control::IpAddressEdit, u"198.18.000.077"_s);
        window->OnOK();

        const QStringList expected = QStringList{u"fc@broadcast"_s, u"c6@198.18.0.77"_s} + refreshOf(ipOf(77));
        QCOMPARE(received(expected.size()), expected);
        // The new address and the MAC's last two bytes.
        QCOMPARE(datagramOf(m_sim->receivedDatagrams(), u"fc"_s),
                 BuildIpSetup(ParseDottedAddress(ipOf(77)), 0x00, 0x0A));
        const int row = rowOf(*window, macOf(10));
        QCOMPARE(window->gatewayList().cellText(row, GatewayList::IpAddressColumn), ipOf(77));
        QCOMPARE(window->editor().selectedRow(), row);
        QCOMPARE(status(*window), StringTable::text(Text::GatewayReportsNewConfiguration));
    }

    void emptiedAddressSwitchesToDhcp()
    {
        // It keeps its default gateway whatever the run writes, as a gateway
        // given one by a DHCP server does.
        QJsonObject gateway = withFault(SimulatorProcess::gateway(ipOf(10), macOf(10)), u"ignore"_s,
                                        QJsonArray{u"networkWrite"_s});
        gateway.insert(u"defaultGateway"_s, ipOf(1));
        QVERIFY2(m_sim->start(SimulatorProcess::config({gateway})), qPrintable(m_sim->errorString()));
        const auto window = openWindow(2);
        QVERIFY(window);
        QVERIFY(select(*window, macOf(10)));
        type(*window, Control::IpAddressEdit, QString());
        type(*window, Control::PortEdit, u"10007"_s);
        window->OnOK();

        // The simulator hands out the first free address from .200 on.
        const QString leased = ipOf(200);
        // The fields the refresh emptied go out on their own; the user typed none.
        const QStringList expected = QStringList{u"fc@broadcast"_s} + refreshOf(leased)
            + QStringList{u"f8@"_s + leased, u"fa@"_s + leased, u"c6@"_s + leased} + refreshOf(leased);
        QCOMPARE(received(expected.size()), expected);
        QCOMPARE(datagramOf(m_sim->receivedDatagrams(), u"fc"_s), BuildIpSetup(0, 0x00, 0x0A));
        const int row = rowOf(*window, macOf(10));
        QCOMPARE(window->gatewayList().cellText(row, GatewayList::IpAddressColumn), leased + u" (DHCP)"_s);
        QCOMPARE(window->gatewayList().cellText(row, GatewayList::PortColumn), u"10007"_s);
        // The written address is the bare dotted quad, the row shows " (DHCP)":
        // the gateway is not selected again.
        QCOMPARE(window->editor().selectedRow(), -1);
        // The rebuilt list left the editor empty.
        QCOMPARE(qobject_cast<QLineEdit *>(window->control(Control::MacEdit))->text(), QString());
        QVERIFY(!window->control(Control::MacEdit)->isEnabled());
        QCOMPARE(status(*window), StringTable::text(Text::GatewayReportsNewConfiguration));
    }

    void oemIdentityIsWrittenFirst()
    {
        QVERIFY2(m_sim->start(SimulatorProcess::config({SimulatorProcess::gateway(ipOf(10), macOf(10))})),
                 qPrintable(m_sim->errorString()));
        const auto window = openWindow(0);
        QVERIFY(window);
        QVERIFY(select(*window, macOf(10)));
        auto *oemType = qobject_cast<QComboBox *>(window->control(Control::OemTypeCombo));
        oemType->setCurrentIndex(oemType->findText(u"(PLN KNX IP Gateway)"_s, Qt::MatchEndsWith));
        auto *setOem = qobject_cast<QCheckBox *>(window->control(Control::SetOemCheck));
        setOem->click();
        QVERIFY(setOem->isChecked());
        window->OnOK();

        const QStringList expected = QStringList{u"c5@198.18.0.10"_s, u"c6@198.18.0.10"_s} + refreshOf(ipOf(10));
        QCOMPARE(received(expected.size()), expected);
        const QList<QJsonObject> log = m_sim->receivedDatagrams();
        QCOMPARE(AcceptIdentityWrite(datagramOf(log, u"c5"_s)), std::optional<quint32>(0x00010001));
        QCOMPARE(DecodeSetupRecord(datagramOf(log, u"c6"_s))->typeCode, quint32(0x00010001));
        QVERIFY(!setOem->isChecked());
        const int row = rowOf(*window, macOf(10));
        QCOMPARE(window->gatewayList().cellText(row, GatewayList::TypeColumn), u"PLN KNX IP Gateway"_s);
        QCOMPARE(status(*window), StringTable::text(Text::GatewayReportsNewConfiguration));
    }

    void refusedModeSendsNothing()
    {
        QVERIFY2(m_sim->start(SimulatorProcess::config({SimulatorProcess::gateway(ipOf(10), macOf(10), 0x00000003)})),
                 qPrintable(m_sim->errorString()));
        const auto window = openWindow(2);
        QVERIFY(window);
        QVERIFY(select(*window, macOf(10)));
        qobject_cast<QComboBox *>(window->control(Control::ModeCombo))->setCurrentIndex(1);
        window->OnModeChanged();
        window->OnOK();
        QCOMPARE(status(*window), StringTable::text(Text::ModeNotAvailable));
        QVERIFY(unlocked(*window));
        QVERIFY(nothingSent());
    }

    void protectedWriteLocksTheGateway()
    {
        QVERIFY2(m_sim->start(SimulatorProcess::config({SimulatorProcess::gateway(ipOf(10), macOf(10))})),
                 qPrintable(m_sim->errorString()));
        {
            const auto window = openWindow(2, 0, u"geheim"_s);
            QVERIFY(window);
            QVERIFY(select(*window, macOf(10)));
            type(*window, Control::PortEdit, u"10009"_s);
            window->OnOK();
            QCOMPARE(received(5), QStringList{u"c6@198.18.0.10"_s} + refreshOf(ipOf(10)));
            QVERIFY(DecodeSetupRecord(datagramOf(m_sim->receivedDatagrams(), u"c6"_s))->digest != 0);
            QCOMPARE(window->gatewayList().rowStatus(rowOf(*window, macOf(10))), int(RowStatus::PasswordOk));
            QCOMPARE(status(*window), StringTable::text(Text::GatewayReportsNewConfiguration));
        }
        const auto unprotected = openWindow(2);
        QVERIFY(unprotected);
        QCOMPARE(unprotected->gatewayList().rowStatus(rowOf(*unprotected, macOf(10))), int(RowStatus::WrongPassword));
    }

    void checksRefuseBeforeSending()
    {
        // The EnOcean variant: a locked, a corrupt and a foreign gateway.
        const QJsonObject enOceanLocked = locked(SimulatorProcess::gateway(ipOf(10), macOf(10), 0x00020001), u"x"_s);
        const QJsonObject enOceanCorrupt =
            withFault(SimulatorProcess::gateway(ipOf(11), macOf(11), 0x00020001), u"setupReply"_s, u"badChecksum"_s);
        const QJsonObject foreign = SimulatorProcess::gateway(ipOf(12), macOf(12), 0x00000001);
        // Ends in the same two MAC bytes as the locked one.
        const QString twin = u"00-50-C2-4B-00-0A"_s;
        const QJsonObject twinGateway = SimulatorProcess::gateway(ipOf(13), twin, 0x00020001);
        QVERIFY2(m_sim->start(SimulatorProcess::config({enOceanLocked, enOceanCorrupt, foreign, twinGateway})),
                 qPrintable(m_sim->errorString()));
        const auto window = openWindow(3, 0x00020001);
        QVERIFY(window);

        const struct
        {
            QString row;
            QString typedMac; // empty: the row's own
            int status;
        } cases[] = {
            {macOf(10), {}, Text::GatewayPasswordProtected},
            {macOf(12), {}, Text::UnknownDeviceType},
            {macOf(10), u"00 50 c2 4a 00 99"_s, Text::UnknownMacAddress},
            {macOf(11), {}, Text::CorruptDeviceContent},
            {macOf(10), u"00:50:C2:4A:00:0A"_s, Text::WrongMacAddress},
        };
        for (const auto &check : cases) {
            QVERIFY(select(*window, check.row));
            if (!check.typedMac.isEmpty())
                type(*window, Control::MacEdit, check.typedMac);
            window->OnOK();
            QCOMPARE(status(*window), StringTable::text(check.status));
            QVERIFY(unlocked(*window));
            QVERIFY(nothingSent());
        }
        // A new address would reach both gateways that end in these bytes.
        QVERIFY(select(*window, twin));
        type(*window, Control::IpAddressEdit, ipOf(77));
        window->OnOK();
        QCOMPARE(status(*window), StringTable::text(Text::SharedMacTail).arg(twin, macOf(10)));
        QVERIFY(unlocked(*window));
        QVERIFY(nothingSent());
    }

    void unidentifiedGatewayGetsOnlyItsAddress()
    {
        QVERIFY2(m_sim->start(SimulatorProcess::config({SimulatorProcess::gateway(ipOf(10), macOf(10), 0x00000002)})),
                 qPrintable(m_sim->errorString()));
        const auto window = openWindow(0);
        QVERIFY(window);
        QVERIFY(select(*window, macOf(10)));
        QVERIFY(!window->control(Control::ModeCombo)->isVisibleTo(window.get()));
        type(*window, Control::IpAddressEdit, ipOf(78));
        // Its read stopped at the identity, so the list knows no subnet to
        // compare with: no network write, whatever the fields hold.
        type(*window, Control::SubnetMaskEdit, u"255.255.0.0"_s);
        window->OnOK();

        // No setup write either; the unknown type again stops the refresh's
        // read after the identity request.
        const QStringList expected{u"fc@broadcast"_s, u"f6@broadcast"_s, u"e5@198.18.0.78"_s};
        QCOMPARE(received(expected.size()), expected);
        QCOMPARE(window->gatewayList().cellText(rowOf(*window, macOf(10)), GatewayList::IpAddressColumn), ipOf(78));
    }

    void scanVariantReadsOnlyTheWrittenRowAgain()
    {
        QJsonObject scan = SimulatorProcess::gateway(ipOf(10), macOf(10), 0x00030001);
        QJsonObject setup = scan.value(u"setup"_s).toObject();
        // A mode the scan gateways do not run in: the editor still shows and
        // writes UDP Active.
        setup.insert(u"mode"_s, 0);
        scan.insert(u"setup"_s, setup);
        QVERIFY2(m_sim->start(SimulatorProcess::config({scan})), qPrintable(m_sim->errorString()));
        const auto window = openWindow(5, 0x00030001);
        QVERIFY(window);
        QVERIFY(select(*window, macOf(10)));
        type(*window, Control::PortEdit, u"10013"_s);
        window->OnOK();
        // No discovery: the row is read again in place.
        QCOMPARE(received(4), (QStringList{u"c6@198.18.0.10"_s, u"e5@198.18.0.10"_s, u"f8@198.18.0.10"_s,
                                           u"e6@198.18.0.10"_s}));
        QCOMPARE(DecodeSetupRecord(datagramOf(m_sim->receivedDatagrams(), u"c6"_s))->mode, quint8(2));
        QCOMPARE(window->gatewayList().cellText(0, GatewayList::PortColumn), u"10013"_s);
        QCOMPARE(window->editor().selectedRow(), 0);
        QCOMPARE(qobject_cast<QLineEdit *>(window->control(Control::PortEdit))->text(), u"10013"_s);
        QCOMPARE(status(*window), StringTable::text(Text::GatewayReportsNewConfiguration));
    }

    void ignoredSetupWriteIsReported()
    {
        const QJsonObject deaf =
            withFault(SimulatorProcess::gateway(ipOf(10), macOf(10)), u"ignore"_s, QJsonArray{u"setupWrite"_s});
        QVERIFY2(m_sim->start(SimulatorProcess::config({deaf})), qPrintable(m_sim->errorString()));
        const auto window = openWindow(2);
        QVERIFY(window);
        QVERIFY(select(*window, macOf(10)));
        type(*window, Control::PortEdit, u"10011"_s);
        window->OnOK();
        QCOMPARE(received(5), QStringList{u"c6@198.18.0.10"_s} + refreshOf(ipOf(10)));
        QCOMPARE(window->gatewayList().cellText(rowOf(*window, macOf(10)), GatewayList::PortColumn), u"10001"_s);
        QCOMPARE(status(*window), StringTable::text(Text::GatewayReportsOtherPort));
    }

    void onlyReadOrTypedValuesAreSentAndConfirmed()
    {
        // In German, so that the texts are checked in the second language too.
        StringTable::setCurrentLanguage(UiLanguage::German);
        const QJsonObject unidentified = SimulatorProcess::gateway(ipOf(10), macOf(10), 0x00000002);
        const QJsonObject unread =
            withFault(SimulatorProcess::gateway(ipOf(11), macOf(11)), u"ignore"_s, QJsonArray{u"setup"_s});
        const QJsonObject deafToOem = withFault(SimulatorProcess::gateway(ipOf(12), macOf(12)), u"ignore"_s,
                                                QJsonArray{u"identityWrite"_s});
        const QJsonObject deafToIpSetup = withFault(SimulatorProcess::gateway(ipOf(13), macOf(13), 0x00000002),
                                                    u"ignore"_s, QJsonArray{u"ipSetup"_s});
        QJsonObject tcpClient = SimulatorProcess::gateway(ipOf(14), macOf(14));
        tcpClient.insert(u"setup"_s, QJsonObject{{u"mode"_s, 1}});
        QVERIFY2(m_sim->start(SimulatorProcess::config({unidentified, unread, deafToOem, deafToIpSetup, tcpClient})),
                 qPrintable(m_sim->errorString()));
        const auto window = openWindow(0);
        QVERIFY(window);
        const auto codes = [this] {
            QStringList result = received(1);
            for (QString &entry : result)
                entry.truncate(2);
            return result;
        };

        // Its configuration reply never came: the record is neither sent
        // from empty fields nor half typed, nor with mode and serial line at
        // the first entries the editor shows; only when all are chosen.
        QVERIFY(select(*window, macOf(11)));
        auto *mode = qobject_cast<QComboBox *>(window->control(Control::ModeCombo));
        const struct { QString port, address; int mode; } halfRecords[] = {
            {{}, {}, 0}, {u"10001"_s, {}, 0}, {u"10001"_s, u"0.0.0.0"_s, 0}, {u"10001"_s, u"0.0.0.0"_s, 2}};
        for (const auto &half : halfRecords) {
            type(*window, Control::PortEdit, half.port);
            type(*window, Control::RemoteAddressEdit, half.address);
            type(*window, Control::AllowedMaskEdit, half.address);
            mode->setCurrentIndex(half.mode);
            window->OnOK();
            QCOMPARE(status(*window), StringTable::text(Text::ConfigurationNotRead));
            QVERIFY(unlocked(*window));
            QVERIFY(nothingSent());
        }
        for (Control id : ControlGroup::SerialCombos)
            qobject_cast<QComboBox *>(window->control(id))->setCurrentIndex(1);
        window->OnOK();
        QCOMPARE(codes().value(0), u"c6"_s);
        m_sim->clearLog();
        // A new address alone moves it without a record of zeros.
        type(*window, Control::PortEdit, QString());
        type(*window, Control::IpAddressEdit, ipOf(79));
        window->OnOK();
        const QStringList moveRun = codes();
        QCOMPARE(moveRun.mid(0, 2), (QStringList{u"fc"_s, u"f6"_s}));
        QVERIFY2(!moveRun.contains(u"c6"_s), qPrintable(moveRun.join(u' ')));
        QCOMPARE(status(*window), StringTable::text(Text::GatewayReportsNewConfiguration));

        // Unidentified, switched to DHCP with a typed subnet mask it never
        // reported: only IP-SETUP goes out, and the mask is named as not written.
        QVERIFY(select(*window, macOf(10)));
        type(*window, Control::IpAddressEdit, QString());
        type(*window, Control::SubnetMaskEdit, u"255.255.0.0"_s);
        window->OnOK();
        const QStringList dhcpRun = codes();
        QCOMPARE(dhcpRun.value(0), u"fc"_s);
        QVERIFY2(!dhcpRun.contains(u"c6"_s) && !dhcpRun.contains(u"fa"_s), qPrintable(dhcpRun.join(u' ')));
        QCOMPARE(window->gatewayList().cellText(rowOf(*window, macOf(10)), GatewayList::IpAddressColumn), ipOf(200));
        QCOMPARE(status(*window), StringTable::text(Text::SubnetNotWritten));
        // One deaf to IP-SETUP stays where it was: not confirmed.
        QVERIFY(select(*window, macOf(13)));
        type(*window, Control::IpAddressEdit, QString());
        window->OnOK();
        QCOMPARE(status(*window), StringTable::text(Text::GatewayReportsOtherAddress));

        // An OEM identity the gateway ignores is not reported as taken.
        QVERIFY(select(*window, macOf(12)));
        auto *oemType = qobject_cast<QComboBox *>(window->control(Control::OemTypeCombo));
        oemType->setCurrentIndex(oemType->findText(u"(PLN KNX IP Gateway)"_s, Qt::MatchEndsWith));
        qobject_cast<QCheckBox *>(window->control(Control::SetOemCheck))->click();
        window->OnOK();
        QCOMPARE(codes().mid(0, 2), (QStringList{u"c5"_s, u"c6"_s}));
        QCOMPARE(status(*window), StringTable::text(Text::GatewayReportsOtherType));
        QVERIFY(unlocked(*window));

        // Read as TCP client (no mask kept), set to TCP-Server; the port is held during the
        // identity write: the record goes out with mask 0.0.0.0, the identity is named as unsent.
        QVERIFY(select(*window, macOf(14)));
        mode->setCurrentIndex(0);
        window->OnModeChanged();
        qobject_cast<QCheckBox *>(window->control(Control::SetOemCheck))->setChecked(true);
        oemType->setCurrentIndex(0); // its own type: the record alone would read back as confirmed
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress::AnyIPv4, 30718));
        QTimer::singleShot(2000, &holder, &QUdpSocket::close);
        window->OnOK();
        const auto record = DecodeSetupRecord(datagramOf(m_sim->receivedDatagrams(), u"c6"_s));
        QVERIFY(record && record->mode == 0 && record->allowedMask == 0);
        QCOMPARE(status(*window), StringTable::text(Text::IdentityNotSent));
    }

    void takenAddressAndUnwritableJournalSendNothing()
    {
        QVERIFY2(m_sim->start(SimulatorProcess::config({SimulatorProcess::gateway(ipOf(10), macOf(10))})),
                 qPrintable(m_sim->errorString()));
        // Another device on the link holds .50.
        QCOMPARE(QProcess::execute(u"ip"_s, {u"netns"_s, u"exec"_s, qEnvironmentVariable("GWLAN_GATEWAY_NS"), u"ip"_s,
                                             u"addr"_s, u"add"_s, ipOf(50) + u"/24"_s, u"dev"_s,
                                             qEnvironmentVariable("GWLAN_GATEWAY_IF")}),
                 0);
        const auto window = openWindow(2);
        QVERIFY(window);
        QVERIFY(select(*window, macOf(10)));
        type(*window, Control::IpAddressEdit, ipOf(50));
        window->OnOK();
        QVERIFY2(status(*window).contains(ipOf(50)), qPrintable(status(*window)));
        QVERIFY(unlocked(*window));
        QVERIFY(nothingSent());

        // The second press would write, but not without its snapshot.
        const QByteArray state = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", "/proc/no-such-folder");
        window->OnOK();
        qputenv("XDG_STATE_HOME", state);
        QVERIFY2(status(*window).contains(u"/proc/no-such-folder"_s), qPrintable(status(*window)));
        QVERIFY(nothingSent());

        window->OnOK();
        QCOMPARE(received(1).value(0), u"fc@broadcast"_s);
        const QList<QJsonObject> journal = WriteJournal().entries();
        QVERIFY(!journal.isEmpty());
        QCOMPARE(journal.first().value(u"read"_s).toObject().value(u"ip"_s).toString(), ipOf(10));
    }
};

QTEST_MAIN(TestSetConfigurationLan)
#include "TestSetConfigurationLan.moc"
