// The configuration editor and the checks of "Set configuration" that stop
// before anything is sent, without a network: rows are put into the list by
// hand, and the window's exchanges go to a fake network.

#include "ConfigurationEditor.h"
#include "DialogBuilder.h"
#include "FakeExchange.h"
#include "GatewayListDialog.h"
#include "GatewayNotifyEvent.h"
#include "StringTable.h"
#include "Texts.h"
#include "WriteJournal.h"

#include <QCheckBox>
#include <QComboBox>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

struct RowText
{
    QString ip = u"10.0.0.7"_s;
    QString mac = u"00-50-C2-4A-00-07"_s;
    quint32 type = 0x00000001;
    QString mode = u"TCP-Server"_s;
    QString port = u"10001"_s;
    QString subnet = u"Host-Bits: 8 / GW: 10.0.0.1"_s;
    QString baud = u"9600"_s;
    QString parity = u"0"_s;
    RowStatus status = RowStatus::NoPassword;
    QString firmware = u"1.0"_s;
};

constexpr quint32 Filters[] = {0, 0x00010001, 0, 0x00020001, 0x00000003, 0x00030001, 0x00030002};

} // namespace

class TestConfigurationEditor : public QObject
{
    Q_OBJECT

private:
    // An initialised window whose first refresh is withdrawn, so the rows a
    // test adds stay.
    std::unique_ptr<GatewayListDialog> makeWindow(int variant, UiLanguage language = UiLanguage::English)
    {
        StringTable::setCurrentLanguage(language);
        auto window = std::make_unique<GatewayListDialog>();
        window->setExchangeFactory(m_network.factory());
        window->setVariant(variant, Filters[variant]);
        window->OnInitDialog();
        QCoreApplication::removePostedEvents(window.get(), GatewayNotifyEvent::type());
        return window;
    }

    static int addRow(GatewayListDialog &window, const RowText &text)
    {
        GatewayList &list = window.gatewayList();
        const int row = list.appendRow();
        list.setCellText(row, GatewayList::IpAddressColumn, text.ip);
        list.setCellText(row, GatewayList::MacAddressColumn, text.mac);
        list.setCellText(row, GatewayList::FirmwareColumn, text.firmware);
        // What the row writer keeps of the replies beside the texts.
        GatewayReading *reading = list.mutableReading(row);
        reading->mac = text.mac;
        reading->address = ParseDottedAddress(text.ip);
        reading->firmware = text.firmware;
        if (text.type == 0)
            return row;
        reading->networkRead = !text.subnet.isEmpty();
        list.setTypeCode(row, text.type);
        list.setCellText(row, GatewayList::TypeColumn, u"GW"_s);
        list.setCellText(row, GatewayList::ModeColumn, text.mode);
        list.setCellText(row, GatewayList::PortColumn, text.port);
        list.setCellText(row, GatewayList::RemoteIpColumn, u"10.0.0.99"_s);
        list.setCellText(row, GatewayList::IpMaskColumn, u"255.255.255.0"_s);
        list.setCellText(row, GatewayList::SubnetGatewayColumn, text.subnet);
        list.setCellText(row, GatewayList::BaudRateColumn, text.baud);
        list.setCellText(row, GatewayList::DataBitsColumn, u"7"_s);
        list.setCellText(row, GatewayList::StopBitsColumn, u"2"_s);
        list.setCellText(row, GatewayList::ParityColumn, text.parity);
        list.setCellText(row, GatewayList::FlowControlColumn, u"1"_s);
        list.setRowStatus(row, text.status);
        return row;
    }

    static QString text(GatewayListDialog &window, Control id)
    {
        if (auto *edit = qobject_cast<QLineEdit *>(window.control(id)))
            return edit->text();
        if (auto *label = qobject_cast<QLabel *>(window.control(id)))
            return label->text();
        return qobject_cast<QComboBox *>(window.control(id))->currentText();
    }
    static void type(GatewayListDialog &window, Control id, const QString &value)
    {
        qobject_cast<QLineEdit *>(window.control(id))->setText(value);
    }
    static int index(GatewayListDialog &window, Control id)
    {
        return qobject_cast<QComboBox *>(window.control(id))->currentIndex();
    }
    static bool shown(GatewayListDialog &window, Control id)
    {
        return window.control(id)->isVisibleTo(&window);
    }
    static QString status(GatewayListDialog &window) { return text(window, Control::StatusLine); }

