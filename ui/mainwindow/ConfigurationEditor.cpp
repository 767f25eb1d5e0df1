#include "ConfigurationEditor.h"

#include "DeviceTables.h"
#include "GatewayList.h"
#include "StringTable.h"
#include "Telegrams.h"
#include "Texts.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLineEdit>

namespace {

// The edits the empty editor clears.
constexpr std::initializer_list<Control> EditorEdits{
    Control::MacEdit,  Control::IpAddressEdit,   Control::SubnetMaskEdit,   Control::DefaultGatewayEdit,
    Control::PortEdit, Control::AllowedMaskEdit, Control::RemoteAddressEdit};

// The variant whose gateways only ever run in UDP Active mode.
constexpr int FixedModeVariant = 5;
// The variant that takes a row with a port but without a type as identified.
constexpr int PortIdentifiesVariant = 2;
constexpr int OemVariant = 0;
constexpr int UdpActiveMode = 2;
constexpr int TcpClientMode = 1;

QString macOfRow(const GatewayList &list, int row)
{
    QString mac = list.cellText(row, GatewayList::MacAddressColumn);
    mac.remove(u' ');
    mac.remove(u'-');
    return mac;
}

} // namespace

ConfigurationEditor::ConfigurationEditor(const ControlSet &controls, GatewayList &list, QObject *parent)
    : QObject(parent)
    , m_controls(controls)
    , m_list(list)
{
}

int ConfigurationEditor::selectedRow() const
{
    if (!m_listView || !m_listView->selectionModel())
        return -1;
    const QModelIndexList rows = m_listView->selectionModel()->selectedRows();
    int first = -1;
    for (const QModelIndex &index : rows) {
        if (first < 0 || index.row() < first)
            first = index.row();
    }
    return first;
}

void ConfigurationEditor::selectRow(int row)
{
    if (!m_listView || !m_listView->model() || !m_listView->selectionModel())
        return;
    const QModelIndex index = m_listView->model()->index(row, 0);
    if (!index.isValid())
        return;
    m_listView->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_listView->scrollTo(index);
}

void ConfigurationEditor::OnSelectionChanged()
{
    ShowEmptyEditor();
    OnGatewayListItemChanged();
}

void ConfigurationEditor::OnGatewayListItemChanged()
{
    const int row = selectedRow();
    m_controls.show({Control::ModeLabel, Control::PortLabel, Control::ModeCombo, Control::PortEdit,
                     Control::PortHint},
                    true);
    if (row < 0) {
        ShowEmptyEditor();
        return;
    }

    m_controls.enable({Control::ModeCombo}, m_variantIndex != FixedModeVariant);
    m_controls.enable({Control::MacEdit, Control::IpAddressEdit, Control::SubnetMaskEdit,
                       Control::DefaultGatewayEdit, Control::PortEdit, Control::AllowedMaskEdit,
                       Control::RemoteAddressEdit},
                      true);
    m_controls.setText(Control::IpAddressEdit, m_list.cellText(row, GatewayList::IpAddressColumn));
    m_controls.setText(Control::MacEdit, m_list.cellText(row, GatewayList::MacAddressColumn));
    const SubnetColumn subnet = ParseSubnetColumn(m_list.cellText(row, GatewayList::SubnetGatewayColumn));
    m_controls.setText(Control::SubnetMaskEdit, subnet.maskText);
    m_controls.setText(Control::DefaultGatewayEdit, subnet.gatewayText);

    const int port = ParseDecimalInt(m_list.cellText(row, GatewayList::PortColumn));
    const quint32 type = m_list.typeCode(row);
    const bool identified = type != 0 || (m_variantIndex == PortIdentifiesVariant && port != 0);
    if (identified)
        loadIdentified(row, type);
    else
        hideUnidentifiedControls();
}

void ConfigurationEditor::loadIdentified(int row, quint32 typeCode)
{
    if (QComboBox *mode = m_controls.combo(Control::ModeCombo)) {
        // The scan gateways run in UDP Active only; the disabled box shows
        // and writes that mode whatever the row reports, or the write would
        // be refused with no way for the user to change the mode.
        const int entry = m_variantIndex == FixedModeVariant
            ? UdpActiveMode
            : mode->findText(m_list.cellText(row, GatewayList::ModeColumn), Qt::MatchFixedString);
        mode->setCurrentIndex(qMax(0, entry));
    }
    m_controls.setText(Control::PortEdit, m_list.cellText(row, GatewayList::PortColumn));
    m_controls.setText(Control::RemoteAddressEdit, m_list.cellText(row, GatewayList::RemoteIpColumn));
    m_controls.setText(Control::AllowedMaskEdit, m_list.cellText(row, GatewayList::IpMaskColumn));
    if (m_variantIndex == OemVariant || typeCode == SerialGatewayType)
        loadSerial(row);
    OnModeChanged();
}

