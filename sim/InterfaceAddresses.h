#pragma once

#include <QList>
#include <QObject>
#include <QQueue>
#include <QSet>
#include <QString>
#include <QTimer>

#include <functional>

class QProcess;

// The IPv4 addresses the simulated gateways occupy on the gateway
// namespace's interface. Adds what is missing with one `ip -batch` run per
// request, remembers what it added and removes only that. Addresses outside
// the simulated LAN (198.18.0.0/24) are never configured.
class InterfaceAddresses : public QObject
{
    Q_OBJECT

public:
    using Done = std::function<void(bool ok, const QString &error)>;

    explicit InterfaceAddresses(const QString &interfaceName, QObject *parent = nullptr);
    ~InterfaceAddresses() override;

    QString interfaceName() const { return m_interfaceName; }
    bool interfaceExists() const;
    // IPv4 address values on the interface right now.
    QSet<quint32> present() const;
    QList<quint32> added() const { return m_added; }

    // Requests run one after the other; `done` is called once for each.
    void add(const QList<quint32> &addresses, Done done);
    void remove(const QList<quint32> &addresses, Done done);
    void removeAllAdded(Done done) { remove(m_added, std::move(done)); }

    // The iproute2 program `ip`, also where root's PATH alone finds it
    // (/usr/sbin, /sbin); empty when it is not installed.
    static QString ipProgram();

    // Input for `ip -batch`: one "address <verb> a.b.c.d/24 dev IF" line per address.
    static QByteArray batchScript(const QString &verb, const QList<quint32> &addresses,
                                  const QString &interfaceName);

private:
    struct Job
    {
        bool adding = true;
        QList<quint32> addresses;
        Done done;
    };

    void runNext();
    void finishJob(const QString &processError);

    QString m_interfaceName;
    QList<quint32> m_added;
    QQueue<Job> m_jobs;
    QProcess *m_process = nullptr;
    QSet<quint32> m_before;
    QTimer m_timeout;
};