    // Where a control shows something: for a one-line label the stretch its
    // text covers, for anything else the whole control.
    static bool isOneLineText(QWidget *widget)
    {
        auto *label = qobject_cast<QLabel *>(widget);
        return label && !label->wordWrap() && !label->text().isEmpty() && label->frameWidth() == 0;
    }
    static QRect inkOf(QWidget *widget)
    {
        auto *label = qobject_cast<QLabel *>(widget);
        if (!isOneLineText(widget))
            return widget->geometry();
        const QRect place = label->geometry();
        const int width = qMin(place.width(), label->fontMetrics().horizontalAdvance(label->text()));
        if (label->alignment() & Qt::AlignRight)
            return QRect(place.right() - width + 1, place.top(), width, place.height());
        if (label->alignment() & Qt::AlignHCenter)
            return QRect(place.center().x() - width / 2, place.top(), width, place.height());
        return QRect(place.left(), place.top(), width, place.height());
    }
    // Between two texts about one blank of the dialog font, the least that
    // keeps them apart; a framed control's border separates by itself, so
    // there a little air is enough.
    static int minimumGap(QWidget *other) { return isOneLineText(other) ? 3 : 2; }

    FakeNetwork m_network;

private slots:
    void cleanup()
    {
        StringTable::setCurrentLanguage(UiLanguage::English);
        m_network.log.clear();
    }

    void identifiedRowIsLoaded()
    {
        const auto window = makeWindow(2);
        RowText row;
        row.ip = u"10.0.0.7 (DHCP)"_s;
        row.mode = u"udp passive"_s;
        window->editor().selectRow(addRow(*window, row));
        QCOMPARE(text(*window, Control::IpAddressEdit), u"10.0.0.7 (DHCP)"_s);
        QCOMPARE(text(*window, Control::MacEdit), u"00-50-C2-4A-00-07"_s);
        QCOMPARE(text(*window, Control::SubnetMaskEdit), u"255.255.255.0"_s);
        QCOMPARE(text(*window, Control::DefaultGatewayEdit), u"10.0.0.1"_s);
        QCOMPARE(index(*window, Control::ModeCombo), 3); // letter case ignored
        QCOMPARE(text(*window, Control::PortEdit), u"10001"_s);
        QCOMPARE(text(*window, Control::RemoteAddressEdit), u"10.0.0.99"_s);
        QCOMPARE(text(*window, Control::AllowedMaskEdit), u"255.255.255.0"_s);
        QCOMPARE(text(*window, Control::ModeDescription), u"IP-GW does not send value telegrams"_s);
        QVERIFY(window->control(Control::ModeCombo)->isEnabled());
        QVERIFY(!shown(*window, Control::BaudRateCombo)); // not a serial gateway in this variant
    }

