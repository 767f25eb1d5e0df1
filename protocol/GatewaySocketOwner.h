#pragma once


#include <QString>
#include <QtGlobal>

class GatewayList;

// What a GatewaySocket needs of the window it works for. The main window
// implements it; tests use a fake.
class GatewaySocketOwner
{
public:
    virtual ~GatewaySocketOwner() = default;

    virtual GatewayList &gatewayList() = 0;
    virtual quint32 typeFilter() const = 0;
    virtual bool passwordProtection() const = 0;
    virtual QString password() const = 0;

    // Posts the completion message (notify code 1): the reply the current
    // wait is waiting for has been handled. Must be queued, not handled
    // inside the call.
    virtual void postCompletion() = 0;
};
