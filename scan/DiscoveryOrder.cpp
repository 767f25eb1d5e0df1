#include "DiscoveryOrder.h"

#include <QHash>

#include <utility>

void DiscoveryOrder::add(int request, quint32 source)
{
    m_replies[request].append(source);
}

QList<quint32> DiscoveryOrder::rows() const
{
    // A row is a gateway's n-th reply to one request: a gateway gets as many
    // rows as it sent replies to the request it answered most, since a lost
    // reply lowers only that one request's count.
    using Row = std::pair<quint32, int>;

    QList<Row> order;
    for (const auto &[request, sources] : m_replies) {
        QList<Row> replies;
        QHash<quint32, int> counted;
        for (quint32 source : sources)
            replies.append(Row{source, ++counted[source]});

        qsizetype previous = -1; // where the reply before this one is listed
        for (qsizetype i = 0; i < replies.size(); ++i) {
            const qsizetype listed = order.indexOf(replies[i]);
            if (listed >= 0) {
                previous = listed;
                continue;
            }
            // New: after the reply that came before it, or, when none did,
            // before the first one after it that is listed.
            qsizetype at = previous + 1;
            if (previous < 0) {
                at = order.size();
                for (qsizetype next = i + 1; next < replies.size(); ++next) {
                    if (const qsizetype known = order.indexOf(replies[next]); known >= 0) {
                        at = known;
                        break;
                    }
                }
            }
            order.insert(at, replies[i]);
            previous = at;
        }
    }

    QList<quint32> sources;
    sources.reserve(order.size());
    for (const Row &row : std::as_const(order))
        sources.append(row.first);
    return sources;
}
