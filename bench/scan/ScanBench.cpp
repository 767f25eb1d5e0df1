// ovipgw scan of 1, 10, 100 and 253 simulated gateways against the main
// window's refresh of the same gateways, on the real sockets, with the
// simulator answering unpaced (every gateway at once, as real ones do).
// Also: rows identical to the window's; rows missing, rows not fully read
// and wall time of scans of 240 gateways with 0, 5 and 20 % of the replies
// dropped; and the window's cold start to its first painted frame and its
// resident memory with 253 rows. Runs only inside the virtual LAN:
//
//     scripts/vlan.sh -- build/bench/scan/bench_scan

#include "GatewayListDialog.h"
#include "SimulatorProcess.h"
#include "StringTable.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int LossRuns = 5;
constexpr int LossGateways = 240;

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

QJsonObject gatewaysConfig(int count)
{
    QList<QJsonObject> gateways;
    for (int i = 0; i < count; ++i) {
        const int host = 2 + i; // .1 is the tool's
        gateways.append(SimulatorProcess::gateway(
            QStringLiteral("198.18.0.%1").arg(host),
            QStringLiteral("00-50-C2-4A-01-%1").arg(host, 2, 16, QLatin1Char('0')).toUpper()));
    }
    return SimulatorProcess::config(gateways);
}

// "cells|status" per MAC.
using Rows = QMap<QString, QString>;

struct Run
{
    qint64 wallMs = -1;
    double cpuMs = 0;
    Rows rows;
    int complete = 0;   // rows with their setup read
    int incomplete = 0; // rows the scan marks as not fully read
};

Run scan()
{
    Run run;
    QProcess process;
    const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(OVIPGW_PATH), {QStringLiteral("scan"), QStringLiteral("--format=json")});
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(1000);
        return run;
    }
    run.wallMs = clock.elapsed();
    run.cpuMs = (cpuSeconds(RUSAGE_CHILDREN) - cpuBefore) * 1000;

    static const QStringList keys{
        QStringLiteral("type"),     QStringLiteral("ip"),       QStringLiteral("mac"),
        QStringLiteral("mode"),     QStringLiteral("port"),     QStringLiteral("remoteIp"),
        QStringLiteral("ipMask"),   QStringLiteral("firmware"), QStringLiteral("subnetGateway"),
        QStringLiteral("baudRate"), QStringLiteral("dataBits"), QStringLiteral("stopBits"),
        QStringLiteral("parity"),   QStringLiteral("flowControl"), QStringLiteral("status")};
    const QJsonArray gateways =
        QJsonDocument::fromJson(process.readAllStandardOutput()).object().value(QStringLiteral("gateways")).toArray();
    static const QStringList statuses{QStringLiteral("discovered"),    QStringLiteral("unknownType"),
                                      QStringLiteral("noPassword"),    QStringLiteral("wrongPassword"),
                                      QStringLiteral("passwordOk"),    QStringLiteral("corruptContent")};
    for (const QJsonValue &value : gateways) {
        const QJsonObject object = value.toObject();
        QStringList cells;
        for (const QString &key : keys)
            cells.append(key == QLatin1String("status")
                             ? QString::number(statuses.indexOf(object.value(key).toString()))
                             : object.value(key).toString());
        run.rows.insert(object.value(QStringLiteral("mac")).toString(), cells.join(QLatin1Char('|')));
        run.complete += !object.value(QStringLiteral("port")).toString().isEmpty();
        run.incomplete += !object.value(QStringLiteral("complete")).toBool();
    }
    return run;
}

Run refresh(long *residentAfter = nullptr)
{
    Run run;
    GatewayListDialog window;
    window.setVariant(0, 0);
    window.setBroadcastAddress(QStringLiteral("255.255.255.255"));
    window.show();
    QSignalSpy finished(&window, &GatewayListDialog::refreshFinished);
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer clock;
    clock.start();
    window.OnInitDialog();
    if (!finished.wait(120000))
        return run;
    run.wallMs = clock.elapsed();
    run.cpuMs = (cpuSeconds(RUSAGE_SELF) - cpuBefore) * 1000;
    GatewayList &list = window.gatewayList();
    for (int row = 0; row < list.count(); ++row) {
        QStringList cells;
        for (int column = 0; column < GatewayList::ColumnCount; ++column)
            cells.append(list.cellText(row, column));
        cells.append(QString::number(list.rowStatus(row)));
        run.rows.insert(list.cellText(row, GatewayList::MacAddressColumn), cells.join(QLatin1Char('|')));
        run.complete += !list.cellText(row, GatewayList::PortColumn).isEmpty();
    }
    if (residentAfter)
        *residentAfter = residentKiB();
    return run;
}

