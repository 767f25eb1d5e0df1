#include "GatewayListDialog.h"

#include "Artwork.h"
#include "BroadcastDestinations.h"
#include "DeviceTables.h"
#include "DialogBuilder.h"
#include "DialogTemplate.h"
#include "GatewayListPresentation.h"
#include "GatewayNotifyEvent.h"
#include "ReplyWait.h"
#include "StringTable.h"

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

// Shown instead of an empty status line when a refresh could not open its
// socket, so that "port taken" does not read as "no gateways".
constexpr int PortUnavailableString = 214;

constexpr int ReadWaitMs = 1000;

// Controls of the editor, by group.
constexpr std::initializer_list<int> SerialCombos{1015, 1018, 1022, 1026, 1024};
constexpr std::initializer_list<int> SerialGroup{1015, 1018, 1022, 1026, 1024, 1017,
                                                 1021, 1023, 1027, 1025, 1028};
constexpr std::initializer_list<int> AddressEdits{1105, 1106, 1111, 1020, 1107, 1110, 1109};

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

    m_listView = qobject_cast<QTreeView *>(control(1108));
    m_progressBar = qobject_cast<QProgressBar *>(control(1009));
    m_statusLine = label(1091);
    m_presentation = new GatewayListPresentation(dialogTemplate.rowStatusNames, this);
    m_presentation->setSourceModel(&m_gatewayList);

    // The serial-line combo boxes come with their fixed entries.
    for (int id : SerialCombos) {
        if (QComboBox *box = combo(id))
            box->addItems(StringTable::comboEntries(id));
    }
    if (QAbstractButton *refresh = qobject_cast<QAbstractButton *>(control(9)))
        connect(refresh, &QAbstractButton::clicked, this, &GatewayListDialog::OnRefreshList);
    if (QComboBox *mode = combo(1001))
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

    if (QComboBox *mode = combo(1001)) {
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
        if (QComboBox *oem = combo(1012)) {
            QStringList entries;
            for (const DeviceType &type : DeviceTypeTable)
                entries.append(oemEntryText(type));
            // The box keeps its entries sorted by text, which is type-code order.
            std::sort(entries.begin(), entries.end());
            oem->clear();
            oem->addItems(entries);
            oem->setCurrentIndex(0);
        }
        showControls({1012, 1013}, true);
        setLabelText(1008, loadString(210));
    } else if (m_variantIndex == 1) {
        setLabelText(1008, loadString(209));
    } else {
        showControls({1012, 1013}, false);
    }
}

void GatewayListDialog::setUpList()
{
    if (!m_listView)
        return;
    m_listView->setModel(m_presentation);
    QHeaderView *header = m_listView->header();
    const QList<int> widths = GatewayListPresentation::columnWidths(*m_listView);
    for (int column = 0; column < GatewayList::ColumnCount; ++column) {
        header->setSectionResizeMode(column, QHeaderView::Interactive);
        header->resizeSection(column, widths.value(column));
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
    showControls({1011}, false);
    ShowStatus(144);

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
        ShowStatus(148);
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
    ShowStatus(portUnavailable ? PortUnavailableString : 0);
    if (m_listView)
        m_listView->setFocus();
    if (m_gatewayList.count() > 0)
        showControls({1011}, true);
    emit refreshFinished();
}

void GatewayListDialog::EnableCommands(bool enable)
{
    if (!enable) {
        m_busy = true;
        QDialog::setEnabled(false);
        enableControls({9, 1}, false);
        setButtonIcon(9, 136);
        setButtonIcon(1, 135);
    } else {
        setButtonIcon(9, 134);
        setButtonIcon(1, 133);
        QDialog::setEnabled(true);
        enableControls({9, 1}, true);
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
    setLabelText(1016, loadString(StringBase::PasswordStatus + (m_protectionFlag != 0 ? 1 : 0)));
}

void GatewayListDialog::OnModeChanged()
{
    const QComboBox *mode = combo(1001);
    const int modeIndex = mode ? qMax(0, mode->currentIndex()) : 0;
    if (m_variantIndex == 5) {
        setLabelText(1010, QString());
        showControls({1004, 1110, 1005}, false);
    } else {
        setLabelText(1010, loadString(StringBase::ModeDescription + modeIndex));
        // A TCP client connects out, so it has no mask of allowed addresses.
        showControls({1004, 1110, 1005}, modeIndex != 1);
    }
    showControls({1002, 1109}, true);
    showControls({1003}, false);
    setLabelText(1002, loadString(modeIndex == 0 || modeIndex == 3 ? 203 : 205));
}

void GatewayListDialog::ShowEmptyEditor()
{
    showControls({1006, 1007, 1001, 1107, 1008}, true);
    enableControls({1105, 1106, 1111, 1020, 1001, 1107, 1110, 1109}, false);
    for (int id : SerialCombos) {
        if (QComboBox *box = combo(id)) {
            box->setCurrentIndex(-1);
            box->setEnabled(false);
        }
    }
    showControls(SerialGroup, false);
    for (int id : AddressEdits) {
        if (QLineEdit *field = edit(id))
            field->clear();
    }
    OnModeChanged();
}

EditorContents GatewayListDialog::editorContents() const
{
    const auto text = [this](int id) { return edit(id) ? edit(id)->text() : QString(); };
    const auto entryText = [this](int id) { return combo(id) ? combo(id)->currentText() : QString(); };
    const auto entryIndex = [this](int id) { return combo(id) ? combo(id)->currentIndex() : -1; };

    EditorContents contents;
    contents.modeIndex = entryIndex(1001);
    contents.portText = text(1107);
    contents.remoteAddressText = text(1109);
    contents.allowedMaskText = text(1110);
    contents.baudRateText = entryText(1015);
    contents.dataBitsText = entryText(1018);
    contents.stopBitsText = entryText(1022);
    contents.parityIndex = entryIndex(1026);
    contents.flowControlIndex = entryIndex(1024);
    contents.oemTypeText = entryText(1012);
    contents.subnetMaskText = text(1111);
    contents.defaultGatewayText = text(1020);
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

QLineEdit *GatewayListDialog::edit(int id) const
{
    return qobject_cast<QLineEdit *>(control(id));
}

QComboBox *GatewayListDialog::combo(int id) const
{
    return qobject_cast<QComboBox *>(control(id));
}

QLabel *GatewayListDialog::label(int id) const
{
    return qobject_cast<QLabel *>(control(id));
}

void GatewayListDialog::showControls(std::initializer_list<int> ids, bool visible)
{
    for (int id : ids) {
        if (QWidget *widget = control(id))
            widget->setVisible(visible);
    }
}

void GatewayListDialog::enableControls(std::initializer_list<int> ids, bool enabled)
{
    for (int id : ids) {
        if (QWidget *widget = control(id))
            widget->setEnabled(enabled);
    }
}

void GatewayListDialog::setLabelText(int id, const QString &text)
{
    if (QLabel *target = label(id)) {
        target->setText(text);
        DialogBuilder::syncAccessibleTexts(target);
        DialogBuilder::fitLabel(target);
    }
}

void GatewayListDialog::setButtonIcon(int id, int iconNumber)
{
    if (auto *button = qobject_cast<QAbstractButton *>(control(id)))
        button->setIcon(Artwork::icon(iconNumber));
}
