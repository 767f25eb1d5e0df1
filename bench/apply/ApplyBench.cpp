// ovipgw apply of a plan that moves 40 simulated gateways to new addresses
// and another mode, against the window doing the same gateway by gateway:
// one window write is timed and counted 40 times (the window writes one
// gateway per Set configuration). Runs only inside the virtual LAN:
//
//     scripts/vlan.sh -- build/bench/apply/bench_apply

#include "ConfigurationEditor.h"
#include "GatewayListDialog.h"
#include "OvipgwCommand.h"
#include "SimulatorProcess.h"
#include "StringTable.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int Gateways = 40;

QString ipOf(int host) { return QStringLiteral("198.18.0.%1").arg(host); }
QString macOf(int host)
{
    return QStringLiteral("00-50-C2-4A-05-%1").arg(host, 2, 16, QLatin1Char('0')).toUpper();
}

bool startSimulator(SimulatorProcess &simulator, const QStringList &loss = {})
{
    QList<QJsonObject> gateways;
    for (int i = 0; i < Gateways; ++i)
        gateways.append(SimulatorProcess::gateway(ipOf(10 + i), macOf(10 + i)));
    simulator.setExtraArguments(QStringList{QStringLiteral("--unpaced")} + loss);
    return simulator.start(SimulatorProcess::config(gateways));
}

struct ApplyRun
{
    qint64 ms = -1;
    int confirmed = 0;
    int status = -1;
};

// The plan applied to freshly started gateways (`loss`: the simulator's
// reply loss options).
ApplyRun applyPlan(const QString &planPath, const QStringList &loss)
{
    ApplyRun run;
    // The simulated gateways answer the link with one MAC address between
    // them, so the addresses the last run gave would still look taken.
    QProcess::execute(QStringLiteral("ip"), {QStringLiteral("neigh"), QStringLiteral("flush"), QStringLiteral("all")});
    SimulatorProcess simulator;
    if (!startSimulator(simulator, loss))
        return run;
    QByteArray out;
    QByteArray err;
    QElapsedTimer clock;
    clock.start();
    run.status = OvipgwCommand::run({QStringLiteral("apply"), planPath, QStringLiteral("--format"),
                                     QStringLiteral("json")},
                                    &out, &err);
    run.ms = clock.elapsed();
    run.confirmed = QJsonDocument::fromJson(out)
                        .object()
                        .value(QStringLiteral("summary"))
                        .toObject()
                        .value(QStringLiteral("confirmed"))
                        .toInt();
    return run;
}

// One gateway written by the window: new address and mode, Set configuration,
// until the window shows the result.
qint64 windowWriteMs()
{
    GatewayListDialog window;
    window.setVariant(2, 0);
    window.setBroadcastAddress(QStringLiteral("255.255.255.255"));
    window.show();
    QSignalSpy refreshed(&window, &GatewayListDialog::refreshFinished);
    window.OnInitDialog();
    if (!refreshed.wait(60000))
        return -1;
    const int row = window.editor().firstRowOf(ConfigurationEditor::NormalizeMac(macOf(10)));
    window.editor().selectRow(row);
    qobject_cast<QLineEdit *>(window.control(Control::IpAddressEdit))->setText(ipOf(200));
    qobject_cast<QComboBox *>(window.control(Control::ModeCombo))->setCurrentIndex(3);
    QElapsedTimer clock;
    clock.start();
    window.OnOK();
    return clock.elapsed();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    if (!SimulatorProcess::available()) {
        std::fprintf(stderr, "bench_apply: run it inside the virtual LAN (scripts/vlan.sh -- bench_apply)\n");
        return 2;
    }
    StringTable::setCurrentLanguage(UiLanguage::English);
    QTemporaryDir folder;
    qputenv("XDG_STATE_HOME", folder.path().toUtf8());

    qint64 window = -1;
    {
        SimulatorProcess simulator;
        if (!startSimulator(simulator)) {
            std::fprintf(stderr, "simulator: %s\n", qPrintable(simulator.errorString()));
            return 1;
        }
        window = windowWriteMs();
    }

    const QString planPath = folder.filePath(QStringLiteral("plan.csv"));
    QFile plan(planPath);
    if (!plan.open(QIODevice::WriteOnly))
        return 1;
    plan.write("mac,ip,mode\n");
    for (int i = 0; i < Gateways; ++i)
        plan.write(QStringLiteral("%1,%2,udp-passive\n").arg(macOf(10 + i), ipOf(100 + i)).toUtf8());
    plan.close();

    const ApplyRun lossless = applyPlan(planPath, {});
    std::printf("%-48s | %9s | %s\n", "", "wall ms", "confirmed");
    std::printf("%-48s | %9lld | %d/%d (exit %d)\n", "ovipgw apply, 40 gateways (address + mode)", lossless.ms,
                lossless.confirmed, Gateways, lossless.status);
    bool allConfirmed = lossless.status == 0;
    // Lost replies cost a round of reading or sending again, not a second run.
    for (const char *seed : {"1", "2", "3"}) {
        const ApplyRun lossy = applyPlan(planPath, {QStringLiteral("--loss"), QStringLiteral("5"),
                                                    QStringLiteral("--seed"), QString::fromLatin1(seed)});
        std::printf("%-48s | %9lld | %d/%d (exit %d, %.2f x lossless)\n",
                    qPrintable(QStringLiteral("  the same at 5 % reply loss, seed %1").arg(QLatin1String(seed))),
                    lossy.ms, lossy.confirmed, Gateways, lossy.status, double(lossy.ms) / double(qMax<qint64>(1, lossless.ms)));
        allConfirmed = allConfirmed && lossy.status == 0;
    }
    std::printf("%-48s | %9lld |\n", "window, one gateway (Set configuration)", window);
    std::printf("%-48s | %9lld |\n", "window, 40 gateways one by one (40 x the above)", window * Gateways);
    std::printf("%-48s | %9d |\n", "the exchanges' own waits (2 x 8000 ms)", 16000);
    return allConfirmed ? 0 : 1;
}