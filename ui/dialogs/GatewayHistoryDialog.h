#pragma once

#include "WriteHistory.h"

#include <QDialog>

#include <optional>

class QLabel;
class QPushButton;
class QTreeWidget;

// The journal's writes of one gateway, oldest first, as the command line's
// history lists them: the journal's own number, the time, who wrote (the
// window or a command), what changed (before -> after) and how it ended.
// "Restore" ends the dialog with the chosen write; the window then writes
// back what the gateway reported before it. Close, Escape and the close
// box end it without one.
class GatewayHistoryDialog : public QDialog
{
    Q_OBJECT

public:
    // `macText` as the journal writes it ("00-50-C2-4A-00-0A").
    explicit GatewayHistoryDialog(const QString &macText, QWidget *parent = nullptr);

    // The write chosen with Restore; nothing after Close.
    std::optional<WriteHistory::Write> chosenWrite() const { return m_chosen; }

    // The texts the list shows for a journal's command and outcome keys; a
    // key this program does not know is shown as it stands.
    static QString commandText(const QString &command);
    static QString outcomeText(const QString &outcome);

private:
    void fill(const QString &macText);
    void onRestore();
    // Restore for a chosen write, and its changes in full below the list.
    void onSelectionChanged();

    QList<WriteHistory::Write> m_writes;
    std::optional<WriteHistory::Write> m_chosen;
    QTreeWidget *m_list = nullptr;
    QLabel *m_notes = nullptr;
    QLabel *m_details = nullptr;
    QPushButton *m_restore = nullptr;
};
