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

constexpr int ReadWaitMs = ExchangeWait::ReadMs;
constexpr int MacLength = 12;
constexpr int TcpClientMode = 1;
// LookUpGateway's check code for a MAC address no row has.
constexpr int UnlistedCheckCode = 3;

const QString Dhcp = QStringLiteral("DHCP");

// A field that holds no number: the gateway never reported it (an empty or
// "???" column) and the user typed none.
bool holdsNoValue(const QString &text)
{
    return std::none_of(text.cbegin(), text.cend(), [](QChar c) { return c.isDigit(); });
}

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
    const quint32 addressValue = ParseDottedAddress(field);
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
    // "DHCP" for a gateway already on DHCP names no address to write to.
    if (!addressChanges && addressValue == 0) {
        m_window.ShowStatus(Text::MissingGatewayAddress);
        return;
    }
    // A gateway the check refuses gets a new address and nothing else; one
    // the list does not hold gets nothing, since IP-SETUP names a gateway by
    // two MAC bytes and only the list tells whether others end in them too.
    if (check.checkCode == UnlistedCheckCode || (check.checkCode > 0 && !addressChanges)) {
        m_window.ShowStatus(StringBase::CheckMessage + check.checkCode);
        return;
    }
    if (const int refusal = takeRequest(mac, setupWillRun, addressChanges)) {
        m_window.ShowStatus(refusal);
        return;
    }
    m_request.checkCode = check.checkCode;
    m_ipText = ipText;
    m_written = Written{};
    const ConfigurationChange change = wantedChange(addressChanges, addressValue, check.typeCode);
    const QString press = pressKey();

    WriteEngine::Settings settings;
    settings.passwordKept = true;
    settings.rewrite = true;
    settings.stopAtUnsentWrite = true;
    settings.force = press == m_writeAnyway;
    m_window.EnableCommands(false);
    WriteEngine engine(settings, safeguards(), this);
    showResult(engine.run({WriteRequest{mac, change}}), press);
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
    m_request.mac = mac;
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
