#include "GatewayReadChain.h"

#include "GatewayRowWriter.h"
#include "Telegrams.h"

QByteArray GatewayReadChain::request(Step step)
{
    switch (step) {
    case Step::Identity:
        return BuildRequest(Telegram::IdentityRequest);
    case Step::Network:
        return BuildRequest(Telegram::NetworkRequest);
    case Step::Setup:
        return BuildRequest(Telegram::SetupRequest);
    case Step::Done:
        break;
    }
    return {};
}

QByteArray GatewayReadChain::discoveryRequest()
{
    return BuildRequest(Telegram::DiscoveryRequest);
}

bool GatewayReadChain::take(GatewayList &list, int row, const QByteArray &datagram, const QString &sourceText,
                            const Options &options)
{
    switch (m_step) {
    case Step::Identity: {
        const std::optional<IdentityRecord> reply = AcceptIdentityReply(datagram);
        if (!reply)
            return false;
        m_step = GatewayRowWriter::applyIdentity(list, row, *reply, options.typeFilter) ? Step::Network : Step::Done;
        return true;
    }
    case Step::Network:
        if (!AcceptNetworkReply(datagram))
            return false;
        GatewayRowWriter::applyNetworkReply(list, row, datagram, sourceText);
        m_step = Step::Setup;
        return true;
    case Step::Setup:
        if (GatewayRowWriter::applySetup(list, row, datagram, options.passwordProtection, options.password)
            == SetupVerdict::NotSetupReply)
            return false;
        m_step = Step::Done;
        return true;
    case Step::Done:
        break;
    }
    return false;
}
