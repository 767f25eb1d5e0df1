#pragma once

#include "ControlSet.h"
#include "GatewayExchange.h"
#include "GatewayList.h"
#include "EditorContents.h"
#include "GatewaySocketOwner.h"
#include "MainWindowControls.h"

#include <QDialog>
#include <QStringList>

#include <memory>
#include <optional>

struct AddressCheck;
class ConfigurationEditor;
class ConfigurationWrite;
class GatewayListPresentation;
class InputLock;
class PasswordStore;
class QAction;
class QLabel;
class QProgressBar;
class QTreeView;
class ReplyWait;
class Settings;
namespace WriteHistory {
struct Write;
}

// The program's main window: the gateway list with its refresh by discovery,
// and below it the configuration editor (ConfigurationEditor) with its
// write (ConfigurationWrite). It owns everything that lives during a run,
// wires the controls to their handlers and serves the sockets that fill the
// list.
class GatewayListDialog : public QDialog, public GatewaySocketOwner
{
    Q_OBJECT

public:
    // Builds the controls in the language in force and draws the icons.
    explicit GatewayListDialog(QWidget *parent = nullptr);
    ~GatewayListDialog() override;

    void setVariant(int variantIndex, quint32 typeFilter);
    void setProtectionFlag(int flag);
    void setPassword(const QString &password);
    void setBroadcastAddress(const QString &address);
    // Used by the dialogs opened from the window; may be null.
    void setSettings(Settings *settings);
    // Where the password is kept (the keyring or the settings file); may be
    // null, and then the password dialog writes PW to the settings. Set
    // before the window starts: it loads the password from the store at
    // start and keeps its input and first refresh back until it is read.
    void setPasswordStore(PasswordStore *store);
    // How the window makes its exchanges with the gateways; the real socket
    // unless replaced (tests run the window's flows without a network).
    // A replaced factory also keeps the fast refresh off the network: the
    // window's own refresh runs instead.
    void setExchangeFactory(GatewayExchangeFactory factory);
    // Whether a refresh fills the list by the pipelined scan (the user's
    // choice in the context menus of the list and the Refresh button).
    void setFastRefresh(bool fast);
    bool fastRefresh() const { return m_fastRefresh; }

    int variantIndex() const { return m_variantIndex; }
    int protectionFlag() const { return m_protectionFlag; }
    QString broadcastAddress() const { return m_broadcastAddress; }
    Settings *settings() const { return m_settings; }
    const QStringList &adapterBroadcastList() const { return m_adapterBroadcastList; }
    bool completionFlag() const { return m_completionFlag; }
    // True between EnableCommands(false) and EnableCommands(true).
    bool isBusy() const { return m_busy; }
    // The last refresh could not use UDP port 30718 (another program has it).
    bool portTakenInLastRefresh() const { return m_portTakenInLastRefresh; }

    // A control by its template number; null for an unknown number.
    QWidget *control(int id) const;
    QWidget *control(Control id) const;

    // Runs OnInitDialog, then the modal loop.
    int exec() override;

    // Window start: variant-dependent controls, title, list columns, editor
    // state; posts the first refresh. Runs once.
    bool OnInitDialog();
    void OnGatewayNotify(int wParam);
    // Clears the list, discovers the gateways and reads each one. Runs also
    // while the window is locked, as the write needs it; a user's command
    // that arrives during a run is kept out before it gets here. With the
    // fast refresh chosen, the pipelined scan fills the list with the same
    // rows, and the status line says so when it is done.
    void OnRefreshList();
    // "Set configuration" (button, Enter); never closes the window.
    void OnOK();
    // Locks (false) or unlocks (true) the window for the duration of a run.
    void EnableCommands(bool enable);
    // Waits `milliseconds` in 10 ms steps while replies are handled; a
    // completion message ends the wait 200 ms after it is handled. During
    // those 200 ms the window keeps painting, but `exchange` (the one the
    // wait is for) handles no further reply.
    void WaitForReplies(int milliseconds, GatewayExchange *exchange = nullptr);
    // A new exchange for `row` (-1: none); null when none can be made.
    std::unique_ptr<GatewayExchange> makeExchange(int row);
    // Gives the keyboard focus to the gateway list.
    void focusList();
    // Shows string `stringNumber` in the status line; 0 clears it.
    void ShowStatus(int stringNumber);
    // Shows a text made from a numbered string with its arguments filled in.
    void ShowStatusText(const QString &text);
    void UpdatePasswordStatus();
    // The editor's handlers (see ConfigurationEditor).
    void OnModeChanged();
    // The four commands of the top row (GatewayListCommands.cpp).
    void OnPassword();
    void OnBroadcastAddress();
    void OnResetIp();
    void OnExportList();
    // The journal's writes of the selected gateway (list context menu,
    // Ctrl+H), and the restore of one of them (GatewayListHistory.cpp).
    void OnHistory();
    // Writes back what the gateway `macText` reported before `write`, by
    // the one write sequence with its refusals, address check, journal and
    // verification; then refreshes the list and shows the result.
    void RestoreSnapshot(const QString &macText, const WriteHistory::Write &write);
    void ShowEmptyEditor();
    void OnGatewayListItemChanged();
    ConfigurationEditor &editor() { return *m_editor; }
    ConfigurationWrite &write() { return *m_write; }

