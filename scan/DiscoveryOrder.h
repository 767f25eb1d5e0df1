#pragma once

#include <QList>
#include <QtGlobal>

#include <map>

// The rows one discovery request would have listed, in the order it would
// have listed them, worked out from the answers to a repeated discovery.
//
// The window lists one row per discovery reply, in the order the replies
// arrive; a gateway reached through two adapters answers twice and is listed
// twice. The scanner asks several times, so that a lost reply costs no row,
// and lists each gateway once. Each request's replies arrive in the same
// order as the first one's, so a gateway missing from the first answers is
// put right after the gateway that answered just before it in a later
// request; and a gateway is listed as often as it answered a single request.
class DiscoveryOrder
{
public:
    // A discovery reply from `source` while `request` (1 = the first) was
    // the latest discovery sent.
    void add(int request, quint32 source);

    // One source address per row, in list order.
    QList<quint32> rows() const;

private:
    std::map<int, QList<quint32>> m_replies; // per request, in arrival order
};
