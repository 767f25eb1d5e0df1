#include "NoReplyDiagnosis.h"

#include "StringTable.h"
#include "Texts.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace {
constexpr int PortTakenString = Text::PortInUse;

bool installed(const QString &program)
{
    const QStringList systemFolders{QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")};
    return !QStandardPaths::findExecutable(program).isEmpty()
        || !QStandardPaths::findExecutable(program, systemFolders).isEmpty();
}

} // namespace

namespace NoReplyDiagnosis {

QString installedFirewall()
{
    if (installed(QStringLiteral("ufw")))
        return QStringLiteral("ufw");
    if (installed(QStringLiteral("firewalld")))
        return QStringLiteral("firewalld");
    return {};
}

QString noGatewayText(const QStringList &destinations, const QList<LocalAdapter> &adapters,
                      const QString &firewall)
{
    const QString named = firewall.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(firewall);
    return loadString(Text::NoGateway).arg(DestinationsText(destinations, adapters), named);
}

QString portTakenText()
{
    return loadString(PortTakenString);
}

QString outsideSubnetText()
{
    return loadString(Text::OutsideSubnet);
}

} // namespace NoReplyDiagnosis