// Time from here to the first paint of a freshly made main window.
qint64 firstFrameMs(const QElapsedTimer &sinceStart)
{
    struct PaintWatch : QObject
    {
        bool painted = false;
        bool eventFilter(QObject *, QEvent *event) override
        {
            painted |= event->type() == QEvent::Paint;
            return false;
        }
    } watch;
    GatewayListDialog window;
    window.installEventFilter(&watch);
    window.setVariant(0, 0);
    window.show();
    QElapsedTimer limit;
    limit.start();
    while (!watch.painted && limit.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return watch.painted ? sinceStart.elapsed() : -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    QApplication application(argc, argv);
    if (!SimulatorProcess::available()) {
        std::fprintf(stderr, "bench_scan: run it inside the virtual LAN (scripts/vlan.sh -- bench_scan)\n");
        return 2;
    }
    StringTable::setCurrentLanguage(UiLanguage::English);
    // No simulator yet: the window's first refresh finds nothing and is not
    // part of the measurement, which ends at the first frame.
    const qint64 coldStartMs = firstFrameMs(sinceStart);

    std::printf("%5s | %9s %8s %6s | %9s %8s | %7s | %s\n", "n", "scan ms", "CPU ms", "rows", "window ms",
                "CPU ms", "ratio", "rows equal");
    bool ok = true;
    long resident253 = -1;
    for (int n : {1, 10, 100, 253}) {
        SimulatorProcess simulator;
        simulator.setExtraArguments({QStringLiteral("--unpaced")});
        if (!simulator.start(gatewaysConfig(n), 30000)) {
            std::fprintf(stderr, "simulator: %s\n", qPrintable(simulator.errorString()));
            return 1;
        }
        const Run scanned = scan();
        const Run window = refresh(n == 253 ? &resident253 : nullptr);
        const bool equal = scanned.rows == window.rows && scanned.complete == n;
        std::printf("%5d | %9lld %8.1f %3d/%-3d| %9lld %8.1f | %7.1f | %s\n", n,
                    static_cast<long long>(scanned.wallMs), scanned.cpuMs, scanned.complete, n,
                    static_cast<long long>(window.wallMs), window.cpuMs,
                    scanned.wallMs > 0 ? double(window.wallMs) / double(scanned.wallMs) : 0.0,
                    equal ? "yes" : "NO");
        std::fflush(stdout);
        ok &= equal && scanned.wallMs > 0;
    }

    std::printf("\n%4s | %12s | %15s | %15s | %s\n", "loss", "rows missing", "not fully read",
                "read, by scan", "wall ms (median / slowest)");
    for (int loss : {0, 5, 20}) {
        SimulatorProcess lossy;
        lossy.setExtraArguments({QStringLiteral("--unpaced"), QStringLiteral("--loss"), QString::number(loss)});
        if (!lossy.start(gatewaysConfig(LossGateways), 30000))
            return 1;
        int missing = 0;
        int withoutSetup = 0;
        int incomplete = 0;
        QList<qint64> wall;
        for (int i = 0; i < LossRuns; ++i) {
            const Run run = scan();
            missing += LossGateways - int(run.rows.size());
            withoutSetup += int(run.rows.size()) - run.complete;
            incomplete += run.incomplete;
            wall.append(run.wallMs);
        }
        std::sort(wall.begin(), wall.end());
        // The scan's own mark must agree with what is missing from the rows.
        ok &= incomplete == withoutSetup && wall.first() > 0;
        std::printf("%3d%% | %5d/%-6d | %6d/%-8d | %15s | %lld / %lld\n", loss, missing, LossGateways * LossRuns,
                    incomplete, LossGateways * LossRuns, incomplete == withoutSetup ? "agrees" : "DIFFERS",
                    static_cast<long long>(wall.at(wall.size() / 2)), static_cast<long long>(wall.last()));
        std::fflush(stdout);
    }
    std::printf("window: cold start to first frame %lld ms, resident memory with 253 rows %.1f MiB\n",
                static_cast<long long>(coldStartMs), double(resident253) / 1024.0);
    return ok ? 0 : 1;
}
