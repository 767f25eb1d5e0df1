#include "GatewayListDialog.h"

#include "Artwork.h"
#include "BroadcastDestinations.h"
#include "DeviceTables.h"
#include "DialogBuilder.h"
#include "DialogTemplate.h"
#include "GatewayListPresentation.h"
#include "GatewayNotifyEvent.h"
#include "MainWindowControls.h"
#include "NoReplyDiagnosis.h"
#include "ReplyWait.h"
#include "StringTable.h"
#include "Texts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTreeView>

#include <algorithm>
#include <array>

namespace {

const QString TemplateResource = QStringLiteral(":/dialogs/dialog102.json");

constexpr int ReadWaitMs = 1000;

// Column widths of the list in pixels; the last seven columns carry values
// for the editor and stay invisible.
constexpr std::array<int, GatewayList::ColumnCount> ColumnWidths{
    127, 110, 110, 75, 50, 110, 110, 0, 0, 0, 0, 0, 0, 0};

// The editor's edits, emptied when no gateway is selected.
constexpr std::initializer_list<Control> EditorEdits{
    Control::MacEdit,  Control::IpAddressEdit,   Control::SubnetMaskEdit,   Control::DefaultGatewayEdit,
    Control::PortEdit, Control::AllowedMaskEdit, Control::RemoteAddressEdit};

} // namespace

