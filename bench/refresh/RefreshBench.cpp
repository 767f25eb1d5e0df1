// Refresh of the main window against 1, 10, 100 and 253 simulated gateways
// (253: every free host address of the /24), measured on the real window and
// the real sockets. Runs only inside the virtual LAN:
//
//     scripts/bench-refresh.sh [BUILD_DIR]
//
// For each n it prints the wall time of the refresh, its ratio to the ideal
// 1 s + n x 0.2 s (one discovery second, then 200 ms per completed read), and
// the CPU time this process used meanwhile, as a share of the wall time.

#include "GatewayListDialog.h"
#include "SimulatorProcess.h"
#include "StringTable.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>

#include <sys/resource.h>

#include <cstdio>
#include <memory>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QJsonObject gatewaysConfig(int count)
{
    QList<QJsonObject> gateways;
    // 198.18.0.1 is the tool's own address; the gateways take .2 upwards.
    for (int i = 0; i < count; ++i) {
        const int host = 2 + i;
        gateways.append(SimulatorProcess::gateway(QStringLiteral("198.18.0.%1").arg(host),
                                                  QStringLiteral("00-50-C2-4A-01-%1").arg(host, 2, 16, QLatin1Char('0')).toUpper()));
    }
    return SimulatorProcess::config(gateways);
}

struct Measurement
{
    qint64 wallMs = -1;
    double cpuSeconds = 0;
    int rows = 0;
    int completeRows = 0;
};

Measurement measure(int gateways)
{
    Measurement result;
    SimulatorProcess simulator;
    if (!simulator.start(gatewaysConfig(gateways), 30000)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(simulator.errorString()));
        return result;
    }
    GatewayListDialog window;
    window.setVariant(2, 0);
    window.setBroadcastAddress(QStringLiteral("255.255.255.255"));
    window.show();
    QSignalSpy finished(&window, &GatewayListDialog::refreshFinished);

    const double cpuBefore = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    window.OnInitDialog(); // posts the first refresh, as at window start
    const bool ended = finished.wait(int(5000 + gateways * 1200));
    result.wallMs = ended ? clock.elapsed() : -1;
    result.cpuSeconds = cpuSeconds() - cpuBefore;

    GatewayList &list = window.gatewayList();
    result.rows = list.count();
    for (int row = 0; row < list.count(); ++row)
        result.completeRows += !list.cellText(row, GatewayList::PortColumn).isEmpty();
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    if (!SimulatorProcess::available()) {
        std::fprintf(stderr, "bench_refresh: run it inside the virtual LAN (scripts/bench-refresh.sh)\n");
        return 2;
    }
    StringTable::setCurrentLanguage(UiLanguage::English);

    std::printf("%5s %10s %10s %7s %10s %7s %6s\n", "n", "wall ms", "ideal ms", "ratio", "CPU ms", "CPU %", "read");
    bool allRead = true;
    for (int n : {1, 10, 100, 253}) {
        const Measurement m = measure(n);
        const double ideal = 1000.0 + n * 200.0;
        std::printf("%5d %10lld %10.0f %7.4f %10.1f %7.2f %3d/%d\n", n, static_cast<long long>(m.wallMs), ideal,
                    double(m.wallMs) / ideal, m.cpuSeconds * 1000, m.wallMs > 0 ? 100.0 * m.cpuSeconds * 1000 / double(m.wallMs) : 0.0,
                    m.completeRows, n);
        std::fflush(stdout);
        allRead &= m.wallMs > 0 && m.rows == n && m.completeRows == n;
    }
    return allRead ? 0 : 1;
}
