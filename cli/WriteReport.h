#pragma once

#include "WriteJudgement.h"

#include <QByteArray>
#include <QJsonObject>

// How one gateway's write went, for people (a line and a field table) and
// for scripts (JSON with stable keys).
QByteArray render(const WriteReport &report, bool json);
QJsonObject reportJson(const WriteReport &report);
