#include "ConfigurationWrite.h"

#include "ConfigurationEditor.h"
#include "DeviceTables.h"
#include "GatewayExchange.h"
#include "GatewayList.h"
#include "GatewayListDialog.h"
#include "StringTable.h"
#include "Texts.h"
#include "GatewayConfiguration.h"
#include "NeighbourProbe.h"
#include "WriteJournal.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QJsonObject>
#include <QUuid>

#include <algorithm>
#include <vector>

namespace {

// Every write holds the window this long; only the network write ends
// early, 200 ms after the gateway's acknowledgement.
constexpr int WriteWaitMs = 8000;
constexpr int ReadWaitMs = 1000;
constexpr int MacLength = 12;
constexpr int FixedModeVariant = 5;
constexpr int TcpClientMode = 1;

const QString Dhcp = QStringLiteral("DHCP");

// A field that holds no number: the gateway never reported it (an empty or
// "???" column) and the user typed none.
bool holdsNoValue(const QString &text)
{
    return std::none_of(text.cbegin(), text.cend(), [](QChar c) { return c.isDigit(); });
}

struct SavedRecordControls
{
    QString port;
    QString remote;
    QString mask;
    std::array<int, 5> serial{};
};

} // namespace

ConfigurationWrite::ConfigurationWrite(GatewayListDialog &window, ConfigurationEditor &editor,
                                       const ControlSet &controls)
    : m_window(window)
    , m_editor(editor)
    , m_controls(controls)
{
}

ConfigurationWrite::~ConfigurationWrite() = default;

void ConfigurationWrite::OnOK()
{
    m_window.ShowStatus(Text::None);
    const QString mac = ConfigurationEditor::NormalizeMac(m_controls.text(Control::MacEdit));
    if (mac.size() != MacLength) {
        m_window.ShowStatus(Text::WrongMacAddress);
        return;
    }
    const bool setupWillRun = m_controls.isShown(Control::ModeCombo);
    if (const int refusal = refusedInput(setupWillRun)) {
        m_window.ShowStatus(refusal);
        return;
    }

    // The IP field in the form every later step uses: a dotted quad or
    // "DHCP", with " (DHCP)" kept when the field had it.
    const QString field = m_controls.text(Control::IpAddressEdit);
    quint32 addressValue = ParseDottedAddress(field);
    QString ipText = addressValue != 0 ? DottedAddressText(addressValue) : Dhcp;
    if (field.contains(QStringLiteral("(DHCP)")))
        ipText += QStringLiteral(" (DHCP)");
    m_controls.setText(Control::IpAddressEdit, ipText);

    const ConfigurationEditor::GatewayCheck check = m_editor.LookUpGateway(mac);
    if (setupWillRun) {
        if (check.checkCode > 0) {
            m_window.ShowStatus(StringBase::CheckMessage + check.checkCode);
            return;
        }
        if (!modeAllowed(mac, check.typeCode)) {
            m_window.ShowStatus(Text::ModeNotAvailable);
            return;
        }
    }
    const bool addressChanges = m_editor.FindGatewayRow(ipText, mac) == -1;
    if (const int refusal = takeRequest(mac, setupWillRun, addressChanges)) {
        m_window.ShowStatus(refusal);
        return;
    }
    if (addressChanges && addressValue != 0 && addressHeldByAnother(mac, ipText, addressValue))
        return;
    if (!recordSnapshot(mac, ipText))
        return;

    m_window.EnableCommands(false);
    m_written = Written{};
    bool lastResult = true;
    bool refreshPending = false;

    if (addressChanges) {
        lastResult = runIpSetup(addressValue, mac);
        m_window.ShowStatus(StringBase::WriteResult + (lastResult ? 1 : 0));
        if (!lastResult) {
            recordOutcome(mac, QStringLiteral("notSent"), StringBase::WriteResult);
            m_window.EnableCommands(true);
            return;
        }
        if (ipText != Dhcp)
            refreshPending = true;
        else
            switchToDhcp(mac, &addressValue, &ipText);
    }

    const auto stopWith = [&](int status) {
        if (refreshPending)
            m_window.OnRefreshList();
        m_window.ShowStatus(status);
        recordOutcome(mac, QStringLiteral("stopped"), status);
        m_window.EnableCommands(true);
    };
    if (addressValue == 0) {
        stopWith(Text::MissingGatewayAddress);
        return;
    }
    if (check.checkCode > 0) {
        stopWith(StringBase::CheckMessage + check.checkCode);
        return;
    }

    auto *oemBox = qobject_cast<QAbstractButton *>(m_controls.widget(Control::SetOemCheck));
    if (oemBox && oemBox->isChecked()) {
        lastResult = runIdentityWrite(ipText);
        m_written.identity = lastResult;
        m_window.ShowStatus(StringBase::WriteResult + (lastResult ? 1 : 0));
        oemBox->setChecked(false);
    }
    if (m_editor.IsSubnetChanged(mac)) {
        runNetworkWrite(ipText);
        m_window.ShowStatus(Text::None);
    }
    if (m_request.setupWrite) {
        lastResult = runSetupWrite(ipText, mac, check.typeCode);
        m_window.ShowStatus(StringBase::WriteResult + (lastResult ? 1 : 0));
    }

    if (lastResult) {
        // The scan gateway variant reads the written row again in place and
        // refreshes the whole list only when that fails.
        const int row = m_editor.FindGatewayRow(std::nullopt, mac);
        const bool reread = m_window.variantIndex() == FixedModeVariant && row != -1 && RereadGatewayRow(row, ipText);
        if (!reread)
            refreshAndSelect(ipText, mac);
        // What the gateway reports now, not merely that datagrams left.
        const int result = outcome(ipText, mac);
        m_window.ShowStatus(result);
        recordOutcome(mac,
                      result == Text::GatewayReportsNewConfiguration ? QStringLiteral("confirmed")
                                                                     : QStringLiteral("notConfirmed"),
                      result);
    } else {
        recordOutcome(mac, QStringLiteral("notSent"), StringBase::WriteResult);
    }
    m_window.EnableCommands(true);
}