void ConfigurationEditor::loadSerial(int row)
{
    m_controls.show(ControlGroup::Serial, true);
    m_controls.enable(ControlGroup::SerialCombos, true);
    selectByText(m_controls.combo(Control::BaudRateCombo), m_list.cellText(row, GatewayList::BaudRateColumn));
    selectByText(m_controls.combo(Control::DataBitsCombo), m_list.cellText(row, GatewayList::DataBitsColumn));
    selectByText(m_controls.combo(Control::StopBitsCombo), m_list.cellText(row, GatewayList::StopBitsColumn));
    selectByNumber(m_controls.combo(Control::ParityCombo), m_list.cellText(row, GatewayList::ParityColumn));
    selectByNumber(m_controls.combo(Control::FlowControlCombo),
                   m_list.cellText(row, GatewayList::FlowControlColumn));
}

void ConfigurationEditor::selectByText(QComboBox *box, const QString &text)
{
    if (box)
        box->setCurrentIndex(qMax(0, box->findText(text, Qt::MatchFixedString)));
}

void ConfigurationEditor::selectByNumber(QComboBox *box, const QString &numberText)
{
    if (!box)
        return;
    // A negative number counts as the first entry; one beyond the last
    // leaves the box without a selection.
    const int entry = qMax(0, ParseDecimalInt(numberText));
    box->setCurrentIndex(entry < box->count() ? entry : -1);
}

void ConfigurationEditor::hideUnidentifiedControls()
{
    // Only the address fields stay, so that an unidentified gateway can still
    // be given an address, subnet mask and default gateway.
    m_controls.setLabelText(Control::ModeDescription, QString());
    m_controls.show({Control::ModeLabel, Control::ModeCombo, Control::PortLabel, Control::PortEdit,
                     Control::RemoteAddressLabel, Control::RemoteAddressEdit, Control::AllowedMaskLabel,
                     Control::AllowedMaskEdit, Control::PortHint, Control::RemoteAddressHint,
                     Control::AllowedMaskHint},
                    false);
    m_controls.show(ControlGroup::Serial, false);
}

void ConfigurationEditor::ShowEmptyEditor()
{
    m_controls.show({Control::ModeLabel, Control::PortLabel, Control::ModeCombo, Control::PortEdit,
                     Control::PortHint},
                    true);
    m_controls.enable({Control::MacEdit, Control::IpAddressEdit, Control::SubnetMaskEdit,
                       Control::DefaultGatewayEdit, Control::ModeCombo, Control::PortEdit,
                       Control::AllowedMaskEdit, Control::RemoteAddressEdit},
                      false);
    for (Control id : ControlGroup::SerialCombos)
        m_controls.setCurrentIndex(id, -1);
    m_controls.enable(ControlGroup::SerialCombos, false);
    m_controls.show(ControlGroup::Serial, false);
    for (Control id : EditorEdits)
        m_controls.setText(id, QString());
    OnModeChanged();
}

void ConfigurationEditor::OnModeChanged()
{
    const int modeIndex = qMax(0, m_controls.currentIndex(Control::ModeCombo));
    if (m_variantIndex == FixedModeVariant) {
        m_controls.setLabelText(Control::ModeDescription, QString());
        m_controls.show(ControlGroup::MaskRow, false);
    } else {
        m_controls.setLabelText(Control::ModeDescription, loadString(StringBase::ModeDescription + modeIndex));
        // A TCP client connects out, so it has no mask of allowed addresses.
        m_controls.show(ControlGroup::MaskRow, modeIndex != TcpClientMode);
    }
    m_controls.show(ControlGroup::RemoteRow, true);
    m_controls.show({Control::RemoteAddressHint}, false);
    m_controls.setLabelText(Control::RemoteAddressLabel,
                            loadString(modeIndex == 0 || modeIndex == 3 ? Text::AllowedRemoteAddressLabel
                                                                        : Text::RemoteConnectionAddressLabel));
}

void ConfigurationEditor::OnSetOem()
{
    const auto *box = qobject_cast<QCheckBox *>(m_controls.widget(Control::SetOemCheck));
    if (!box || !box->isChecked())
        return;
    m_controls.setCurrentIndex(Control::ModeCombo, 0);
    OnModeChanged();
    m_controls.setText(Control::PortEdit, QStringLiteral("10001"));
    m_controls.setText(Control::AllowedMaskEdit, QStringLiteral("0.0.0.0"));
    m_controls.setText(Control::RemoteAddressEdit, QStringLiteral("0.0.0.0"));
    OnOemTypeChanged();
}