    // GatewaySocketOwner
    GatewayList &gatewayList() override { return m_gatewayList; }
    quint32 typeFilter() const override { return m_typeFilter; }
    bool passwordProtection() const override { return m_protectionFlag != 0; }
    QString password() const override { return m_password; }
    // What the editor holds now.
    EditorContents editorContents() const;
    void postCompletion() override;

    // Asks the link who answers at each address; the window keeps painting.
    AddressCheck checkAddressesOnLink(const QList<quint32> &addresses);

signals:
    // The end of every refresh, after the window is unlocked again.
    void refreshFinished();
    // The end of every "Set configuration" run.
    void writeFinished();
    // The end of every restore, refused or run.
    void restoreFinished();

public slots:
    // OK is "Set configuration", which leaves the window open.
    void accept() override;
    void reject() override;

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // A refresh asked for by the button or the start-up notification; kept
    // out while a run is in progress.
    void onRefreshCommand();
    void connectEditor();
    void setUpVariantControls();
    void setUpList();
    void connectCommands();
    void connectHistory();
    // Starts reading the password from the store; the window takes no input
    // until onPasswordLoaded.
    void loadPassword();
    void onPasswordLoaded();
    // The checkable fast-refresh entry and the context menus that hold it
    // (GatewayListFastRefresh.cpp).
    void connectFastRefresh();
    void onFastRefreshChosen(bool fast);
    // The window's own refresh: one discovery wait, then a read of each row.
    // True when UDP port 30718 could not be opened.
    bool refreshByReads();
    // Reads `rows` one after the other, each in a wait of its own, as the
    // window's refresh does. True when the port could not be opened.
    bool readRows(const QList<int> &rows);
    // The fast refresh: the pipelined scan, in the window's row order, and
    // the window's own read of the rows the scan could not finish. True when
    // the port is taken; nothing when the scan cannot run here, and the
    // window's own refresh must.
    std::optional<bool> refreshByScan();
    // The status line's report of a finished fast refresh.
    QString fastRefreshSummary(qint64 elapsedMs) const;
    // Asks the link who holds `addresses`, painting between the looks.
    // The completion message: sets the flag and starts the running wait's tail.
    void OnCompletion();
    // Loads the editor if the rows changed while its reload was held.
    void releaseEditorReload();

    // The wait in progress and the exchange it is for.
    struct ActiveWait
    {
        ReplyWait *wait = nullptr;
        GatewayExchange *exchange = nullptr;
    };

    GatewayList m_gatewayList;
    quint32 m_typeFilter = 0;
    int m_variantIndex = -1;
    int m_protectionFlag = 0;
    QString m_password;
    QString m_broadcastAddress;
    bool m_completionFlag = false;
    ActiveWait *m_activeWait = nullptr;
    bool m_editorReloadHeld = false;
    bool m_editorReloadPending = false;
    QStringList m_adapterBroadcastList;
    Settings *m_settings = nullptr;
    PasswordStore *m_passwordStore = nullptr;
    bool m_passwordLoading = false;
    // The first refresh came while the password was still being read.
    bool m_refreshAfterPasswordLoad = false;

    GatewayExchangeFactory m_exchangeFactory;
    bool m_exchangesReplaced = false;
    bool m_fastRefresh = false;
    QAction *m_fastRefreshAction = nullptr;
    ControlSet m_controls;
    ConfigurationEditor *m_editor = nullptr;
    std::unique_ptr<ConfigurationWrite> m_write;
    QList<int> m_columnWidths;
    GatewayListPresentation *m_presentation = nullptr;
    QTreeView *m_listView = nullptr;
    QProgressBar *m_progressBar = nullptr;
    QLabel *m_statusLine = nullptr;
    InputLock *m_inputLock = nullptr;
    bool m_busy = false;
    bool m_portTakenInLastRefresh = false;
    bool m_initialised = false;
};