GatewayListDialog::GatewayListDialog(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , m_exchangeFactory(socketExchangeFactory())
{
    QString error;
    const std::optional<DialogTemplate> layout =
        DialogTemplate::load(TemplateResource, StringTable::currentLanguage(), &error);
    if (!layout)
        qWarning("main window layout unusable: %s", qPrintable(error));
    const DialogTemplate dialogTemplate = layout.value_or(DialogTemplate{});
    const DialogBuilder builder(dialogTemplate, this);
    m_controls = builder.numberedControls();

    m_listView = qobject_cast<QTreeView *>(control(Control::GatewayList));
    m_progressBar = qobject_cast<QProgressBar *>(control(Control::ProgressBar));
    m_statusLine = label(Control::StatusLine);
    m_presentation = new GatewayListPresentation(dialogTemplate.rowStatusNames, this);
    m_presentation->setSourceModel(&m_gatewayList);

    // The serial-line combo boxes come with their fixed entries.
    for (Control id : ControlGroup::SerialCombos) {
        if (QComboBox *box = combo(id))
            box->addItems(StringTable::comboEntries(controlNumber(id)));
    }
    if (QAbstractButton *refresh = qobject_cast<QAbstractButton *>(control(Control::RefreshButton)))
        connect(refresh, &QAbstractButton::clicked, this, &GatewayListDialog::OnRefreshList);
    if (QComboBox *mode = combo(Control::ModeCombo))
        connect(mode, &QComboBox::activated, this, &GatewayListDialog::OnModeChanged);
}

GatewayListDialog::~GatewayListDialog() = default;

void GatewayListDialog::setVariant(int variantIndex, quint32 typeFilter)
{
    m_variantIndex = variantIndex;
    m_typeFilter = typeFilter;
}

void GatewayListDialog::setProtectionFlag(int flag) { m_protectionFlag = flag; }
void GatewayListDialog::setPassword(const QString &password) { m_password = password; }
void GatewayListDialog::setBroadcastAddress(const QString &address) { m_broadcastAddress = address; }
void GatewayListDialog::setSettings(Settings *settings) { m_settings = settings; }

void GatewayListDialog::setExchangeFactory(GatewayExchangeFactory factory)
{
    m_exchangeFactory = std::move(factory);
}

QWidget *GatewayListDialog::control(int id) const
{
    return m_controls.value(id);
}

QWidget *GatewayListDialog::control(Control id) const
{
    return control(controlNumber(id));
}

int GatewayListDialog::exec()
{
    OnInitDialog();
    return QDialog::exec();
}

bool GatewayListDialog::OnInitDialog()
{
    if (m_initialised)
        return true;
    m_initialised = true;

    setWindowIcon(Artwork::windowIcon());
    m_adapterBroadcastList = BuildAdapterBroadcastList();
    setUpVariantControls();
    if (m_progressBar)
        m_progressBar->hide();
    setWindowTitle(loadString(StringBase::WindowTitle + m_variantIndex));
    setUpList();

    if (QComboBox *mode = combo(Control::ModeCombo)) {
        mode->clear();
        const int modes = m_variantIndex == 1 ? 1 : ModeCount;
        for (int i = 0; i < modes; ++i)
            mode->addItem(loadString(StringBase::ModeName + i));
        mode->setCurrentIndex(m_variantIndex == 5 ? 2 : 0);
    }

    OnModeChanged();
    UpdatePasswordStatus();
    ShowEmptyEditor();

    // The first refresh runs once the window is visible and its loop runs.
    QCoreApplication::postEvent(this, new GatewayNotifyEvent(GatewayNotifyEvent::Refresh));
    return true;
}

void GatewayListDialog::setUpVariantControls()
{
    if (m_variantIndex == 0) {
        if (QComboBox *oem = combo(Control::OemTypeCombo)) {
            QStringList entries;
            for (const DeviceType &type : DeviceTypeTable)
                entries.append(oemEntryText(type));
            // The box keeps its entries sorted by text, which is type-code order.
            std::sort(entries.begin(), entries.end());
            oem->clear();
            oem->addItems(entries);
            oem->setCurrentIndex(0);
        }
        showControls(ControlGroup::Oem, true);
        setLabelText(Control::PortHint, loadString(Text::PortDefaultBothHint));
    } else if (m_variantIndex == 1) {
        setLabelText(Control::PortHint, loadString(Text::PortDefault10002Hint));
    } else {
        showControls(ControlGroup::Oem, false);
    }
}

void GatewayListDialog::setUpList()
{
    if (!m_listView)
        return;
    m_listView->setModel(m_presentation);
    QHeaderView *header = m_listView->header();
    for (int column = 0; column < GatewayList::ColumnCount; ++column) {
        header->setSectionResizeMode(column, QHeaderView::Interactive);
        header->resizeSection(column, ColumnWidths[std::size_t(column)]);
    }
}

bool GatewayListDialog::event(QEvent *event)
{
    if (event->type() == GatewayNotifyEvent::type()) {
        OnGatewayNotify(static_cast<GatewayNotifyEvent *>(event)->wParam());
        return true;
    }
    return QDialog::event(event);
}

void GatewayListDialog::OnGatewayNotify(int wParam)
{
    if (wParam == GatewayNotifyEvent::Refresh)
        OnRefreshList();
    else if (wParam == GatewayNotifyEvent::Completion)
        m_completionFlag = true;
}

void GatewayListDialog::postCompletion()
{
    QCoreApplication::postEvent(this, new GatewayNotifyEvent(GatewayNotifyEvent::Completion));
}

void GatewayListDialog::OnRefreshList()
{
    if (m_busy)
        return;
    EnableCommands(false);
    m_gatewayList.clear();
    showControls({Control::ExportButton}, false);
    ShowStatus(Text::SearchingGateways);

    bool portUnavailable = false;
    if (std::unique_ptr<GatewayExchange> discovery = m_exchangeFactory(*this, -1)) {
        // A discovery that was not sent simply finds nothing.
        if (!discovery->SendDiscover(m_broadcastAddress, m_adapterBroadcastList) && !discovery->wasOpened())
            portUnavailable = true;
        WaitForReplies(ReadWaitMs);
        discovery->Close();
    }

    const int rows = m_gatewayList.count();
    if (rows > 0) {
        ShowStatus(Text::ReadingConfiguration);
        for (int row = rows - 1; row >= 0; --row) {
            std::unique_ptr<GatewayExchange> read = m_exchangeFactory(*this, row);
            if (!read)
                break;
            if (!read->SendReadIdentity() && !read->wasOpened())
                portUnavailable = true;
            WaitForReplies(ReadWaitMs);
            read->Close();
            read.reset();
            if (m_gatewayList.typeCode(row) == 0)
                m_gatewayList.setRowStatus(row, RowStatus::UnknownType);
        }
    }

    EnableCommands(true);
    // "Port taken" must not read as "no gateways".
    ShowStatus(portUnavailable ? Text::PortInUse : Text::None);
    if (!portUnavailable && m_gatewayList.count() == 0 && m_statusLine) {
        // Say why nothing answered, as far as the tool can know.
        const QString diagnosis = NoReplyDiagnosis::noGatewayText(
            SelectBroadcastDestinations(m_broadcastAddress, m_adapterBroadcastList), LocalAdapters(),
            NoReplyDiagnosis::installedFirewall());
        m_statusLine->setText(diagnosis);
        m_statusLine->setAccessibleDescription(diagnosis);
    }
    if (m_listView)
        m_listView->setFocus();
    if (m_gatewayList.count() > 0)
        showControls({Control::ExportButton}, true);
    emit refreshFinished();
}

void GatewayListDialog::EnableCommands(bool enable)
{
    if (!enable) {
        m_busy = true;
        QDialog::setEnabled(false);
        enableControls({Control::RefreshButton, Control::SetConfigurationButton}, false);
        setButtonIcon(Control::RefreshButton, 136);
        setButtonIcon(Control::SetConfigurationButton, 135);
    } else {
        setButtonIcon(Control::RefreshButton, 134);
        setButtonIcon(Control::SetConfigurationButton, 133);
        QDialog::setEnabled(true);
        enableControls({Control::RefreshButton, Control::SetConfigurationButton}, true);
        m_busy = false;
    }
}

void GatewayListDialog::WaitForReplies(int milliseconds)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int steps = milliseconds / ReplyWait::StepMs;
    m_completionFlag = false;
    if (m_progressBar) {
        m_progressBar->setRange(0, qMax(0, steps));
        m_progressBar->show();
    }
    ReplyWait::run(
        steps,
        [this](int step) {
            if (m_progressBar)
                m_progressBar->setValue(step);
        },
        [this] { return m_completionFlag; });
    if (m_progressBar)
        m_progressBar->hide();
    QApplication::restoreOverrideCursor();
}

