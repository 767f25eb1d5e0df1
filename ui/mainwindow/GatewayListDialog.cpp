#include "GatewayListDialog.h"

#include "Artwork.h"
#include "BroadcastDestinations.h"
#include "ConfigurationEditor.h"
#include "ExchangeWaits.h"
#include "ConfigurationWrite.h"
#include "DeviceTables.h"
#include "DialogBuilder.h"
#include "DialogTemplate.h"
#include "GatewayListPresentation.h"
#include "GatewayNotifyEvent.h"
#include "InputLock.h"
#include "MainWindowButtons.h"
#include "MainWindowControls.h"
#include "NoReplyDiagnosis.h"
#include "PasswordStore.h"
#include "ReplyWait.h"
#include "StringTable.h"
#include "Texts.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QTreeView>

#include <algorithm>
#include <utility>
#include <array>

namespace {

const QString TemplateResource = QStringLiteral(":/dialogs/dialog102.json");

constexpr int ReadWaitMs = ExchangeWait::ReadMs;


} // namespace

GatewayListDialog::GatewayListDialog(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , m_exchangeFactory(socketExchangeFactory())
    , m_inputLock(new InputLock(this))
{
    QString error;
    const std::optional<DialogTemplate> layout =
        DialogTemplate::load(TemplateResource, StringTable::currentLanguage(), &error);
    if (!layout)
        qWarning("main window layout unusable: %s", qPrintable(error));
    const DialogTemplate dialogTemplate = layout.value_or(DialogTemplate{});
    const DialogBuilder builder(dialogTemplate, this);
    m_controls = ControlSet(builder.numberedControls());

    m_listView = qobject_cast<QTreeView *>(control(Control::GatewayList));
    m_progressBar = qobject_cast<QProgressBar *>(control(Control::ProgressBar));
    m_statusLine = m_controls.label(Control::StatusLine);
    m_presentation = new GatewayListPresentation(dialogTemplate.rowStatusNames, this);
    m_presentation->setSourceModel(&m_gatewayList);
    m_editor = new ConfigurationEditor(m_controls, m_gatewayList, this);
    m_editor->setListView(m_listView);
    m_write = std::make_unique<ConfigurationWrite>(*this, *m_editor, m_controls);

    // The serial-line combo boxes come with their fixed entries.
    for (Control id : ControlGroup::SerialCombos) {
        if (QComboBox *box = m_controls.combo(id))
            box->addItems(StringTable::comboEntries(controlNumber(id)));
    }
    if (auto *refresh = qobject_cast<QAbstractButton *>(control(Control::RefreshButton)))
        connect(refresh, &QAbstractButton::clicked, this, &GatewayListDialog::onRefreshCommand);
    if (auto *setConfiguration = qobject_cast<QAbstractButton *>(control(Control::SetConfigurationButton)))
        connect(setConfiguration, &QAbstractButton::clicked, this, &GatewayListDialog::OnOK);
    connectEditor();
    connectCommands();
    connectFastRefresh();
}

void GatewayListDialog::connectEditor()
{
    if (QComboBox *mode = m_controls.combo(Control::ModeCombo))
        connect(mode, &QComboBox::activated, m_editor, &ConfigurationEditor::OnModeChanged);
    if (QComboBox *oemType = m_controls.combo(Control::OemTypeCombo))
        connect(oemType, &QComboBox::activated, m_editor, &ConfigurationEditor::OnOemTypeChanged);
    if (auto *setOem = qobject_cast<QAbstractButton *>(control(Control::SetOemCheck)))
        connect(setOem, &QAbstractButton::clicked, m_editor, &ConfigurationEditor::OnSetOem);
    // Every change of the rows reloads the editor, as the list notifies
    // item changes; a rebuild leaves no row selected and so an empty editor.
    // While a row is read its cells change a dozen times, each before the
    // next request goes out: the editor is loaded once the read has ended.
    const auto reload = [this] {
        if (m_editorReloadHeld)
            m_editorReloadPending = true;
        else
            m_editor->OnGatewayListItemChanged();
    };
    connect(&m_gatewayList, &QAbstractItemModel::dataChanged, m_editor, reload);
    connect(&m_gatewayList, &QAbstractItemModel::rowsInserted, m_editor, reload);
    connect(&m_gatewayList, &QAbstractItemModel::rowsRemoved, m_editor, reload);
    connect(&m_gatewayList, &QAbstractItemModel::modelReset, m_editor, reload);
}

GatewayListDialog::~GatewayListDialog()
{
    // The editor reads the list, a member that dies before the children do;
    // no late notification of the list control may reach it.
    m_write.reset();
    delete m_editor;
}

void GatewayListDialog::setVariant(int variantIndex, quint32 typeFilter)
{
    m_variantIndex = variantIndex;
    m_typeFilter = typeFilter;
    m_editor->setVariant(variantIndex);
}

void GatewayListDialog::setProtectionFlag(int flag) { m_protectionFlag = flag; }
void GatewayListDialog::setPassword(const QString &password) { m_password = password; }
void GatewayListDialog::setBroadcastAddress(const QString &address) { m_broadcastAddress = address; }
void GatewayListDialog::setSettings(Settings *settings) { m_settings = settings; }
void GatewayListDialog::setPasswordStore(PasswordStore *store) { m_passwordStore = store; }

void GatewayListDialog::setExchangeFactory(GatewayExchangeFactory factory)
{
    m_exchangeFactory = std::move(factory);
    m_exchangesReplaced = true;
}

QWidget *GatewayListDialog::control(int id) const
{
    return m_controls.widget(id);
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
    MainWindowButtons::attach([this](Control id) { return control(id); });
    m_adapterBroadcastList = BuildAdapterBroadcastList();
    setUpVariantControls();
    if (m_progressBar)
        m_progressBar->hide();
    setWindowTitle(loadString(StringBase::WindowTitle + m_variantIndex));
    setUpList();

    if (QComboBox *mode = m_controls.combo(Control::ModeCombo)) {
        mode->clear();
        const int modes = m_variantIndex == 1 ? 1 : ModeCount;
        for (int i = 0; i < modes; ++i)
            mode->addItem(loadString(StringBase::ModeName + i));
        mode->setCurrentIndex(m_variantIndex == 5 ? 2 : 0);
    }

    OnModeChanged();
    UpdatePasswordStatus();
    OnGatewayListItemChanged();
    loadPassword();

    // The first refresh runs once the window is visible and its loop runs.
    QCoreApplication::postEvent(this, new GatewayNotifyEvent(GatewayNotifyEvent::Refresh));
    return true;
}

void GatewayListDialog::setUpVariantControls()
{
    if (m_variantIndex == 0) {
        if (QComboBox *oem = m_controls.combo(Control::OemTypeCombo)) {
            QStringList entries;
            for (const DeviceType &type : DeviceTypeTable)
                entries.append(oemEntryText(type));
            // The box keeps its entries sorted by text, which is type-code order.
            std::sort(entries.begin(), entries.end());
            oem->clear();
            oem->addItems(entries);
            oem->setCurrentIndex(0);
        }
        m_controls.show(ControlGroup::Oem, true);
        m_controls.setLabelText(Control::PortHint, loadString(Text::PortDefaultBothHint));
    } else if (m_variantIndex == 1) {
        m_controls.setLabelText(Control::PortHint, loadString(Text::PortDefault10002Hint));
    } else {
        m_controls.show(ControlGroup::Oem, false);
    }
}

void GatewayListDialog::setUpList()
{
    if (!m_listView)
        return;
    m_listView->setModel(m_presentation);
    // A new selection, by click or by arrow key, loads the editor.
    connect(m_listView->selectionModel(), &QItemSelectionModel::selectionChanged, m_editor,
            &ConfigurationEditor::OnSelectionChanged);
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
        onRefreshCommand();
    else if (wParam == GatewayNotifyEvent::Completion)
        OnCompletion();
}

void GatewayListDialog::OnCompletion()
{
    m_completionFlag = true;
    if (!m_activeWait)
        return;
    // The reply the wait was for has come; a second one must not draw a
    // second answer while the tail runs.
    if (m_activeWait->exchange)
        m_activeWait->exchange->StopReceiving();
    m_activeWait->wait->complete();
}

void GatewayListDialog::postCompletion()
{
    QCoreApplication::postEvent(this, new GatewayNotifyEvent(GatewayNotifyEvent::Completion));
}

void GatewayListDialog::onRefreshCommand()
{
    // A refresh with protection on reads the locked gateways with the
    // password: not before it is known.
    if (m_passwordLoading) {
        m_refreshAfterPasswordLoad = true;
        return;
    }
    if (!m_busy)
        OnRefreshList();
}

void GatewayListDialog::loadPassword()
{
    if (!m_passwordStore)
        return;
    connect(m_passwordStore, &PasswordStore::loaded, this, &GatewayListDialog::onPasswordLoaded,
            Qt::SingleShotConnection);
    // Locked, not busy: the window paints and can be closed, but no command
    // (a write, the password dialog, a refresh) runs on a password not yet
    // read. Usually that lasts a few milliseconds, a keyring's unlock
    // prompt aside.
    m_passwordLoading = true;
    m_inputLock->setLocked(true);
    m_passwordStore->load();
}

void GatewayListDialog::onPasswordLoaded()
{
    if (!m_passwordLoading)
        return;
    m_passwordLoading = false;
    m_password = m_passwordStore->password();
    m_inputLock->setLocked(false);
    if (std::exchange(m_refreshAfterPasswordLoad, false))
        onRefreshCommand();
}

void GatewayListDialog::OnRefreshList()
{
    EnableCommands(false);
    m_gatewayList.clear();
    m_controls.show({Control::ExportButton}, false);

    QElapsedTimer clock;
    clock.start();
    const std::optional<bool> scanned = m_fastRefresh ? refreshByScan() : std::nullopt;
    const bool portUnavailable = scanned ? *scanned : refreshByReads();

    m_portTakenInLastRefresh = portUnavailable;
    EnableCommands(true);
    // "Port taken" must not read as "no gateways".
    ShowStatus(portUnavailable ? Text::PortInUse : Text::None);
    if (!portUnavailable && m_gatewayList.count() == 0 && m_statusLine) {
        // Say why nothing answered, as far as the tool can know.
        const QString diagnosis = NoReplyDiagnosis::noGatewayText(
            SelectBroadcastDestinations(m_broadcastAddress, m_adapterBroadcastList), LocalAdapters(),
            NoReplyDiagnosis::installedFirewall());
        ShowStatusText(diagnosis);
    } else if (!portUnavailable && scanned) {
        // The list looks as after the window's own refresh; the line says
        // which of the two filled it.
        ShowStatusText(fastRefreshSummary(clock.elapsed()));
    }
    focusList();
    if (m_gatewayList.count() > 0)
        m_controls.show({Control::ExportButton}, true);
    emit refreshFinished();
}

bool GatewayListDialog::refreshByReads()
{
    ShowStatus(Text::SearchingGateways);

    bool portUnavailable = false;
    if (std::unique_ptr<GatewayExchange> discovery = makeExchange(-1)) {
        // A discovery that was not sent simply finds nothing.
        if (!discovery->SendDiscover(m_broadcastAddress, m_adapterBroadcastList) && !discovery->wasOpened())
            portUnavailable = true;
        WaitForReplies(ReadWaitMs, discovery.get());
        discovery->Close();
    }

    QList<int> lastFirst;
    for (int row = m_gatewayList.count() - 1; row >= 0; --row)
        lastFirst.append(row);
    return readRows(lastFirst) || portUnavailable;
}

bool GatewayListDialog::readRows(const QList<int> &rows)
{
    if (rows.isEmpty())
        return false;
    ShowStatus(Text::ReadingConfiguration);
    bool portUnavailable = false;
    for (int row : rows) {
        std::unique_ptr<GatewayExchange> read = makeExchange(row);
        if (!read)
            break;
        m_editorReloadHeld = true;
        if (!read->SendReadIdentity() && !read->wasOpened())
            portUnavailable = true;
        WaitForReplies(ReadWaitMs, read.get());
        read->Close();
        read.reset();
        releaseEditorReload();
        if (m_gatewayList.typeCode(row) == 0)
            m_gatewayList.setRowStatus(row, RowStatus::UnknownType);
    }
    return portUnavailable;
}

void GatewayListDialog::releaseEditorReload()
{
    m_editorReloadHeld = false;
    if (std::exchange(m_editorReloadPending, false))
        m_editor->OnGatewayListItemChanged();
}

void GatewayListDialog::EnableCommands(bool enable)
{
    if (!enable) {
        m_busy = true;
        // Locked, not disabled: the list and the status line that says what
        // is going on stay readable; only the two large buttons change.
        m_inputLock->setLocked(true);
        m_controls.enable({Control::RefreshButton, Control::SetConfigurationButton}, false);
        MainWindowButtons::showBusy([this](Control id) { return control(id); }, true);
    } else {
        MainWindowButtons::showBusy([this](Control id) { return control(id); }, false);
        m_inputLock->setLocked(false);
        m_controls.enable({Control::RefreshButton, Control::SetConfigurationButton}, true);
        m_busy = false;
    }
}

void GatewayListDialog::focusList()
{
    if (m_listView)
        m_listView->setFocus();
}

std::unique_ptr<GatewayExchange> GatewayListDialog::makeExchange(int row)
{
    return m_exchangeFactory ? m_exchangeFactory(*this, row) : nullptr;
}

void GatewayListDialog::OnOK()
{
    if (m_busy)
        return;
    m_write->OnOK();
    emit writeFinished();
}

void GatewayListDialog::accept()
{
    OnOK();
}

void GatewayListDialog::WaitForReplies(int milliseconds, GatewayExchange *exchange)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int steps = milliseconds / ReplyWait::StepMs;
    m_completionFlag = false;
    if (m_progressBar) {
        m_progressBar->setRange(0, qMax(0, steps));
        m_progressBar->show();
    }
    ReplyWait wait([this](int step) {
        if (m_progressBar)
            m_progressBar->setValue(step);
    });
    ActiveWait *const outer = m_activeWait;
    ActiveWait active{&wait, exchange};
    m_activeWait = &active;
    wait.run(steps);
    m_activeWait = outer;
    if (m_progressBar)
        m_progressBar->hide();
    QApplication::restoreOverrideCursor();
}