int ConfigurationWrite::refusedInput(bool setupWillRun) const
{
    // Each part of an address goes into one byte and a port into two; a value
    // beyond them would reach the gateway as some other address or port.
    const auto address = [this](Control id) { return DottedAddressPartsInRange(m_controls.text(id)); };
    if (!address(Control::IpAddressEdit))
        return Text::InvalidGatewayAddress;
    if (!address(Control::SubnetMaskEdit))
        return Text::InvalidSubnetMask;
    if (!address(Control::DefaultGatewayEdit))
        return Text::InvalidDefaultGateway;
    if (!setupWillRun)
        return Text::None;
    if (!PortNumberInRange(m_controls.text(Control::PortEdit)))
        return Text::InvalidPort;
    if (!address(Control::RemoteAddressEdit))
        return Text::InvalidRemoteAddress;
    if (m_controls.currentIndex(Control::ModeCombo) != TcpClientMode && !address(Control::AllowedMaskEdit))
        return Text::InvalidAllowedMask;
    return Text::None;
}

int ConfigurationWrite::takeRequest(const QString &mac, bool setupShown, bool addressChanges)
{
    const GatewayList &list = m_window.gatewayList();
    const int row = m_editor.firstRowOf(mac);
    const auto column = [&](int index) { return row >= 0 ? list.cellText(row, index) : QString(); };
    const auto *oemBox = qobject_cast<QAbstractButton *>(m_controls.widget(Control::SetOemCheck));

    m_request = Request{};
    m_request.allowedMaskShown = m_controls.isShown(Control::AllowedMaskEdit);
    m_request.serialShown = m_controls.isShown(Control::BaudRateCombo);
    m_request.subnetMaskText = m_controls.text(Control::SubnetMaskEdit);
    m_request.defaultGatewayText = m_controls.text(Control::DefaultGatewayEdit);
    const SubnetColumn shownSubnet = ParseSubnetColumn(column(GatewayList::SubnetGatewayColumn));
    m_request.subnetTyped = m_request.subnetMaskText != shownSubnet.maskText
        || m_request.defaultGatewayText != shownSubnet.gatewayText;
    if (oemBox && oemBox->isChecked())
        m_request.oemType = m_editor.LookUpGateway(mac).typeCode;

    m_request.setupWrite = setupShown;
    if (!setupShown)
        return Text::None;
    // A gateway whose configuration reply never came shows empty record
    // fields; sent as they are, they would become mode 0, port 0 and
    // 0.0.0.0 in the gateway.
    std::vector<std::pair<Control, int>> fields{{Control::PortEdit, GatewayList::PortColumn},
                                                {Control::RemoteAddressEdit, GatewayList::RemoteIpColumn}};
    if (m_request.allowedMaskShown)
        fields.emplace_back(Control::AllowedMaskEdit, GatewayList::IpMaskColumn);
    bool missing = false;
    bool typed = false;
    for (const auto &[control, index] : fields) {
        missing = missing || holdsNoValue(m_controls.text(control));
        typed = typed || m_controls.text(control) != column(index);
    }
    if (!missing)
        return Text::None;
    if (const QComboBox *mode = m_controls.combo(Control::ModeCombo)) {
        const int shownMode = qMax(0, mode->findText(column(GatewayList::ModeColumn), Qt::MatchFixedString));
        typed = typed || (mode->isEnabled() && mode->currentIndex() != shownMode);
    }
    // Half a record is never sent; an untouched unread one is left out when
    // something else is to be written.
    const bool otherWrites = addressChanges || m_request.oemType || m_editor.IsSubnetChanged(mac);
    if (typed || !otherWrites)
        return Text::ConfigurationNotRead;
    m_request.setupWrite = false;
    return Text::None;
}

