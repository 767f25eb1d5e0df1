// gatewaysim: stands in for the gateways on the virtual LAN.

#include "GatewayConfig.h"
#include "GatewaySimulator.h"
#include "SimCommandLine.h"
#include "TerminationSignals.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int StopTimeoutMs = 5000;

int fail(const QString &message, int status)
{
    std::fprintf(stderr, "gatewaysim: %s\n", qPrintable(message));
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("gatewaysim"));

    QString error;
    bool help = false;
    const auto options = SimCommandLine::parse(QCoreApplication::arguments(),
                                               QProcessEnvironment::systemEnvironment(), &error, &help);
    if (help) {
        std::fputs(qPrintable(SimCommandLine::usage()), stdout);
        return 0;
    }
    if (!options)
        return fail(error + QLatin1Char('\n') + SimCommandLine::usage(), 2);

    QFile file(options->configPath);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("%1: %2").arg(options->configPath, file.errorString()), 2);
    const QByteArray json = file.readAll();
    file.close();
    const auto gateways = SimConfig::parse(json, &error);
    if (!gateways)
        return fail(QStringLiteral("%1: %2").arg(options->configPath, error), 2);

    if (!SimCommandLine::inSeparateNetworkNamespace(&error))
        return fail(error, 3);

    TerminationSignals termination;
    GatewaySimulator simulator(*options, *gateways, QJsonDocument::fromJson(json).object());
    int exitStatus = 0;

    auto stopAndExit = [&](int status) {
        exitStatus = status;
        // Bounded: if removing the addresses hangs, leave anyway.
        QTimer::singleShot(StopTimeoutMs, &app, [&] { app.exit(exitStatus ? exitStatus : 1); });
        simulator.stop();
    };
    QObject::connect(&simulator, &GatewaySimulator::stopped, &app, [&] { app.exit(exitStatus); });
    QObject::connect(&simulator, &GatewaySimulator::ready, &app, [&] {
        std::fprintf(stderr, "gatewaysim: %d gateways on %s\n", simulator.activeGatewayCount(),
                     qPrintable(options->interfaceName));
        std::fputs("ready\n", stdout);
        std::fflush(stdout);
    });
    QObject::connect(&simulator, &GatewaySimulator::failed, &app, [&](const QString &message) {
        fail(message, 1);
        stopAndExit(1);
    });
    QObject::connect(&termination, &TerminationSignals::received, &app, [&] { stopAndExit(0); });

    QTimer::singleShot(0, &simulator, &GatewaySimulator::start);
    return app.exec();
}