void GatewayListDialog::ShowStatus(int stringNumber)
{
    if (!m_statusLine)
        return;
    const QString text = stringNumber != 0 ? loadString(stringNumber) : QString();
    m_statusLine->setText(text);
    m_statusLine->setAccessibleDescription(text);
}

void GatewayListDialog::UpdatePasswordStatus()
{
    setLabelText(Control::PasswordStatusLabel,
                 loadString(StringBase::PasswordStatus + (m_protectionFlag != 0 ? 1 : 0)));
}

void GatewayListDialog::OnModeChanged()
{
    const QComboBox *mode = combo(Control::ModeCombo);
    const int modeIndex = mode ? qMax(0, mode->currentIndex()) : 0;
    if (m_variantIndex == 5) {
        setLabelText(Control::ModeDescription, QString());
        showControls(ControlGroup::MaskRow, false);
    } else {
        setLabelText(Control::ModeDescription, loadString(StringBase::ModeDescription + modeIndex));
        // A TCP client connects out, so it has no mask of allowed addresses.
        showControls(ControlGroup::MaskRow, modeIndex != 1);
    }
    showControls(ControlGroup::RemoteRow, true);
    showControls({Control::RemoteAddressHint}, false);
    setLabelText(Control::RemoteAddressLabel, loadString(modeIndex == 0 || modeIndex == 3 ? Text::AllowedRemoteAddressLabel
                                                                        : Text::RemoteConnectionAddressLabel));
}

void GatewayListDialog::ShowEmptyEditor()
{
    showControls({Control::ModeLabel, Control::PortLabel, Control::ModeCombo, Control::PortEdit,
                  Control::PortHint},
                 true);
    enableControls({Control::MacEdit, Control::IpAddressEdit, Control::SubnetMaskEdit,
                    Control::DefaultGatewayEdit, Control::ModeCombo, Control::PortEdit,
                    Control::AllowedMaskEdit, Control::RemoteAddressEdit},
                   false);
    for (Control id : ControlGroup::SerialCombos) {
        if (QComboBox *box = combo(id)) {
            box->setCurrentIndex(-1);
            box->setEnabled(false);
        }
    }
    showControls(ControlGroup::Serial, false);
    for (Control id : EditorEdits) {
        if (QLineEdit *field = edit(id))
            field->clear();
    }
    OnModeChanged();
}

EditorContents GatewayListDialog::editorContents() const
{
    const auto text = [this](Control id) { return edit(id) ? edit(id)->text() : QString(); };
    const auto entryText = [this](Control id) { return combo(id) ? combo(id)->currentText() : QString(); };
    const auto entryIndex = [this](Control id) { return combo(id) ? combo(id)->currentIndex() : -1; };

    EditorContents contents;
    contents.modeIndex = entryIndex(Control::ModeCombo);
    contents.portText = text(Control::PortEdit);
    contents.remoteAddressText = text(Control::RemoteAddressEdit);
    contents.allowedMaskText = text(Control::AllowedMaskEdit);
    contents.baudRateText = entryText(Control::BaudRateCombo);
    contents.dataBitsText = entryText(Control::DataBitsCombo);
    contents.stopBitsText = entryText(Control::StopBitsCombo);
    contents.parityIndex = entryIndex(Control::ParityCombo);
    contents.flowControlIndex = entryIndex(Control::FlowControlCombo);
    contents.oemTypeText = entryText(Control::OemTypeCombo);
    contents.subnetMaskText = text(Control::SubnetMaskEdit);
    contents.defaultGatewayText = text(Control::DefaultGatewayEdit);
    return contents;
}

void GatewayListDialog::reject()
{
    // While a run is in progress the window takes no input, Escape included.
    if (!m_busy)
        QDialog::reject();
}

void GatewayListDialog::closeEvent(QCloseEvent *event)
{
    if (m_busy) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

QLineEdit *GatewayListDialog::edit(Control id) const
{
    return qobject_cast<QLineEdit *>(control(id));
}

QComboBox *GatewayListDialog::combo(Control id) const
{
    return qobject_cast<QComboBox *>(control(id));
}

QLabel *GatewayListDialog::label(Control id) const
{
    return qobject_cast<QLabel *>(control(id));
}

void GatewayListDialog::showControls(std::initializer_list<Control> ids, bool visible)
{
    for (Control id : ids) {
        if (QWidget *widget = control(id))
            widget->setVisible(visible);
    }
}

void GatewayListDialog::enableControls(std::initializer_list<Control> ids, bool enabled)
{
    for (Control id : ids) {
        if (QWidget *widget = control(id))
            widget->setEnabled(enabled);
    }
}

void GatewayListDialog::setLabelText(Control id, const QString &text)
{
    if (QLabel *target = label(id)) {
        target->setText(text);
        DialogBuilder::syncAccessibleTexts(target);
        DialogBuilder::fitLabel(target);
    }
}

void GatewayListDialog::setButtonIcon(Control id, int iconNumber)
{
    if (auto *button = qobject_cast<QAbstractButton *>(control(id)))
        button->setIcon(Artwork::icon(iconNumber));
}