bool ConfigurationWrite::addressHeldByAnother(const QString &mac, const QString &ipText, quint32 addressValue)
{
    const EditorContents typed = m_editor.contents();
    const QString press = QStringList{mac, ipText, typed.subnetMaskText, typed.defaultGatewayText,
                                      QString::number(typed.modeIndex), typed.portText, typed.remoteAddressText,
                                      typed.allowedMaskText}
                              .join(QLatin1Char('|'));
    if (press == m_writeAnyway)
        return false;
    // A DHCP gateway made fixed at the address it has holds that address itself.
    const int own = m_editor.firstRowOf(mac);
    if (own >= 0 && ParseDottedAddress(m_window.gatewayList().cellText(own, GatewayList::IpAddressColumn)) == addressValue)
        return false;

    QString holder;
    const GatewayList &list = m_window.gatewayList();
    for (int row = 0; row < list.count() && holder.isEmpty(); ++row) {
        const QString rowMac = list.cellText(row, GatewayList::MacAddressColumn);
        if (ConfigurationEditor::NormalizeMac(rowMac) != mac
            && ParseDottedAddress(list.cellText(row, GatewayList::IpAddressColumn)) == addressValue)
            holder = rowMac;
    }
    if (holder.isEmpty()) {
        // Asking the link takes up to a few seconds; the window keeps painting.
        m_window.EnableCommands(false);
        m_window.ShowStatus(Text::CheckingAddress);
        NeighbourProbe probe({addressValue});
        while (!probe.poll())
            m_window.WaitForReplies(NeighbourProbe::PollIntervalMs);
        m_window.ShowStatus(Text::None);
        m_window.EnableCommands(true);
        holder = probe.holders().value(addressValue);
        if (ConfigurationEditor::NormalizeMac(holder) == mac)
            holder.clear();
    }
    if (holder.isEmpty())
        return false;
    m_writeAnyway = press;
    m_window.ShowStatusText(loadString(Text::AddressAlreadyUsed).arg(DottedAddressText(addressValue), holder));
    return true;
}

bool ConfigurationWrite::recordSnapshot(const QString &mac, const QString &ipText)
{
    m_journalId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    QJsonObject send{{QStringLiteral("ip"), ipText},
                     {QStringLiteral("mask"), m_request.subnetMaskText},
                     {QStringLiteral("gateway"), m_request.defaultGatewayText}};
    if (m_request.oemType)
        send.insert(QStringLiteral("typeCode"), QStringLiteral("0x%1").arg(*m_request.oemType, 8, 16, QLatin1Char('0')));
    if (m_request.setupWrite) {
        const EditorContents typed = m_editor.contents();
        send.insert(QStringLiteral("mode"), typed.modeIndex);
        send.insert(QStringLiteral("port"), typed.portText);
        send.insert(QStringLiteral("remoteIp"), typed.remoteAddressText);
        send.insert(QStringLiteral("remoteMask"), typed.allowedMaskText);
        send.insert(QStringLiteral("locked"), m_window.passwordProtection());
    }
    QJsonObject entry{{QStringLiteral("event"), QStringLiteral("write")},
                      {QStringLiteral("id"), m_journalId},
                      {QStringLiteral("command"), QStringLiteral("window")},
                      {QStringLiteral("mac"), MacAddressText(MacAddressFromText(mac))},
                      {QStringLiteral("send"), send}};
    const int row = m_editor.firstRowOf(mac);
    if (row >= 0)
        entry.insert(QStringLiteral("read"), GatewayConfiguration::fromRow(m_window.gatewayList(), row).toJson());

    WriteJournal journal;
    QString reason;
    if (journal.append(entry, &reason))
        return true;
    m_window.ShowStatusText(loadString(Text::JournalNotWritable).arg(journal.path(), reason));
    return false;
}

