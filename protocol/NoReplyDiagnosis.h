#pragma once

#include "LocalAdapters.h"

#include <QString>
#include <QStringList>

// What the tool can say when a search finds no gateway, or a gateway where
// the computer cannot reach it: the usual reasons, in the order installers
// meet them.
namespace NoReplyDiagnosis {

// The host firewall in charge when one is installed ("ufw", "firewalld"),
// empty when neither is found.
QString installedFirewall();

// No reply at all: which destinations were tried (with their adapters) and
// the likely causes: firewall (named when known), another subnet, the port.
QString noGatewayText(const QStringList &destinations, const QList<LocalAdapter> &adapters,
                      const QString &firewall);

// The port is held by another program: nothing could be searched.
QString portTakenText();

// For a gateway whose address lies in no adapter's subnet.
QString outsideSubnetText();

} // namespace NoReplyDiagnosis