void ConfigurationEditor::OnOemTypeChanged()
{
    const QComboBox *oem = m_controls.combo(Control::OemTypeCombo);
    if (oem && ParseOemTypeText(oem->currentText()) == ScanGatewayType) {
        m_controls.setCurrentIndex(Control::ModeCombo, UdpActiveMode);
        OnModeChanged();
    }
}

EditorContents ConfigurationEditor::contents() const
{
    const auto entryText = [this](Control id) {
        const QComboBox *box = m_controls.combo(id);
        return box ? box->currentText() : QString();
    };
    EditorContents contents;
    contents.modeIndex = m_controls.currentIndex(Control::ModeCombo);
    contents.portText = m_controls.text(Control::PortEdit);
    contents.remoteAddressText = m_controls.text(Control::RemoteAddressEdit);
    contents.allowedMaskText = m_controls.text(Control::AllowedMaskEdit);
    contents.baudRateText = entryText(Control::BaudRateCombo);
    contents.dataBitsText = entryText(Control::DataBitsCombo);
    contents.stopBitsText = entryText(Control::StopBitsCombo);
    contents.parityIndex = m_controls.currentIndex(Control::ParityCombo);
    contents.flowControlIndex = m_controls.currentIndex(Control::FlowControlCombo);
    contents.oemTypeText = entryText(Control::OemTypeCombo);
    contents.subnetMaskText = m_controls.text(Control::SubnetMaskEdit);
    contents.defaultGatewayText = m_controls.text(Control::DefaultGatewayEdit);
    return contents;
}

QString ConfigurationEditor::NormalizeMac(const QString &text)
{
    QString mac = text;
    mac.remove(u' ');
    mac.remove(u'-');
    return mac.toUpper();
}

int ConfigurationEditor::firstRowOf(const QString &mac) const
{
    for (int row = 0; row < m_list.count(); ++row) {
        if (macOfRow(m_list, row) == mac)
            return row;
    }
    return -1;
}

bool ConfigurationEditor::IsSubnetChanged(const QString &mac) const
{
    const int row = firstRowOf(mac);
    const QString column = row >= 0 ? m_list.cellText(row, GatewayList::SubnetGatewayColumn) : QString();
    // A gateway that never answered the network request has nothing to compare.
    if (column.isEmpty())
        return false;
    const SubnetColumn subnet = ParseSubnetColumn(column);
    return m_controls.text(Control::SubnetMaskEdit) != subnet.maskText
        || m_controls.text(Control::DefaultGatewayEdit) != subnet.gatewayText;
}

int ConfigurationEditor::GetRowStatus(int row) const
{
    return m_list.rowStatus(row);
}

ConfigurationEditor::GatewayCheck ConfigurationEditor::LookUpGateway(const QString &mac) const
{
    const int row = firstRowOf(mac);
    if (row < 0)
        return {3, 0};
    const auto *oemBox = qobject_cast<QCheckBox *>(m_controls.widget(Control::SetOemCheck));
    if (m_variantIndex == OemVariant && oemBox && oemBox->isChecked()) {
        const QComboBox *oem = m_controls.combo(Control::OemTypeCombo);
        return {0, ParseOemTypeText(oem ? oem->currentText() : QString())};
    }
    const quint32 type = m_list.typeCode(row);
    // The OEM tool writes whatever it finds, locked or not.
    if (m_variantIndex == OemVariant)
        return {0, type};
    switch (GetRowStatus(row)) {
    case int(RowStatus::NoPassword):
    case int(RowStatus::PasswordOk):
        return {0, type};
    case int(RowStatus::WrongPassword):
        return {1, type};
    case int(RowStatus::CorruptContent):
        return {4, type};
    default:
        return {2, type};
    }
}

int ConfigurationEditor::FindGatewayRow(const std::optional<QString> &ipText, const QString &mac) const
{
    const int row = firstRowOf(mac);
    if (row < 0 || !ipText)
        return row;
    const QString shown = m_list.cellText(row, GatewayList::IpAddressColumn);
    if (shown == *ipText)
        return row;
    const QString dhcp = QStringLiteral("DHCP");
    if (shown.contains(dhcp) && ipText->contains(dhcp))
        return row;
    return -1;
}

int ConfigurationEditor::GetFirmwareByMac(const QString &mac, QString *firmware) const
{
    int found = -1;
    for (int row = 0; row < m_list.count(); ++row) {
        if (macOfRow(m_list, row) != mac)
            continue;
        found = row;
        if (firmware)
            *firmware = m_list.cellText(row, GatewayList::FirmwareColumn);
    }
    return found;
}