void ConfigurationWrite::recordOutcome(const QString &mac, const QString &outcome, int status)
{
    QString ignored;
    WriteJournal().append(QJsonObject{{QStringLiteral("event"), QStringLiteral("outcome")},
                                      {QStringLiteral("id"), m_journalId},
                                      {QStringLiteral("mac"), MacAddressText(MacAddressFromText(mac))},
                                      {QStringLiteral("outcome"), outcome},
                                      {QStringLiteral("status"), status}},
                          &ignored);
}

bool ConfigurationWrite::modeAllowed(const QString &mac, quint32 typeCode) const
{
    const quint32 bit = modeBit(m_controls.currentIndex(Control::ModeCombo));
    QString firmware;
    m_editor.GetFirmwareByMac(mac, &firmware);
    for (const DeviceType &type : DeviceTypeTable) {
        if (type.typeCode != typeCode || (type.allowedModesMask & bit) != 0)
            continue;
        // The first EnOcean firmware generation still takes every mode.
        if (typeCode == EnOceanGatewayType && firmware.startsWith(QStringLiteral("1.")))
            continue;
        return false;
    }
    return true;
}

bool ConfigurationWrite::runIpSetup(quint32 addressValue, const QString &mac)
{
    m_window.ShowStatus(Text::SendingIpAddress);
    const quint16 macTail = quint16(ParseHexNumber(mac.right(4)));
    bool sent = false;
    if (std::unique_ptr<GatewayExchange> exchange = m_window.makeExchange(-1)) {
        sent = exchange->SendIpSetup(addressValue, macTail, m_window.broadcastAddress(),
                                     m_window.adapterBroadcastList());
        m_window.WaitForReplies(WriteWaitMs, exchange.get());
        exchange->Close();
    }
    if (sent) {
        m_written.address = true;
        m_written.toDhcp = addressValue == 0;
        m_written.addressValue = addressValue;
    }
    return sent;
}

void ConfigurationWrite::switchToDhcp(const QString &mac, quint32 *addressValue, QString *ipText)
{
    // The gateway now takes its address from a DHCP server; the refresh
    // finds out which. It empties the editor, so what the user set for the
    // configuration record is carried over it.
    SavedRecordControls saved;
    saved.port = m_controls.text(Control::PortEdit);
    saved.remote = m_controls.text(Control::RemoteAddressEdit);
    saved.mask = m_controls.text(Control::AllowedMaskEdit);
    std::size_t i = 0;
    for (Control id : ControlGroup::SerialCombos)
        saved.serial[i++] = m_controls.currentIndex(id);

    m_window.OnRefreshList();
    // A list that rebuilt its rows left nothing selected; the editor is empty.
    m_editor.OnGatewayListItemChanged();

    m_controls.setText(Control::PortEdit, saved.port);
    m_controls.setText(Control::RemoteAddressEdit, saved.remote);
    m_controls.setText(Control::AllowedMaskEdit, saved.mask);
    i = 0;
    for (Control id : ControlGroup::SerialCombos)
        m_controls.setCurrentIndex(id, saved.serial[i++]);
    // Subnet fields the user typed go out as typed; untouched ones stay
    // empty and are compared with what the gateway reports under DHCP.
    if (m_request.subnetTyped) {
        m_controls.setText(Control::SubnetMaskEdit, m_request.subnetMaskText);
        m_controls.setText(Control::DefaultGatewayEdit, m_request.defaultGatewayText);
    }
    m_window.EnableCommands(false);

    const int row = m_editor.firstRowOf(mac);
    if (row >= 0) {
        *addressValue = ParseDottedAddress(m_window.gatewayList().cellText(row, GatewayList::IpAddressColumn));
        *ipText = DottedAddressText(*addressValue);
    }
}

