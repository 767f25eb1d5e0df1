#include "BroadcastDestinations.h"

#include "Telegrams.h"

#include <QHostAddress>

namespace {

bool isAsciiSpace(QChar c)
{
    const char16_t u = c.unicode();
    return u == u' ' || (u >= u'\t' && u <= u'\r');
}

int digitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    int value = -1;
    if (u >= u'0' && u <= u'9')
        value = u - u'0';
    else if (u >= u'a' && u <= u'f')
        value = u - u'a' + 10;
    else if (u >= u'A' && u <= u'F')
        value = u - u'A' + 10;
    return value < base ? value : -1;
}

} // namespace

QStringList BuildAdapterBroadcastList(const QList<AdapterAddress> &adapters)
{
    QStringList list;
    for (const AdapterAddress &adapter : adapters) {
        const quint32 address = adapter.hasAddress ? adapter.address : 0;
        const quint32 mask = adapter.hasAddress ? adapter.mask : 0;
        list.append(DottedAddressText(address | ~mask));
    }
    if (list.isEmpty())
        list.append(QString::fromLatin1(LimitedBroadcastText));
    return list;
}

std::optional<AdapterAddress> AdapterFromInterface(QNetworkInterface::InterfaceFlags flags,
                                                   const QList<QNetworkAddressEntry> &entries)
{
    if (!flags.testFlag(QNetworkInterface::IsUp) || flags.testFlag(QNetworkInterface::IsLoopBack))
        return std::nullopt;
    AdapterAddress adapter;
    for (const QNetworkAddressEntry &entry : entries) {
        if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol)
            continue;
        adapter.hasAddress = true;
        adapter.address = entry.ip().toIPv4Address();
        adapter.mask = entry.netmask().toIPv4Address();
        break;
    }
    return adapter;
}

QStringList BuildAdapterBroadcastList()
{
    QList<AdapterAddress> adapters;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &networkInterface : interfaces) {
        if (const auto adapter =
                AdapterFromInterface(networkInterface.flags(), networkInterface.addressEntries()))
            adapters.append(*adapter);
    }
    return BuildAdapterBroadcastList(adapters);
}

quint32 InetAddr(QStringView text)
{
    // BSD inet_aton, which Windows' inet_addr follows; any value that does
    // not fit its place is refused rather than wrapped.
    quint64 parts[4] = {};
    int count = 0;
    qsizetype pos = 0;
    const auto at = [&text](qsizetype i) { return i < text.size() ? text.at(i) : QChar(); };
    for (;;) {
        if (digitValue(at(pos), 10) < 0)
            return InetAddrNone;
        int base = 10;
        if (at(pos) == u'0') {
            ++pos;
            if (at(pos) == u'x' || at(pos) == u'X') {
                base = 16;
                ++pos;
            } else {
                base = 8;
            }
        }
        quint64 value = 0;
        for (;; ++pos) {
            const QChar c = at(pos);
            const int digit = digitValue(c, base);
            if (digit < 0) {
                // 8 and 9 in an octal part make the text no address at all.
                if (base == 8 && digitValue(c, 10) >= 0)
                    return InetAddrNone;
                break;
            }
            value = value * quint64(base) + quint64(digit);
            if (value > 0xFFFFFFFFu)
                return InetAddrNone;
        }
        parts[count++] = value;
        if (at(pos) != u'.')
            break;
        if (count == 4)
            return InetAddrNone;
        ++pos;
    }
    if (pos < text.size() && !isAsciiSpace(text.at(pos)))
        return InetAddrNone;

    // The last part fills every byte the earlier parts leave.
    for (int i = 0; i + 1 < count; ++i) {
        if (parts[i] > 0xFF)
            return InetAddrNone;
    }
    if (parts[count - 1] > quint64(0xFFFFFFFFu) >> (8 * (count - 1)))
        return InetAddrNone;
    quint32 address = quint32(parts[count - 1]);
    for (int i = 0; i + 1 < count; ++i)
        address |= quint32(parts[i]) << (24 - 8 * i);
    return address;
}

QStringList SelectBroadcastDestinations(const QString &configured, const QStringList &adapterList)
{
    if (InetAddr(configured) != InetAddrNone)
        return {configured};
    if (adapterList.isEmpty())
        return {QString::fromLatin1(LimitedBroadcastText)};
    return adapterList;
}