void GatewayListDialog::ShowStatus(int stringNumber)
{
    if (!m_statusLine)
        return;
    ShowStatusText(stringNumber != 0 ? loadString(stringNumber) : QString());
}

void GatewayListDialog::ShowStatusText(const QString &text)
{
    if (!m_statusLine)
        return;
    // The line has no fixed accessible name, so its name is the text and a
    // screen reader reads what happened. The label reports a changed text as
    // a name change itself; the same message again (the same refusal twice)
    // is reported here, so that it is heard again too.
    const bool repeated = !text.isEmpty() && m_statusLine->text() == text;
    m_statusLine->setText(text);
    if (repeated) {
        QAccessibleEvent nameChanged(m_statusLine, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&nameChanged);
    }
}

void GatewayListDialog::UpdatePasswordStatus()
{
    m_controls.setLabelText(Control::PasswordStatusLabel,
                 loadString(StringBase::PasswordStatus + (m_protectionFlag != 0 ? 1 : 0)));
}

void GatewayListDialog::OnModeChanged()
{
    m_editor->OnModeChanged();
}

void GatewayListDialog::ShowEmptyEditor()
{
    m_editor->ShowEmptyEditor();
}

void GatewayListDialog::OnGatewayListItemChanged()
{
    m_editor->OnGatewayListItemChanged();
}

EditorContents GatewayListDialog::editorContents() const
{
    return m_editor->contents();
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