bool ConfigurationWrite::runIdentityWrite(const QString &ipText)
{
    m_window.ShowStatus(Text::SendingOemInfo);
    bool sent = false;
    if (std::unique_ptr<GatewayExchange> exchange = m_window.makeExchange(-1)) {
        sent = exchange->SendWriteIdentity(ipText);
        m_window.WaitForReplies(WriteWaitMs, exchange.get());
        exchange->Close();
    }
    return sent;
}

bool ConfigurationWrite::runNetworkWrite(const QString &ipText)
{
    m_window.ShowStatus(Text::SendingSubnetInfo);
    bool sent = false;
    if (std::unique_ptr<GatewayExchange> exchange = m_window.makeExchange(-1)) {
        sent = exchange->SendWriteNetwork(ipText);
        m_window.WaitForReplies(WriteWaitMs, exchange.get());
        exchange->Close();
    }
    if (sent) {
        m_written.network = true;
        m_written.subnetMaskText = m_controls.text(Control::SubnetMaskEdit);
        m_written.defaultGatewayText = m_controls.text(Control::DefaultGatewayEdit);
    }
    return sent;
}

bool ConfigurationWrite::runSetupWrite(const QString &ipText, const QString &mac, quint32 typeCode)
{
    m_window.ShowStatus(Text::SendingConfiguration);
    // What the record carries, as the gateway will store it.
    const std::optional<SetupRecord> record =
        DecodeSetupRecord(BuildSetupWrite(SetupWriteInputFrom(m_editor.contents(), mac, typeCode)));

    bool sent = false;
    if (std::unique_ptr<GatewayExchange> exchange = m_window.makeExchange(-1)) {
        sent = exchange->SendWriteSetup(ipText, mac, typeCode);
        m_window.WaitForReplies(WriteWaitMs, exchange.get());
        exchange->Close();
    }
    if (sent)
        m_written.setup = record;
    return sent;
}

void ConfigurationWrite::refreshAndSelect(const QString &ipText, const QString &mac)
{
    m_window.OnRefreshList();
    const int row = m_editor.FindGatewayRow(ipText, mac);
    if (row != -1) {
        m_editor.selectRow(row);
        m_editor.OnGatewayListItemChanged();
    }
}

bool ConfigurationWrite::RereadGatewayRow(int row, const QString &ipText)
{
    GatewayList &list = m_window.gatewayList();
    list.setCellText(row, GatewayList::IpAddressColumn, ipText);
    list.setCellText(row, GatewayList::PortColumn, QStringLiteral("???"));
    list.setCellText(row, GatewayList::RemoteIpColumn, QStringLiteral("???"));
    list.setTypeCode(row, 0);
    list.setRowStatus(row, RowStatus::UnknownType);
    m_window.ShowStatus(Text::ReadingConfiguration);

    std::unique_ptr<GatewayExchange> exchange = m_window.makeExchange(row);
    if (!exchange)
        return false;
    exchange->SendReadIdentity();
    m_window.WaitForReplies(ReadWaitMs, exchange.get());
    exchange->Close();
    exchange.reset();

    m_window.ShowStatus(Text::None);
    m_window.focusList();
    if (list.typeCode(row) == 0) {
        list.setRowStatus(row, RowStatus::UnknownType);
        return false;
    }
    if (list.rowStatus(row) == int(RowStatus::CorruptContent))
        return false;
    m_controls.setText(Control::PortEdit, list.cellText(row, GatewayList::PortColumn));
    m_controls.setText(Control::RemoteAddressEdit, list.cellText(row, GatewayList::RemoteIpColumn));
    return true;
}

// ---- what the gateway reports after the write ------------------------------

