#include "WriteLink.h"

NetworkWriteLink::NetworkWriteLink(const ScanSettings &scan, const QStringList &ipSetupDestinations,
                                   const QString &password, std::function<bool()> stopRequested)
    : m_scan(scan)
    , m_ipSetupDestinations(ipSetupDestinations)
    , m_stopRequested(std::move(stopRequested))
    , m_exchanges(password, [this](int milliseconds, const std::function<bool()> &done) {
        WriteExchanges::loopWait()(milliseconds,
                                   [this, &done] { return (m_stopRequested && m_stopRequested()) || done(); });
    })
{
}

NetworkWriteLink::~NetworkWriteLink() = default;

WriteLink::ReadResult NetworkWriteLink::read(Purpose)
{
    // A scanner per read: each binds the gateway port for its own run only.
    m_scanner = std::make_unique<GatewayScanner>(m_scan);
    ReadResult result;
    result.outcome = m_scanner->run();
    result.error = m_scanner->socketError();
    result.list = &m_scanner->list();
    return result;
}

QList<bool> NetworkWriteLink::send(Kind kind, const QList<WriteExchanges::Target> &targets)
{
    switch (kind) {
    case Kind::IpSetup:
        return m_exchanges.ipSetup(targets, m_ipSetupDestinations);
    case Kind::Identity:
        return m_exchanges.identity(targets);
    case Kind::Network:
        return m_exchanges.network(targets);
    case Kind::Setup:
        return m_exchanges.setup(targets);
    }
    return QList<bool>(targets.size(), false);
}