    void subnetColumnFillsMaskAndGateway_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("gateway");
        QTest::newRow("no host bits, no gateway") << u"Host-Bits: 0"_s << QString() << QString();
        QTest::newRow("16 host bits") << u"Host-Bits: 16 / GW: 10.0.0.1"_s << u"255.255.0.0"_s << u"10.0.0.1"_s;
        QTest::newRow("40 host bits") << u"Host-Bits: 40"_s << u"0.0.0.0"_s << QString();
    }
    void subnetColumnFillsMaskAndGateway()
    {
        QFETCH(QString, column);
        QFETCH(QString, mask);
        QFETCH(QString, gateway);
        const auto window = makeWindow(2);
        RowText row;
        row.subnet = column;
        window->editor().selectRow(addRow(*window, row));
        QCOMPARE(text(*window, Control::SubnetMaskEdit), mask);
        QCOMPARE(text(*window, Control::DefaultGatewayEdit), gateway);
    }

    void serialGroupFollowsVariantAndType_data()
    {
        QTest::addColumn<int>("variant");
        QTest::addColumn<quint32>("type");
        QTest::addColumn<bool>("serialShown");
        QTest::newRow("OEM variant, any type") << 0 << quint32(0x00000001) << true;
        QTest::newRow("serial type in variant 2") << 2 << quint32(0x00030002) << true;
        QTest::newRow("other type in variant 2") << 2 << quint32(0x00000001) << false;
        QTest::newRow("serial variant") << 6 << quint32(0x00030002) << true;
    }
    void serialGroupFollowsVariantAndType()
    {
        QFETCH(int, variant);
        QFETCH(quint32, type);
        QFETCH(bool, serialShown);
        const auto window = makeWindow(variant);
        RowText row;
        row.type = type;
        row.baud = u"250000"_s; // not an entry: the first one is selected
        row.parity = u"3"_s;    // beyond the last entry: none selected
        window->editor().selectRow(addRow(*window, row));
        for (Control id : ControlGroup::Serial)
            QCOMPARE(shown(*window, id), serialShown);
        if (!serialShown)
            return;
        QCOMPARE(text(*window, Control::BaudRateCombo), u"300"_s);
        QCOMPARE(text(*window, Control::DataBitsCombo), u"7"_s);
        QCOMPARE(text(*window, Control::StopBitsCombo), u"2"_s);
        QCOMPARE(index(*window, Control::ParityCombo), -1);
        QCOMPARE(index(*window, Control::FlowControlCombo), 1);
    }

    void movingTheSelectionNeverShowsAnotherGatewaysSerialSettings()
    {
        const auto window = makeWindow(2);
        RowText serial;
        serial.type = 0x00030002;
        serial.baud = u"115200"_s;
        const int serialRow = addRow(*window, serial);
        RowText plain;
        plain.mac = u"00-50-C2-4A-00-08"_s;
        const int plainRow = addRow(*window, plain);

        window->editor().selectRow(serialRow);
        QVERIFY(shown(*window, Control::BaudRateCombo));
        QCOMPARE(text(*window, Control::BaudRateCombo), u"115200"_s);
        window->editor().selectRow(plainRow);
        for (Control id : ControlGroup::Serial)
            QVERIFY(!shown(*window, id));
        for (Control id : ControlGroup::SerialCombos)
            QCOMPARE(index(*window, id), -1);
        QCOMPARE(text(*window, Control::MacEdit), plain.mac);
    }

    void arrowKeysLoadTheEditorAsAClickDoes()
    {
        const auto window = makeWindow(2);
        window->show();
        RowText first;
        addRow(*window, first);
        RowText second;
        second.ip = u"10.0.0.8"_s;
        second.mac = u"00-50-C2-4A-00-08"_s;
        addRow(*window, second);
        auto *list = qobject_cast<QTreeView *>(window->control(Control::GatewayList));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(window->editor().selectedRow(), 1);
        QCOMPARE(text(*window, Control::IpAddressEdit), second.ip);
        QTest::keyClick(list, Qt::Key_Up);
        QCOMPARE(text(*window, Control::IpAddressEdit), first.ip);
    }

    void unidentifiedRowKeepsOnlyTheAddressFields_data()
    {
        QTest::addColumn<int>("variant");
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("identified");
        QTest::newRow("no type") << 3 << QString() << false;
        QTest::newRow("no type, but a port in variant 2") << 2 << u"10001"_s << true;
    }
    void unidentifiedRowKeepsOnlyTheAddressFields()
    {
        QFETCH(int, variant);
        QFETCH(QString, port);
        QFETCH(bool, identified);
        const auto window = makeWindow(variant);
        RowText row;
        row.type = 0;
        const int index = addRow(*window, row);
        window->gatewayList().setCellText(index, GatewayList::PortColumn, port);
        window->editor().selectRow(index);
        for (Control id : {Control::MacEdit, Control::IpAddressEdit, Control::SubnetMaskEdit,
                           Control::DefaultGatewayEdit}) {
            QVERIFY(shown(*window, id));
            QVERIFY(window->control(id)->isEnabled());
        }
        QCOMPARE(text(*window, Control::IpAddressEdit), row.ip);
        for (Control id : {Control::ModeCombo, Control::PortEdit, Control::RemoteAddressEdit,
                           Control::AllowedMaskEdit, Control::PortHint})
            QCOMPARE(shown(*window, id), identified);
        QCOMPARE(text(*window, Control::ModeDescription).isEmpty(), !identified);
    }

    void scanVariantFixesTheMode()
    {
        const auto window = makeWindow(5);
        RowText row;
        row.type = 0x00030001;
        row.mode = u"TCP-Server"_s;
        window->editor().selectRow(addRow(*window, row));
        QVERIFY(!window->control(Control::ModeCombo)->isEnabled());
        QCOMPARE(text(*window, Control::ModeDescription), QString());
        QVERIFY(!shown(*window, Control::AllowedMaskEdit));
        QVERIFY(shown(*window, Control::RemoteAddressEdit));
    }

    void oemIdentityPresetsTheRecord()
    {
        const auto window = makeWindow(0);
        window->editor().selectRow(addRow(*window, RowText{}));
        auto *oemType = qobject_cast<QComboBox *>(window->control(Control::OemTypeCombo));
        oemType->setCurrentIndex(oemType->findText(u"(Vantor Scan Gateway)"_s, Qt::MatchEndsWith));
        auto *setOem = qobject_cast<QCheckBox *>(window->control(Control::SetOemCheck));
        setOem->click();
        // The scan gateway only runs UDP Active.
        QCOMPARE(index(*window, Control::ModeCombo), 2);
        QCOMPARE(text(*window, Control::PortEdit), u"10001"_s);
        QCOMPARE(text(*window, Control::RemoteAddressEdit), u"0.0.0.0"_s);
        QCOMPARE(text(*window, Control::AllowedMaskEdit), u"0.0.0.0"_s);
        type(*window, Control::PortEdit, u"4000"_s);
        setOem->click(); // unticking changes nothing
        QCOMPARE(text(*window, Control::PortEdit), u"4000"_s);
    }

    void lookupsByMac()
    {
        const auto window = makeWindow(3);
        RowText dhcp;
        dhcp.ip = u"10.0.0.7 (DHCP)"_s;
        dhcp.status = RowStatus::WrongPassword;
        dhcp.firmware = u"1.5"_s;
        addRow(*window, dhcp);
        RowText again = dhcp;
        again.ip = u"10.0.0.9"_s;
        again.firmware = u"2.0"_s;
        addRow(*window, again);
        ConfigurationEditor &editor = window->editor();
        const QString mac = ConfigurationEditor::NormalizeMac(u"00 50 c2-4a-00-07"_s);
        QCOMPARE(mac, u"0050C24A0007"_s);
        QCOMPARE(editor.LookUpGateway(mac).checkCode, 1);
        QCOMPARE(editor.LookUpGateway(u"0050C24A0099"_s).checkCode, 3);
        QCOMPARE(editor.FindGatewayRow(u"DHCP"_s, mac), 0);
        QCOMPARE(editor.FindGatewayRow(u"10.0.0.7"_s, mac), -1);
        QCOMPARE(editor.FindGatewayRow(std::nullopt, mac), 0);
        QString firmware;
        QCOMPARE(editor.GetFirmwareByMac(mac, &firmware), 1);
        QCOMPARE(firmware, u"2.0"_s);
        QCOMPARE(editor.GetRowStatus(5), -1);
        // The OEM tool writes whatever it finds.
        const auto oemWindow = makeWindow(0);
        addRow(*oemWindow, dhcp);
        QCOMPARE(oemWindow->editor().LookUpGateway(mac).checkCode, 0);
    }

    void outOfRangeInputIsRefusedBeforeSending_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("status");
        const auto row = [](const char *name, Control field, const QString &value, int status) {
            QTest::newRow(name) << int(field) << value << status;
        };
        row("address part above 255", Control::IpAddressEdit, u"192.168.1.300"_s, Text::InvalidGatewayAddress);
        row("negative address part", Control::IpAddressEdit, u"10.-1.0.1"_s, Text::InvalidGatewayAddress);
        row("subnet mask", Control::SubnetMaskEdit, u"255.256.0.0"_s, Text::InvalidSubnetMask);
        row("default gateway", Control::DefaultGatewayEdit, u"10.0.0.1000"_s, Text::InvalidDefaultGateway);
        row("port above 65535", Control::PortEdit, u"70000"_s, Text::InvalidPort);
        row("negative port", Control::PortEdit, u"-1"_s, Text::InvalidPort);
        row("remote address", Control::RemoteAddressEdit, u"1.2.3.999"_s, Text::InvalidRemoteAddress);
        row("allowed mask", Control::AllowedMaskEdit, u"300.0.0.0"_s, Text::InvalidAllowedMask);
    }
    void outOfRangeInputIsRefusedBeforeSending()
    {
        QFETCH(int, field);
        QFETCH(QString, value);
        QFETCH(int, status);
        const auto window = makeWindow(2);
        window->editor().selectRow(addRow(*window, RowText{}));
        type(*window, Control::IpAddressEdit, u"192.168.001.010"_s);
        type(*window, Control(field), value);
        window->OnOK();
        QCOMPARE(this->status(*window), StringTable::text(status));
        // Nothing sent, nothing rewritten, nothing locked.
        QVERIFY(m_network.log.isEmpty());
        QCOMPARE(text(*window, Control::IpAddressEdit),
                 Control(field) == Control::IpAddressEdit ? value : u"192.168.001.010"_s);
        QVERIFY(!window->isBusy() && window->control(Control::RefreshButton)->isEnabled()
                && window->control(Control::SetConfigurationButton)->isEnabled());
    }

    void modeCheckHonoursTheFirstEnOceanFirmware_data()
    {
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<bool>("refused");
        QTest::newRow("firmware 2.0 only TCP-Server") << u"2.0"_s << true;
        QTest::newRow("firmware 1.x takes every mode") << u"1.3"_s << false;
    }
    void modeCheckHonoursTheFirstEnOceanFirmware()
    {
        QFETCH(QString, firmware);
        QFETCH(bool, refused);
        const auto window = makeWindow(3);
        RowText row;
        row.type = 0x00020001;
        row.firmware = firmware;
        row.mode = u"UDP Active"_s;
        window->editor().selectRow(addRow(*window, row));
        window->OnOK();
        if (refused) {
            QCOMPARE(status(*window), StringTable::text(Text::ModeNotAvailable));
            QVERIFY(m_network.log.isEmpty());
        } else {
            QCOMPARE(m_network.log.value(0), u"setupwrite 10.0.0.7 0050C24A0007 00020001"_s);
        }
    }

    void enterStartsTheWriteAndKeepsTheWindowOpen()
    {
        const auto window = makeWindow(2);
        window->show();
        window->editor().selectRow(addRow(*window, RowText{}));
        type(*window, Control::MacEdit, u"00:50:C2:4A:00:07"_s);
        auto *mac = window->control(Control::MacEdit);
        mac->setFocus();
        QTest::keyClick(mac, Qt::Key_Return);
        QCOMPARE(status(*window), StringTable::text(Text::WrongMacAddress));
        QVERIFY(window->isVisible());
        QCOMPARE(window->result(), 0);
    }

    void writeRefreshesWhileLockedAndHandlesOneAcknowledgement()
    {
        // An unidentified gateway with a known subnet: only the network write
        // runs (it ends 200 ms after its acknowledgement), then the refresh.
        const auto window = makeWindow(0);
        RowText row;
        row.type = 0;
        const int index = addRow(*window, row);
        window->gatewayList().setCellText(index, GatewayList::SubnetGatewayColumn, u"Host-Bits: 8"_s);
        window->gatewayList().mutableReading(index)->networkRead = true;
        window->editor().selectRow(index);
        type(*window, Control::DefaultGatewayEdit, u"10.0.0.254"_s);
        window->setBroadcastAddress(u"255.255.255.255"_s);
        window->OnOK();
        // The fake answers twice; the second answer comes in the tail and
        // must go unhandled.
        QCOMPARE(m_network.log.mid(0, 4), (QStringList{u"networkwrite 10.0.0.7"_s, u"acknowledged"_s, u"close"_s,
                                                       u"discover 255.255.255.255"_s}));
        QCOMPARE(m_network.log.count(u"acknowledged"_s), 1);
        QVERIFY(!window->isBusy() && window->control(Control::RefreshButton)->isEnabled()
                && window->control(Control::SetConfigurationButton)->isEnabled());
        // The fake network knows no gateway, so the refresh finds none.
        QCOMPARE(window->gatewayList().count(), 0);
        QCOMPARE(status(*window), StringTable::text(Text::GatewayNotFoundAgain));
    }

    void writeStopsAtAnUnsentAddressOrAMissingLease_data()
    {
        QTest::addColumn<bool>("portHeld");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("journaled");
        QTest::newRow("IP-SETUP not sent") << true << int(Text::SendingFailed) << u"notSent"_s;
        QTest::newRow("lease not found") << false << int(Text::MissingGatewayAddress) << u"stopped"_s;
    }
    void writeStopsAtAnUnsentAddressOrAMissingLease()
    {
        // Switched to DHCP with a new port; the fake network knows no
        // gateway, so the refresh that looks for the lease finds none.
        QFETCH(bool, portHeld);
        QFETCH(int, status);
        QFETCH(QString, journaled);
        const auto window = makeWindow(2);
        window->editor().selectRow(addRow(*window, RowText{}));
        type(*window, Control::IpAddressEdit, QString());
        type(*window, Control::PortEdit, u"10005"_s);
        window->setBroadcastAddress(u"255.255.255.255"_s);
        m_network.portHeld = portHeld;
        window->OnOK();
        m_network.portHeld = false;
        QCOMPARE(this->status(*window), StringTable::text(status));
        // Nothing is written after the stop, nor read again to confirm it.
        QVERIFY2(!m_network.log.join(u' ').contains(u"write"_s), qPrintable(m_network.log.join(u' ')));
        QCOMPARE(m_network.log.count(u"discover 255.255.255.255"_s), portHeld ? 0 : 1);
        QVERIFY(!window->isBusy() && window->control(Control::SetConfigurationButton)->isEnabled());
        const QList<QJsonObject> journal = WriteJournal().entries();
        QVERIFY(!journal.isEmpty());
        QCOMPARE(journal.last().value(u"outcome"_s).toString(), journaled);
        QCOMPARE(journal.last().value(u"status"_s).toInt(), status);
    }

    void everyTextFitsItsControlInEveryState_data()
    {
        QTest::addColumn<int>("variant");
        QTest::addColumn<int>("language");
        for (int variant = 0; variant < 7; ++variant) {
            QTest::addRow("variant %d English", variant) << variant << int(UiLanguage::English);
            QTest::addRow("variant %d German", variant) << variant << int(UiLanguage::German);
        }
    }
    void everyTextFitsItsControlInEveryState()
    {
        QFETCH(int, variant);
        QFETCH(int, language);
        const auto window = makeWindow(variant, UiLanguage(language));
        window->setProtectionFlag(1);
        window->UpdatePasswordStatus();
        RowText identified;
        identified.type = Filters[variant] != 0 ? Filters[variant] : 0x00030002;
        const int identifiedRow = addRow(*window, identified);
        RowText unidentified;
        unidentified.type = 0;
        unidentified.mac = u"00-50-C2-4A-00-08"_s;
        const int unidentifiedRow = addRow(*window, unidentified);
        auto *mode = qobject_cast<QComboBox *>(window->control(Control::ModeCombo));

        const auto check = [&](const QString &state) {
            QList<QWidget *> controls;
            for (QWidget *widget : window->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
                const bool container = qobject_cast<QFrame *>(widget) && !qobject_cast<QLabel *>(widget);
                if (!container && widget->isVisibleTo(window.get()))
                    controls.append(widget);
            }
            for (QWidget *widget : std::as_const(controls)) {
                const QString where = state + u": "_s + widget->objectName();
                if (auto *label = qobject_cast<QLabel *>(widget)) {
                    const int room = label->contentsRect().width();
                    if (label->wordWrap())
                        QVERIFY2(label->heightForWidth(room) <= label->contentsRect().height(), qPrintable(where));
                    else
                        QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= room, qPrintable(where));
                } else if (auto *box = qobject_cast<QCheckBox *>(widget)) {
                    QVERIFY2(box->sizeHint().width() <= box->width(), qPrintable(where));
                } else if (auto *button = qobject_cast<QPushButton *>(widget)) {
                    QVERIFY2(button->sizeHint().width() <= button->width(), qPrintable(where));
                }
                for (QWidget *other : std::as_const(controls)) {
                    // The progress bar stands on the status line while a wait runs.
                    const bool statusPair = widget == window->control(Control::StatusLine)
                        && other == window->control(Control::ProgressBar);
                    if (other == widget || statusPair)
                        continue;
                    QVERIFY2(!widget->geometry().intersects(other->geometry()),
                             qPrintable(where + u" overlaps "_s + other->objectName()));
                    // A label's text that merely touches its neighbour reads as one with it.
                    // (The legend's texts stand next to their pictures on purpose.)
                    const auto *picture = qobject_cast<QLabel *>(other);
                    const bool label = isOneLineText(widget) && !(picture && !picture->pixmap().isNull());
                    QVERIFY2(!label || !inkOf(widget).adjusted(-minimumGap(other), 0, minimumGap(other), 0).intersects(inkOf(other)),
                             qPrintable(where + u" runs into "_s + other->objectName()));
                }
            }
        };

        check(u"empty"_s);
        window->editor().selectRow(unidentifiedRow);
        check(u"unidentified"_s);
        window->editor().selectRow(identifiedRow);
        for (int modeIndex = 0; modeIndex < mode->count(); ++modeIndex) {
            mode->setCurrentIndex(modeIndex);
            window->OnModeChanged();
            check(u"mode "_s + mode->currentText());
        }
        for (int number : {Text::GatewayReportsOtherAllowedMask, Text::GatewayReportsOtherSerialSettings,
                           Text::InvalidRemoteAddress, Text::GatewayReportsNewConfiguration, Text::ModeNotAvailable}) {
            window->ShowStatus(number);
            check(u"status "_s + QString::number(number));
        }
    }
};

QTEST_MAIN(TestConfigurationEditor)
#include "TestConfigurationEditor.moc"
