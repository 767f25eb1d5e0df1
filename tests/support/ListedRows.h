#pragma once

#include <QStringList>

class GatewayList;

// Every row as the list shows it: the fourteen texts, the status image and
// the type code, one string per row, so two refreshes compare row by row.
QStringList listedRows(const GatewayList &list);
