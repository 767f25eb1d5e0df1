// The history of a gateway in the main window and the restore of one of its
// snapshots, end to end against a simulated gateway in a virtual LAN.

#include "ConfigurationEditor.h"
#include "GatewayHistoryDialog.h"
#include "GatewayListDialog.h"
#include "ModalDriver.h"
#include "SimulatorProcess.h"
#include "StringTable.h"
#include "Texts.h"
#include "WriteHistory.h"
#include "WriteJournal.h"

#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace {

const QString Ip = u"198.18.0.10"_s;
const QString Mac = u"00-50-C2-4A-00-0A"_s;

// What the simulator stores of the gateway, but for the raw records it
// keeps once written (the setup record's filler is random by design).
QJsonObject storedGateway(const SimulatorProcess &sim)
{
    QJsonObject gateway = sim.currentConfig().value(u"gateways"_s).toArray().at(0).toObject();
    gateway.remove(u"setupRecord"_s);
    gateway.remove(u"networkRecord"_s);
    return gateway;
}

// The writes among what the gateway received (IP-SETUP, OEM, network, record).
QStringList writes(const SimulatorProcess &sim)
{
    QStringList codes;
    for (const QJsonObject &entry : sim.receivedDatagrams()) {
        if (QStringList{u"fc"_s, u"c5"_s, u"c6"_s, u"fa"_s}.contains(entry.value(u"hex"_s).toString().mid(6, 2)))
            codes.append(entry.value(u"hex"_s).toString().mid(6, 2) + u'@' + entry.value(u"to"_s).toString());
    }
    return codes;
}

} // namespace

class TestHistoryRestoreLan : public QObject
{
    Q_OBJECT

private:
    // Opens the history of the selected gateway with `open`, takes the
    // dialog's rows and presses Restore on row `restoreRow`.
    static QList<QStringList> restoreFromDialog(GatewayListDialog &window, int restoreRow,
                                                const std::function<void()> &open)
    {
        QList<QStringList> rows;
        whenModal<GatewayHistoryDialog>([&rows, restoreRow](GatewayHistoryDialog *dialog) {
            auto *list = dialog->findChild<QTreeWidget *>(u"historyTreeWidget"_s);
            for (int row = 0; row < list->topLevelItemCount(); ++row) {
                QStringList texts;
                for (int column = 0; column < list->columnCount(); ++column)
                    texts.append(list->topLevelItem(row)->text(column));
                rows.append(texts);
            }
            list->setCurrentItem(list->topLevelItem(restoreRow));
            dialog->findChild<QPushButton *>(u"restorePushButton"_s)->click();
        });
        QSignalSpy finished(&window, &GatewayListDialog::restoreFinished);
        open();
        if (finished.isEmpty())
            finished.wait(60000);
        return rows;
    }

    static QString status(GatewayListDialog &w) { return qobject_cast<QLabel *>(w.control(Control::StatusLine))->text(); }

private:
    QTemporaryDir m_state;

private slots:
    void initTestCase()
    {
        if (!SimulatorProcess::available())
            QSKIP("needs the virtual LAN (scripts/vlan.sh) and the simulator");
        StringTable::setCurrentLanguage(UiLanguage::English);
        // A journal of this run alone: the history must list only its writes.
        QVERIFY(m_state.isValid());
        qputenv("XDG_STATE_HOME", m_state.path().toUtf8());
    }

    // A change written from the window, then its first snapshot restored
    // from the history: the gateway stores what it had before, the restore
    // is journaled as the window's, and a damaged snapshot sends nothing.
    void restoreWritesTheSnapshotBack()
    {
        SimulatorProcess sim;
        QVERIFY2(sim.start(SimulatorProcess::config({SimulatorProcess::gateway(Ip, Mac)}), 10000, true),
                 qPrintable(sim.errorString()));
        const QJsonObject original = storedGateway(sim);

        GatewayListDialog window;
        window.setVariant(2, 0);
        window.setBroadcastAddress(u"255.255.255.255"_s);
        window.show();
        QSignalSpy refreshed(&window, &GatewayListDialog::refreshFinished);
        window.OnInitDialog();
        QVERIFY(refreshed.wait(60000));
        window.editor().selectRow(window.editor().firstRowOf(ConfigurationEditor::NormalizeMac(Mac)));
        QVERIFY(window.editor().selectedRow() >= 0);
        qobject_cast<QLineEdit *>(window.control(Control::PortEdit))->setText(u"10005"_s);
        window.OnOK();
        QCOMPARE(status(window), StringTable::text(Text::GatewayReportsNewConfiguration));
        QVERIFY(storedGateway(sim) != original);

        // The list's shortcut opens the history of the selected row.
        sim.clearLog();
        auto *list = qobject_cast<QTreeView *>(window.control(Control::GatewayList));
        window.activateWindow();
        list->setFocus();
        const QList<QStringList> rows = restoreFromDialog(window, 0, [list] {
            QTest::keyClick(list, Qt::Key_H, Qt::ControlModifier);
        });
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first().at(0), u"1"_s);
        QCOMPARE(rows.first().at(2), GatewayHistoryDialog::commandText(u"window"_s));
        QVERIFY2(rows.first().at(3).contains(u"port 10001 -> 10005"_s), qPrintable(rows.first().at(3)));
        QCOMPARE(rows.first().at(4), StringTable::text(Text::OutcomeConfirmed));

        // Only the record goes back, and the gateway reports it.
        QCOMPARE(writes(sim), QStringList{u"c6@"_s + Ip});
        QCOMPARE(storedGateway(sim), original);
        QCOMPARE(status(window), StringTable::text(Text::WriteConfirmed));
        QCOMPARE(window.gatewayList().cellText(window.editor().selectedRow(), GatewayList::PortColumn), u"10001"_s);
        QVERIFY(!window.isBusy() && window.control(Control::SetConfigurationButton)->isEnabled());
        const WriteHistory::Result history = WriteHistory::read(Mac);
        QCOMPARE(history.writes.size(), 2);
        QCOMPARE(history.writes.last().entry.value(u"command"_s).toString(), u"window"_s);
        QCOMPARE(history.writes.last().outcome, u"confirmed"_s);
        QVERIFY(WriteHistory::changes(history.writes.last().entry).contains(u"port 10005 -> 10001"_s));

        // A snapshot no gateway can have reported is refused whole.
        QJsonObject damaged = history.writes.first().entry;
        QJsonObject read = damaged.value(u"read"_s).toObject();
        read.insert(u"ip"_s, u"0.0.0.0"_s);
        damaged.insert(u"read"_s, read);
        damaged.insert(u"id"_s, QUuid::createUuid().toString(QUuid::WithoutBraces));
        QString error;
        QVERIFY2(WriteJournal().append(damaged, &error), qPrintable(error));
        sim.clearLog();
        const QList<QStringList> listed = restoreFromDialog(window, 2, [&window] { window.OnHistory(); });
        QCOMPARE(listed.size(), 3);
        QCOMPARE(listed.at(1).at(0), u"2"_s);
        QCOMPARE(status(window), StringTable::text(Text::DamagedSnapshot).arg(u"3"_s, u"ip"_s));
        QTest::qWait(300);
        QCOMPARE(sim.receivedDatagrams().size(), 0);
        QCOMPARE(WriteHistory::read(Mac).writes.size(), 3);
    }
};

QTEST_MAIN(TestHistoryRestoreLan)
#include "TestHistoryRestoreLan.moc"
