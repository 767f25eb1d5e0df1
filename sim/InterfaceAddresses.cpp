#include "InterfaceAddresses.h"

#include "GatewayConfig.h"
#include "Telegrams.h"

#include <QFile>
#include <QNetworkInterface>
#include <QProcess>
#include <QStandardPaths>

namespace {

constexpr int IpCommandTimeoutMs = 15000;

} // namespace

QString InterfaceAddresses::ipProgram()
{
    QString path = QStandardPaths::findExecutable(QStringLiteral("ip"));
    if (path.isEmpty())
        path = QStandardPaths::findExecutable(QStringLiteral("ip"),
                                              {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    return path;
}

InterfaceAddresses::InterfaceAddresses(const QString &interfaceName, QObject *parent)
    : QObject(parent), m_interfaceName(interfaceName)
{
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(IpCommandTimeoutMs);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        if (m_process)
            m_process->kill(); // finished() follows and reports the failure
    });

    // Many addresses of one /24 on one interface: all but the first are
    // secondaries, which the kernel drops together with the primary unless
    // it promotes them. A gateway that moves away must not take the others along.
    QFile promote(QStringLiteral("/proc/sys/net/ipv4/conf/%1/promote_secondaries").arg(interfaceName));
    if (!interfaceName.contains(QLatin1Char('/')) && promote.open(QIODevice::WriteOnly))
        promote.write("1\n");
}

InterfaceAddresses::~InterfaceAddresses()
{
    if (m_process) {
        m_process->disconnect(this);
        m_process->kill();
    }
}

bool InterfaceAddresses::interfaceExists() const
{
    return QNetworkInterface::interfaceFromName(m_interfaceName).isValid();
}

QSet<quint32> InterfaceAddresses::present() const
{
    QSet<quint32> addresses;
    const auto entries = QNetworkInterface::interfaceFromName(m_interfaceName).addressEntries();
    for (const QNetworkAddressEntry &entry : entries) {
        if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
            addresses.insert(entry.ip().toIPv4Address());
    }
    return addresses;
}

QByteArray InterfaceAddresses::batchScript(const QString &verb, const QList<quint32> &addresses,
                                           const QString &interfaceName)
{
    QByteArray script;
    for (quint32 address : addresses) {
        if (!SimConfig::isLanHostAddress(address))
            continue; // never configure anything outside the simulated LAN
        script += QStringLiteral("address %1 %2/24 dev %3\n")
                      .arg(verb, DottedAddressText(address), interfaceName)
                      .toLatin1();
    }
    return script;
}

void InterfaceAddresses::add(const QList<quint32> &addresses, Done done)
{
    m_jobs.enqueue({true, addresses, std::move(done)});
    runNext();
}

void InterfaceAddresses::remove(const QList<quint32> &addresses, Done done)
{
    m_jobs.enqueue({false, addresses, std::move(done)});
    runNext();
}

void InterfaceAddresses::runNext()
{
    if (m_process || m_jobs.isEmpty())
        return;
    const Job &job = m_jobs.head();

    QList<quint32> work;
    QStringList refused;
    m_before = present();
    for (quint32 address : job.addresses) {
        if (!SimConfig::isLanHostAddress(address))
            refused += DottedAddressText(address);
        else if (job.adding ? !m_before.contains(address)
                            : (m_added.contains(address) && m_before.contains(address)))
            work += address;
    }
    if (!refused.isEmpty()) {
        const Job refusedJob = m_jobs.dequeue();
        if (refusedJob.done)
            refusedJob.done(false, QStringLiteral("refused addresses outside 198.18.0.0/24: %1")
                                       .arg(refused.join(QStringLiteral(", "))));
        runNext();
        return;
    }
    const QString program = ipProgram();
    if (work.isEmpty() || program.isEmpty()) {
        finishJob(program.isEmpty() ? QStringLiteral("the program \"ip\" (iproute2) was not found")
                                    : QString());
        return;
    }

    m_process = new QProcess(this);
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process->setStandardOutputFile(QProcess::nullDevice());
    connect(m_process, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        finishJob(status == QProcess::NormalExit && exitCode == 0
                      ? QString()
                      : QStringLiteral("ip -batch ended with status %1").arg(exitCode));
    });
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finishJob(QStringLiteral("could not start ip: %1").arg(m_process->errorString()));
    });
    // -force: one address that fails (taken meanwhile) must not keep the
    // others from being configured; the outcome is read back from the interface.
    m_process->start(program, {QStringLiteral("-force"), QStringLiteral("-batch"), QStringLiteral("-")});
    m_process->write(batchScript(job.adding ? QStringLiteral("add") : QStringLiteral("del"), work,
                                 m_interfaceName));
    m_process->closeWriteChannel();
    m_timeout.start();
}

void InterfaceAddresses::finishJob(const QString &processError)
{
    m_timeout.stop();
    if (m_process) {
        m_process->disconnect(this);
        m_process->deleteLater();
        m_process = nullptr;
    }
    const Job job = m_jobs.dequeue();

    // What counts is where the addresses are now, not what ip said.
    const QSet<quint32> now = present();
    QStringList failed;
    for (quint32 address : job.addresses) {
        if (job.adding) {
            if (!now.contains(address))
                failed += DottedAddressText(address);
            else if (!m_before.contains(address) && !m_added.contains(address))
                m_added += address;
        } else if (m_added.contains(address)) {
            if (now.contains(address))
                failed += DottedAddressText(address);
            else
                m_added.removeAll(address);
        }
    }
    QString error;
    if (!failed.isEmpty()) {
        error = QStringLiteral("could not %1 %2 on %3")
                    .arg(job.adding ? QStringLiteral("add") : QStringLiteral("remove"),
                         failed.join(QStringLiteral(", ")), m_interfaceName);
        if (!processError.isEmpty())
            error += QStringLiteral(" (%1)").arg(processError);
    }
    if (job.done)
        job.done(failed.isEmpty(), error);
    runNext();
}
