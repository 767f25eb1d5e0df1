#include "ConfigurationWrite.h"

#include "ConfigurationEditor.h"
#include "ExchangeWaits.h"
#include "GatewayExchange.h"
#include "GatewayList.h"
#include "GatewayListDialog.h"
#include "StringTable.h"
#include "Texts.h"
#include "WriteDecision.h"

#include <QAbstractButton>
#include <QComboBox>

#include <algorithm>
#include <vector>

namespace {

// Every write holds the window this long; only the network write ends
// early, 200 ms after the gateway's acknowledgement.
constexpr int WriteWaitMs = ExchangeWait::WriteMs;
constexpr int ReadWaitMs = ExchangeWait::ReadMs;
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
    if (setupWillRun && check.checkCode > 0) {
        m_window.ShowStatus(StringBase::CheckMessage + check.checkCode);
        return;
    }
    const bool addressChanges = m_editor.FindGatewayRow(ipText, mac) == -1;
    if (const int refusal = takeRequest(mac, setupWillRun, addressChanges)) {
        m_window.ShowStatus(refusal);
        return;
    }
    const WritePlan plan = decide(mac, addressValue, addressChanges, check.typeCode);
    if (plan.refusal) {
        refuse(plan);
        return;
    }
    if (!recordSnapshot(plan))
        return;

    m_window.EnableCommands(false);
    m_written = Written{};
    bool lastResult = true;
    bool refreshPending = false;

    if (plan.address) {
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
    if (plan.identity) {
        lastResult = runIdentityWrite(ipText);
        m_written.identity = lastResult;
        m_window.ShowStatus(StringBase::WriteResult + (lastResult ? 1 : 0));
        if (oemBox)
            oemBox->setChecked(false);
    }
    if (m_editor.IsSubnetChanged(mac)) {
        runNetworkWrite(ipText);
        m_window.ShowStatus(Text::None);
    }
    if (plan.setup) {
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

    m_request.shownAddressValue = ParseDottedAddress(column(GatewayList::IpAddressColumn));

    m_request.setupWrite = setupShown;
    if (!setupShown)
        return Text::None;
    // The configuration reply fills mode, port and remote address together;
    // until it came they are empty (or "???" while a row is read again).
    const bool recordRead = !column(GatewayList::ModeColumn).isEmpty()
        && !holdsNoValue(column(GatewayList::PortColumn)) && !holdsNoValue(column(GatewayList::RemoteIpColumn));
    // A gateway whose configuration reply never came shows empty record
    // fields; sent as they are, they would become mode 0, port 0 and
    // 0.0.0.0 in the gateway.
    std::vector<std::pair<Control, int>> fields{{Control::PortEdit, GatewayList::PortColumn},
                                                {Control::RemoteAddressEdit, GatewayList::RemoteIpColumn}};
    // A TCP client keeps no mask, so a record read in that mode leaves the
    // column empty; switched to another mode, an empty mask goes out as
    // 0.0.0.0 (all allowed).
    if (m_request.allowedMaskShown && (!recordRead || !column(GatewayList::IpMaskColumn).isEmpty()))
        fields.emplace_back(Control::AllowedMaskEdit, GatewayList::IpMaskColumn);
    bool missing = false;
    bool typed = false;
    for (const auto &[control, index] : fields) {
        missing = missing || holdsNoValue(m_controls.text(control));
        typed = typed || m_controls.text(control) != column(index);
    }
    // The combo boxes of an unread row show the first entries, which nobody
    // read or chose; only an entry the user changed counts as given. A box
    // the user cannot change (the fixed mode, a single entry) gives its
    // entry itself.
    bool chosen = true;
    if (const QComboBox *mode = m_controls.combo(Control::ModeCombo); mode && mode->isEnabled() && mode->count() > 1) {
        const int shownMode = qMax(0, mode->findText(column(GatewayList::ModeColumn), Qt::MatchFixedString));
        const bool changed = mode->currentIndex() != shownMode;
        typed = typed || changed;
        chosen = changed;
    }
    if (m_request.serialShown) {
        for (const auto &[control, index] :
             {std::pair{Control::BaudRateCombo, GatewayList::BaudRateColumn},
              std::pair{Control::DataBitsCombo, GatewayList::DataBitsColumn},
              std::pair{Control::StopBitsCombo, GatewayList::StopBitsColumn},
              std::pair{Control::ParityCombo, GatewayList::ParityColumn},
              std::pair{Control::FlowControlCombo, GatewayList::FlowControlColumn}}) {
            const bool changed = m_controls.currentIndex(control) != loadedEntry(control, column(index));
            typed = typed || changed;
            chosen = chosen && changed;
        }
    }
    if (!missing && (recordRead || chosen))
        return Text::None;
    // Half a record is never sent; an untouched unread one is left out when
    // something else is to be written.
    const bool otherWrites = addressChanges || m_request.oemType || m_editor.IsSubnetChanged(mac);
    if (typed || !otherWrites)
        return Text::ConfigurationNotRead;
    m_request.setupWrite = false;
    return Text::None;
}

int ConfigurationWrite::loadedEntry(Control id, const QString &columnText) const
{
    // The entry the editor selects when it loads a row: baud rate, data and
    // stop bits by text (the first entry when none matches), parity and
    // flow control by number (none beyond the last entry).
    const QComboBox *box = m_controls.combo(id);
    if (!box)
        return -1;
    if (id == Control::ParityCombo || id == Control::FlowControlCombo) {
        const int entry = qMax(0, ParseDecimalInt(columnText));
        return entry < box->count() ? entry : -1;
    }
    return qMax(0, box->findText(columnText, Qt::MatchFixedString));
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
        sent = exchange->SendWriteIdentity(ipText, EditorValues::oemType(m_editor.contents()));
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
        // The fields cannot change during the wait: the window is locked.
        const EditorContents typed = m_editor.contents();
        sent = exchange->SendWriteNetwork(ipText, EditorValues::hostBits(typed), EditorValues::defaultGateway(typed));
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
    const GatewayReading values = EditorValues::record(m_editor.contents(), typeCode);
    bool sent = false;
    if (std::unique_ptr<GatewayExchange> exchange = m_window.makeExchange(-1)) {
        sent = exchange->SendWriteSetup(ipText, mac, values, m_window.passwordProtection());
        m_window.WaitForReplies(WriteWaitMs, exchange.get());
        exchange->Close();
    }
    if (sent)
        m_written.setup = values;
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
    // The row stands for the address written; what it held of the record is
    // stale until the gateway reports it again, as the "???" says.
    if (GatewayReading *reading = list.mutableReading(row)) {
        reading->address = ParseDottedAddress(ipText);
        reading->dhcp = ipText.contains(Dhcp);
        reading->recordRead = false;
    }
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