int ConfigurationWrite::outcome(const QString &ipText, const QString &mac) const
{
    const int row = m_editor.firstRowOf(mac);
    if (row < 0)
        return m_window.portTakenInLastRefresh() ? Text::PortInUse : Text::GatewayNotFoundAgain;

    const GatewayList &list = m_window.gatewayList();
    const QString shown = list.cellText(row, GatewayList::IpAddressColumn);
    const bool shownDhcp = shown.contains(Dhcp);
    // Whether an address came from DHCP arrives with the network reply; a
    // gateway that gave none (an unidentified one) cannot tell.
    const bool dhcpUnknown = list.cellText(row, GatewayList::SubnetGatewayColumn).isEmpty();
    const bool addressTaken = m_written.address
        ? (m_written.toDhcp ? shownDhcp || dhcpUnknown
                            : !shownDhcp && ParseDottedAddress(shown) == m_written.addressValue)
        : ParseDottedAddress(shown) == ParseDottedAddress(ipText);
    if (!addressTaken)
        return Text::GatewayReportsOtherAddress;
    for (const int result : {identityOutcome(row), setupOutcome(row), subnetOutcome(row)}) {
        if (result != Text::None)
            return result;
    }
    return Text::GatewayReportsNewConfiguration;
}

int ConfigurationWrite::identityOutcome(int row) const
{
    if (!m_written.identity || !m_request.oemType)
        return Text::None;
    return m_window.gatewayList().typeCode(row) == *m_request.oemType ? Text::None : Text::GatewayReportsOtherType;
}

int ConfigurationWrite::setupOutcome(int row) const
{
    if (!m_written.setup)
        return Text::None;
    const SetupRecord &record = *m_written.setup;
    const GatewayList &list = m_window.gatewayList();
    const auto shows = [&](int column, const QString &expected) { return list.cellText(row, column) == expected; };
    // The texts the list shows for a record, as the setup reply fills them.
    // Fields the editor did not show were not the user's to set, and a
    // gateway may keep its own values there.
    const int mode = qMin(int(record.mode), ModeCount - 1);
    if (!shows(GatewayList::ModeColumn, loadString(StringBase::ModeName + mode)))
        return Text::GatewayReportsOtherMode;
    if (!shows(GatewayList::PortColumn, QString::number(record.port)))
        return Text::GatewayReportsOtherPort;
    if (!shows(GatewayList::RemoteIpColumn, DottedAddressText(record.remoteAddress)))
        return Text::GatewayReportsOtherRemoteAddress;
    if (m_request.allowedMaskShown && !shows(GatewayList::IpMaskColumn, DottedAddressText(record.allowedMask)))
        return Text::GatewayReportsOtherAllowedMask;
    if (m_request.serialShown
        && (!shows(GatewayList::BaudRateColumn, QString::number(qint32(record.baudRate)))
            || !shows(GatewayList::DataBitsColumn, QString::number(record.dataBits))
            || !shows(GatewayList::StopBitsColumn, QString::number(record.stopBits))
            || !shows(GatewayList::ParityColumn, QString::number(record.parity))
            || !shows(GatewayList::FlowControlColumn, QString::number(record.flowControl))))
        return Text::GatewayReportsOtherSerialSettings;
    return Text::None;
}

int ConfigurationWrite::subnetOutcome(int row) const
{
    // What the gateway should report now: what the user typed, otherwise
    // what the run sent on its own (the switch to DHCP empties the fields).
    QString mask = m_written.subnetMaskText;
    QString gateway = m_written.defaultGatewayText;
    if (m_request.subnetTyped) {
        mask = m_request.subnetMaskText;
        gateway = m_request.defaultGatewayText;
    } else if (!m_written.network) {
        return Text::None;
    }
    const bool sent = m_written.network && m_written.subnetMaskText == mask && m_written.defaultGatewayText == gateway;

    const GatewayList &list = m_window.gatewayList();
    const QString column = list.cellText(row, GatewayList::SubnetGatewayColumn);
    if (column.isEmpty())
        return sent ? Text::SubnetNotReported : Text::SubnetNotWritten;
    const SubnetColumn reported = ParseSubnetColumn(column);
    // A gateway on DHCP shows no host bits of its own.
    const bool dhcp = list.cellText(row, GatewayList::IpAddressColumn).contains(Dhcp);
    const bool maskReported =
        dhcp || HostBitsFromMask(ParseDottedAddress(reported.maskText)) == HostBitsFromMask(ParseDottedAddress(mask));
    const bool gatewayReported = ParseDottedAddress(reported.gatewayText) == ParseDottedAddress(gateway);
    if (maskReported && gatewayReported)
        return Text::None;
    if (!sent)
        return Text::SubnetNotWritten;
    return maskReported ? Text::GatewayReportsOtherDefaultGateway : Text::GatewayReportsOtherSubnetMask;
}
