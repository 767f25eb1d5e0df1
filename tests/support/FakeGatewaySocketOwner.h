#pragma once

#include "GatewayList.h"
#include "GatewaySocketOwner.h"

#include <QObject>

// Stands in for the main window in socket tests: holds the gateway list and
// the settings a socket reads, and counts completion messages. Like the
// window, it receives completions queued, never inside the handler's call.
class FakeGatewaySocketOwner : public QObject, public GatewaySocketOwner
{
    Q_OBJECT

public:
    explicit FakeGatewaySocketOwner(QObject *parent = nullptr);

    GatewayList &gatewayList() override { return m_list; }
    quint32 typeFilter() const override { return m_typeFilter; }
    bool passwordProtection() const override { return m_passwordProtection; }
    QString password() const override { return m_password; }
    void postCompletion() override;

    void setTypeFilter(quint32 filter) { m_typeFilter = filter; }
    void setPasswordProtection(bool on) { m_passwordProtection = on; }
    void setPassword(const QString &password) { m_password = password; }

    // Completions delivered so far (posted ones still queued do not count).
    int completions() const { return m_completions; }

signals:
    void completed();

private:
    GatewayList m_list;
    quint32 m_typeFilter = 0;
    bool m_passwordProtection = false;
    QString m_password;
    int m_completions = 0;
};
