// Writes the fuzzer's seed corpus: one valid telegram of every kind, made by
// the builders, and the address texts the tool meets in its list and editor.
// Usage: protocol_fuzz_seeds DIRECTORY

#include "SetupFields.h"
#include "Telegrams.h"

#include <QDir>
#include <QFile>

#include <cstdio>

namespace {

bool writeSeed(const QDir &dir, const QString &name, const QByteArray &bytes)
{
    QFile file(dir.filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }

    DiscoveryReply discovery;
    discovery.firmwareMajor = 1;
    discovery.firmwareMinor = 0x23;
    discovery.mac = {0x00, 0x50, 0xC2, 0x4A, 0x00, 0x0A};

    NetworkRecord network;
    network.addressMode = 1;
    network.hostBits = 8;
    network.defaultGateway = {198, 18, 0, 1};

    const SetupWriteInput input = SetupFields{0, "10001", "198.18.0.1", "255.255.255.0", "9600", "8", "1", 0, 0}
                                      .writeInput("0050C24A000A", 0x00010001, true, QStringLiteral("Grüße€"));
    std::mt19937 generator;
    const QByteArray setupWrite = BuildSetupWrite(input, generator);
    SetupRecord setup = *DecodeSetupRecord(setupWrite);
    const QByteArray lockedReply = BuildSetupReply(setup, setupWrite);
    setup.digest = 0;

    const QList<std::pair<QString, QByteArray>> seeds{
        {QStringLiteral("discovery-request"), BuildRequest(Telegram::DiscoveryRequest)},
        {QStringLiteral("discovery-reply"), discovery.encode()},
        {QStringLiteral("identity-reply"), BuildIdentityReply(0x00010001, Telegram::companyText())},
        {QStringLiteral("identity-write"), BuildIdentityWrite(0x00030002)},
        {QStringLiteral("network-reply"), BuildNetworkReply(network)},
        {QStringLiteral("network-write"),
         BuildNetworkWrite(BuildNetworkReply(network), QStringLiteral("255.255.0.0"), QStringLiteral("10.0.0.1"))},
        {QStringLiteral("network-ack"), QByteArray::fromHex("000000fb")},
        {QStringLiteral("ip-setup"), BuildIpSetup(ParseDottedAddress(QStringLiteral("198.18.0.10")), 0x00, 0x0A)},
        {QStringLiteral("setup-write"), setupWrite},
        {QStringLiteral("setup-reply-locked"), lockedReply},
        {QStringLiteral("setup-reply-unlocked"), BuildSetupReply(setup, setupWrite)},
        {QStringLiteral("text-dhcp-address"), QByteArrayLiteral("192.168.1.10 (DHCP)")},
        {QStringLiteral("text-subnet-column"), QByteArrayLiteral("Host-Bits: 8 / GW: 192.168.1.1")},
        {QStringLiteral("text-oem-entry"), QByteArrayLiteral("00 01 00 01 (PLN KNX IP Gateway)")},
        {QStringLiteral("text-inet-forms"), QByteArrayLiteral("0x7f.017.65535")},
        {QStringLiteral("text-setup-fields"),
         QByteArrayLiteral("10001|198.18.0.1|255.255.255.0|9600|8|1|00-50-C2-4A-00-0A|00 01 00 01|geheim")},
        {QStringLiteral("text-password"), QStringLiteral("Grüße€ ŠŽ 日本").toUtf8()},
    };
    for (const auto &[name, bytes] : seeds) {
        if (!writeSeed(dir, name, bytes)) {
            std::fprintf(stderr, "cannot write seed %s\n", qPrintable(name));
            return 1;
        }
    }
    return 0;
}
