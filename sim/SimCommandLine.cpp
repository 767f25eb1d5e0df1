#include "SimCommandLine.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QRegularExpression>

#include <sys/stat.h>

namespace SimCommandLine {

QString usage()
{
    return QStringLiteral(
        "usage: gatewaysim --config FILE.json [--log FILE.jsonl] [--interface IFNAME] [--save]\n"
        "                  [--unpaced] [--loss PERCENT [--seed N]]\n"
        "Simulates the gateways of FILE.json on UDP port 30718 inside the gateway namespace\n"
        "of the virtual LAN (scripts/vlan.sh). Prints \"ready\" once every socket is bound;\n"
        "SIGTERM or SIGINT ends it and removes the addresses it added.\n"
        "  --config FILE     gateways to simulate (see docs/simulator.md)\n"
        "  --log FILE        append one JSON line per received datagram\n"
        "  --interface IF    interface for the gateway addresses (default $GWLAN_GATEWAY_IF)\n"
        "  --save            write the gateways' state back to FILE after every change\n"
        "  --unpaced         send every reply at once instead of 16 per millisecond\n"
        "  --loss PERCENT    drop this share (0-100) of the replies at random\n"
        "  --seed N          the same N drops the same replies in every run (0-4294967295)\n");
}

std::optional<SimulatorOptions> parse(const QStringList &arguments,
                                      const QProcessEnvironment &environment, QString *error,
                                      bool *helpRequested)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption config(QStringLiteral("config"), QStringLiteral("gateways"),
                                    QStringLiteral("FILE"));
    const QCommandLineOption log(QStringLiteral("log"), QStringLiteral("datagram log"),
                                 QStringLiteral("FILE"));
    const QCommandLineOption interface(QStringLiteral("interface"), QStringLiteral("interface"),
                                       QStringLiteral("IF"));
    const QCommandLineOption save(QStringLiteral("save"));
    const QCommandLineOption unpaced(QStringLiteral("unpaced"));
    const QCommandLineOption loss(QStringLiteral("loss"), QStringLiteral("reply loss"),
                                  QStringLiteral("PERCENT"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("loss pattern"), QStringLiteral("N"));
    const QCommandLineOption help(QStringList{QStringLiteral("help"), QStringLiteral("h")});
    parser.addOptions({config, log, interface, save, unpaced, loss, seed, help});

    if (helpRequested)
        *helpRequested = false;
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return std::nullopt;
    }
    if (parser.isSet(help)) {
        if (helpRequested)
            *helpRequested = true;
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first());
        return std::nullopt;
    }

    SimulatorOptions options;
    options.configPath = parser.value(config);
    options.logPath = parser.value(log);
    options.interfaceName = parser.isSet(interface) ? parser.value(interface)
                                                    : environment.value(QStringLiteral("GWLAN_GATEWAY_IF"));
    options.save = parser.isSet(save);
    options.unpaced = parser.isSet(unpaced);
    if (parser.isSet(loss)) {
        bool ok = false;
        options.lossPercent = parser.value(loss).toInt(&ok);
        if (!ok || options.lossPercent < 0 || options.lossPercent > 100) {
            *error = QStringLiteral("--loss takes a whole percentage from 0 to 100");
            return std::nullopt;
        }
    }
    if (parser.isSet(seed)) {
        bool ok = false;
        options.seed = parser.value(seed).toUInt(&ok, 10);
        if (!ok) {
            *error = QStringLiteral("--seed takes a whole number from 0 to 4294967295");
            return std::nullopt;
        }
    }
    if (options.configPath.isEmpty()) {
        *error = QStringLiteral("--config FILE is required");
        return std::nullopt;
    }
    static const QRegularExpression interfaceName(QStringLiteral("^[A-Za-z0-9_.@-]{1,15}$"));
    if (options.interfaceName.isEmpty()) {
        *error = QStringLiteral("no interface: give --interface or run inside the virtual LAN "
                                "(GWLAN_GATEWAY_IF)");
        return std::nullopt;
    }
    if (!interfaceName.match(options.interfaceName).hasMatch()) {
        *error = QStringLiteral("\"%1\" is not an interface name").arg(options.interfaceName);
        return std::nullopt;
    }

    const QStringList tool = environment.value(QStringLiteral("GWLAN_TOOL_ADDRESSES"))
                                 .split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts);
    for (const QString &text : tool) {
        const QHostAddress address(text);
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            options.reserved.insert(address.toIPv4Address());
    }
    return options;
}

bool inSeparateNetworkNamespace(QString *why)
{
    struct stat own = {};
    if (::stat("/proc/self/ns/net", &own) != 0) {
        *why = QStringLiteral("cannot tell the network namespace (/proc is needed)");
        return false;
    }
    const auto sameNamespace = [&own](const QByteArray &path) {
        struct stat other = {};
        return ::stat(path.constData(), &other) == 0 && other.st_ino == own.st_ino
            && other.st_dev == own.st_dev;
    };
    const QString refusal = QStringLiteral(
        "refusing to run outside the virtual LAN; start it in the gateway namespace "
        "(scripts/vlan.sh, then ip netns exec $GWLAN_GATEWAY_NS gatewaysim ...)");
    if (sameNamespace("/proc/1/ns/net")) {
        *why = refusal;
        return false;
    }
    // Namespaces made by `ip netns add` are pinned under /run/netns; the
    // machine's own namespace is not one of them.
    const QStringList named = QDir(QStringLiteral("/run/netns")).entryList(QDir::Files | QDir::System);
    for (const QString &name : named) {
        if (sameNamespace(QFile::encodeName(QStringLiteral("/run/netns/") + name)))
            return true;
    }
    *why = refusal;
    return false;
}

} // namespace SimCommandLine
