#include "WriteEngine.h"
#include "Texts.h"

#include "BroadcastDestinations.h"
#include "ExchangeWaits.h"
#include "SocketOptions.h"
#include "StringTable.h"
#include "Telegrams.h"

#include <QEventLoop>
#include <QNetworkDatagram>
#include <QSet>
#include <QTimer>
#include <QUuid>

#include <algorithm>

namespace {

constexpr int MaxDatagramsPerNotification = 64;

QString normalisedMac(const QString &mac)
{
    return QString(mac).remove(QLatin1Char('-')).toUpper();
}

// The first row of each MAC address, as the window's lookups find it.
QHash<QString, int> rowsByMac(const GatewayList &list)
{
    QHash<QString, int> rows;
    for (int row = list.count() - 1; row >= 0; --row)
        rows.insert(normalisedMac(list.cellText(row, GatewayList::MacAddressColumn)), row);
    return rows;
}

void refuse(WriteReport &report, const QString &result, const QString &text)
{
    report.result = result;
    report.text = text;
    report.status = WriteStatus::Refused;
}

} // namespace

struct WriteEngine::Job
{
    WriteRequest request;
    WriteReport report;
    WritePlan plan;
    bool write = false;
    QString destination; // where the gateway answers now; empty: nowhere known
};

WriteEngine::WriteEngine(const Settings &settings, const Safeguards &safeguards, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_safeguards(safeguards)
{
    connect(&m_socket, &QUdpSocket::readyRead, this, &WriteEngine::receive);
}

WriteEngine::~WriteEngine() = default;

bool WriteEngine::scan(GatewayScanner &scanner, Result *result)
{
    result->scan = scanner.run();
    result->socketError = scanner.socketError();
    return result->scan == GatewayScanner::Outcome::Finished;
}

WriteEngine::Result WriteEngine::run(const QList<WriteRequest> &requests)
{
    Result result;
    QList<Job> jobs;
    for (const WriteRequest &request : requests) {
        Job job;
        job.request = request;
        job.report.mac = MacAddressText(MacAddressFromText(request.mac));
        job.report.journalId = QUuid::createUuid().toString(QUuid::WithoutBraces);
        jobs.append(job);
    }
    emit phase(QStringLiteral("read"), int(jobs.size()), m_settings.scan.timeoutMs);
    {
        GatewayScanner before(m_settings.scan);
        if (!scan(before, &result))
            return result;
        decide(before.list(), jobs, &result);
    }
    const bool anyWrite = std::any_of(jobs.cbegin(), jobs.cend(), [](const Job &job) { return job.write; });
    if (!m_settings.dryRun && anyWrite) {
        send(jobs, &result);
        if (result.journalError.isEmpty()) {
            emit phase(QStringLiteral("confirm"), int(jobs.size()), m_settings.scan.timeoutMs);
            GatewayScanner after(m_settings.scan);
            if (!scan(after, &result)) {
                // What went out is recorded all the same.
                for (Job &job : jobs) {
                    if (job.write && m_safeguards.recordOutcome) {
                        job.report.result = QStringLiteral("notConfirmed");
                        m_safeguards.recordOutcome(job.report);
                    }
                }
                return result;
            }
            confirm(after.list(), jobs);
        }
    }
    for (const Job &job : jobs)
        result.reports.append(job.report);
    return result;
}

void WriteEngine::decide(const GatewayList &list, QList<Job> &jobs, Result *result)
{
    const QHash<QString, int> rows = rowsByMac(list);
    // Addresses taken: every listed gateway's, then each planned new one,
    // so that two requests never aim at the same address.
    QHash<QString, quint32> taken;
    for (int row = 0; row < list.count(); ++row)
        taken.insert(normalisedMac(list.cellText(row, GatewayList::MacAddressColumn)), list.reading(row).address);
    // Every new fixed address is probed on the link at once.
    QList<quint32> wanted;
    for (const Job &job : jobs) {
        const ConfigurationChange &change = job.request.change;
        if (change.dhcp == false && change.address && !m_settings.force
            && taken.value(job.request.mac) != *change.address)
            wanted.append(*change.address);
    }
    AddressCheck probed;
    if (!wanted.isEmpty()) {
        if (m_safeguards.checkAddresses)
            probed = m_safeguards.checkAddresses(wanted);
        else
            probed.unchecked = QSet<quint32>(wanted.cbegin(), wanted.cend());
    }

    bool anyRefused = false;
    for (Job &job : jobs) {
        WriteReport &report = job.report;
        const auto row = rows.constFind(job.request.mac);
        if (row == rows.cend()) {
            report.result = QStringLiteral("missing");
            report.text = loadString(Text::GatewayMissing);
            report.status = WriteStatus::NotFound;
            continue;
        }
        const GatewayReading current = list.reading(*row);
        report.read = current;
        WriteContext context;
        context.others = taken;
        context.others.remove(job.request.mac);
        context.passwordGiven = !m_settings.password.isEmpty();
        context.force = m_settings.force;
        job.plan = planWrite(current, job.request.change, context);
        report.fields = compareFields(job.plan.wanted, current);
        if (job.plan.movesToFixedAddress() && job.plan.target.address != current.address && !m_settings.force) {
            const quint32 address = job.plan.target.address;
            refuseTakenAddress(&job.plan, probed.holders.value(address));
            report.addressCheck = probed.unchecked.contains(address) ? QStringLiteral("notChecked")
                : probed.holders.contains(address)                   ? QStringLiteral("taken")
                                                                     : QStringLiteral("free");
        }
        if (job.plan.refusal) {
            refuse(report, QStringLiteral("refused"), job.plan.refusalText());
            anyRefused = true;
            continue;
        }
        if (job.plan.nothingToSend()) {
            report.result = QStringLiteral("nothingToWrite");
            report.text = loadString(Text::NothingToWrite);
            continue;
        }
        job.write = true;
        if (job.plan.movesToFixedAddress())
            taken.insert(job.request.mac, job.plan.target.address);
        QStringList changed;
        for (const FieldComparison &field : report.fields) {
            if (!field.matches())
                changed.append(field.key);
        }
        report.result = QStringLiteral("changed");
        report.text = loadString(Text::WouldWrite).arg(changed.join(QStringLiteral(", ")));
    }
    // A site is written whole or not at all, unless the caller accepts a
    // part: a refused row stops every other one before anything is sent.
    if (anyRefused && !m_settings.keepGoing) {
        for (Job &job : jobs) {
            if (job.write) {
                job.write = false;
                refuse(job.report, QStringLiteral("skipped"), loadString(Text::WriteSkipped));
            }
        }
    }

    if (!m_settings.reportUnplanned)
        return;
    QSet<QString> named;
    for (const Job &job : jobs)
        named.insert(job.request.mac);
    for (int row = 0; row < list.count(); ++row) {
        if (named.contains(normalisedMac(list.cellText(row, GatewayList::MacAddressColumn))))
            continue;
        WriteReport report;
        report.mac = list.cellText(row, GatewayList::MacAddressColumn);
        report.result = QStringLiteral("notInPlan");
        report.text = loadString(Text::NotInPlan);
        report.read = list.reading(row);
        result->unplanned.append(report);
    }
}

void WriteEngine::send(QList<Job> &jobs, Result *result)
{
    // Every snapshot first: nothing is sent when one cannot be recorded.
    for (Job &job : jobs) {
        if (!job.write || !m_safeguards.recordSnapshot)
            continue;
        QString error;
        if (!m_safeguards.recordSnapshot(job.report, job.plan, &error)) {
            result->journalError = error;
            for (Job &other : jobs) {
                if (other.write) {
                    other.write = false;
                    refuse(other.report, QStringLiteral("refused"), error);
                }
            }
            return;
        }
    }
    for (Job &job : jobs)
        job.destination = job.write ? DottedAddressText(job.report.read->address) : QString();

    sendIpSetups(jobs);
    lookUpLeases(jobs, result);
    sendIdentities(jobs);
    sendNetworks(jobs);
    sendSetups(jobs);
}

bool WriteEngine::open(bool broadcast)
{
    // Exclusive, like every socket on the gateway port: replies must not go
    // to another program.
    if (!m_socket.bind(QHostAddress(QHostAddress::AnyIPv4), Telegram::Port, QAbstractSocket::DontShareAddress))
        return false;
    SocketOptions::enlargeReceiveBuffer(m_socket.socketDescriptor());
    return SocketOptions::setBroadcast(m_socket.socketDescriptor(), broadcast);
}

void WriteEngine::close()
{
    m_socket.close();
    m_networkJobs.clear();
    m_acknowledgedBy.clear();
}

void WriteEngine::wait(int milliseconds)
{
    QEventLoop loop;
    m_wait = &loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
    m_wait = nullptr;
}

void WriteEngine::sendIpSetups(QList<Job> &jobs)
{
    QList<Job *> due;
    for (Job &job : jobs) {
        if (job.write && job.plan.address)
            due.append(&job);
    }
    if (due.isEmpty())
        return;
    emit phase(QStringLiteral("ipSetup"), int(due.size()), ExchangeWait::WriteMs);
    const bool opened = open(true);
    for (Job *job : due) {
        const quint16 tail = quint16(ParseHexNumber(job->request.mac.right(4)));
        const QByteArray telegram =
            BuildIpSetup(job->plan.target.dhcp ? 0 : job->plan.target.address, quint8(tail >> 8), quint8(tail & 0xFF));
        bool sent = false;
        for (const QString &destination : m_settings.ipSetupDestinations) {
            sent = (opened
                    && m_socket.writeDatagram(telegram, QHostAddress(InetAddr(destination)), Telegram::Port)
                        == telegram.size())
                || sent;
        }
        if (sent) {
            job->report.sent.append(QStringLiteral("ipSetup"));
            job->destination = job->plan.target.dhcp ? QString() : DottedAddressText(job->plan.target.address);
        } else {
            // Nothing else goes to a gateway whose address change failed.
            job->destination.clear();
        }
    }
    if (opened)
        wait(ExchangeWait::WriteMs);
    close();
}

void WriteEngine::lookUpLeases(QList<Job> &jobs, Result *result)
{
    const bool anyDhcp = std::any_of(jobs.cbegin(), jobs.cend(), [](const Job &job) {
        return job.write && job.plan.address && job.plan.target.dhcp && !job.report.sent.isEmpty();
    });
    if (!anyDhcp)
        return;
    // The addresses the DHCP server gave.
    emit phase(QStringLiteral("lookup"), int(jobs.size()), m_settings.scan.timeoutMs);
    GatewayScanner leased(m_settings.scan);
    Result ignored;
    if (!scan(leased, &ignored))
        return;
    Q_UNUSED(result)
    const QHash<QString, int> rows = rowsByMac(leased.list());
    for (Job &job : jobs) {
        if (job.write && job.plan.address && job.plan.target.dhcp && rows.contains(job.request.mac)
            && !job.report.sent.isEmpty())
            job.destination = DottedAddressText(leased.list().reading(rows.value(job.request.mac)).address);
    }
}

void WriteEngine::sendIdentities(QList<Job> &jobs)
{
    QList<Job *> due;
    for (Job &job : jobs) {
        if (job.write && job.plan.identity && !job.destination.isEmpty())
            due.append(&job);
    }
    if (due.isEmpty())
        return;
    emit phase(QStringLiteral("identity"), int(due.size()), ExchangeWait::WriteMs);
    if (!open(false))
        return close();
    for (Job *job : due) {
        const QByteArray telegram = BuildIdentityWrite(job->plan.target.typeCode);
        if (m_socket.writeDatagram(telegram, QHostAddress(InetAddr(job->destination)), Telegram::Port)
            == telegram.size())
            job->report.sent.append(QStringLiteral("identity"));
    }
    wait(ExchangeWait::WriteMs);
    close();
}

void WriteEngine::sendNetworks(QList<Job> &jobs)
{
    QList<Job *> due;
    for (Job &job : jobs) {
        if (job.write && job.plan.network && !job.destination.isEmpty())
            due.append(&job);
    }
    if (due.isEmpty())
        return;
    emit phase(QStringLiteral("network"), int(due.size()), ExchangeWait::WriteMs);
    if (!open(false))
        return close();
    m_acknowledged = 0;
    // Each gateway answers the request with its network record; the write
    // is that record with the new values.
    for (Job *job : due) {
        const quint32 address = InetAddr(job->destination);
        m_networkJobs.insert(address, job);
        const QByteArray request = BuildRequest(Telegram::NetworkRequest);
        m_socket.writeDatagram(request, QHostAddress(address), Telegram::Port);
    }
    wait(ExchangeWait::WriteMs);
    close();
}

void WriteEngine::sendSetups(QList<Job> &jobs)
{
    QList<Job *> due;
    for (Job &job : jobs) {
        if (job.write && job.plan.setup && !job.destination.isEmpty())
            due.append(&job);
    }
    if (due.isEmpty())
        return;
    emit phase(QStringLiteral("setup"), int(due.size()), ExchangeWait::WriteMs);
    if (!open(false))
        return close();
    for (Job *job : due) {
        const GatewayReading &c = job->plan.target;
        SetupWriteInput input;
        input.modeIndex = c.mode();
        input.portText = QString::number(c.port);
        input.remoteAddressText = DottedAddressText(c.remoteAddress);
        input.allowedMaskText = DottedAddressText(c.remoteMask);
        input.baudRateText = QString::number(c.baudRate);
        input.dataBitsText = QString::number(c.dataBits);
        input.stopBitsText = QString::number(c.stopBits);
        input.parityIndex = c.parity;
        input.flowControlIndex = c.flowControl;
        input.macText = job->request.mac;
        input.typeCode = c.typeCode;
        input.passwordProtection = job->plan.lock;
        input.password = m_settings.password;
        const QByteArray telegram = BuildSetupWrite(input);
        if (m_socket.writeDatagram(telegram, QHostAddress(InetAddr(job->destination)), Telegram::Port)
            == telegram.size())
            job->report.sent.append(QStringLiteral("setup"));
    }
    wait(ExchangeWait::WriteMs);
    close();
}

void WriteEngine::receive()
{
    for (int i = 0; i < MaxDatagramsPerNotification && m_socket.hasPendingDatagrams(); ++i) {
        const QNetworkDatagram datagram = m_socket.receiveDatagram(Telegram::ReceiveBufferSize);
        Job *job = m_networkJobs.value(datagram.senderAddress().toIPv4Address());
        if (!job)
            continue;
        const QByteArray bytes = datagram.data();
        if (IsNetworkAcknowledgement(bytes)) {
            // Each gateway's first acknowledgement counts; the wait ends
            // once every gateway has given one.
            if (!m_acknowledgedBy.contains(job)) {
                m_acknowledgedBy.insert(job);
                ++m_acknowledged;
            }
            if (m_acknowledged == m_networkJobs.size() && m_wait)
                QTimer::singleShot(ExchangeWait::CompletionTailMs, m_wait.data(), &QEventLoop::quit);
            continue;
        }
        if (!AcceptNetworkReply(bytes))
            continue;
        const GatewayReading &target = job->plan.target;
        const QByteArray write = BuildNetworkWrite(
            bytes, NetworkMaskText(target.hostBits),
            target.defaultGateway == 0 ? QString() : DottedAddressText(target.defaultGateway));
        if (!write.isEmpty() && m_socket.writeDatagram(write, datagram.senderAddress(), Telegram::Port) == write.size()
            && !job->report.sent.contains(QStringLiteral("network")))
            job->report.sent.append(QStringLiteral("network"));
    }
}

void WriteEngine::confirm(const GatewayList &list, QList<Job> &jobs)
{
    const QHash<QString, int> rows = rowsByMac(list);
    for (Job &job : jobs) {
        if (!job.write)
            continue;
        const auto row = rows.constFind(job.request.mac);
        judgeWrite(&job.report, job.plan, row == rows.cend() ? std::nullopt : std::optional(list.reading(*row)));
        if (m_safeguards.recordOutcome)
            m_safeguards.recordOutcome(job.report);
    }
}

bool WriteEngine::sendReset(quint32 newAddress, quint8 macByte5, quint8 macByte6, const QStringList &destinations)
{
    const QByteArray telegram = BuildIpSetup(newAddress, macByte5, macByte6);
    bool anySent = false;
    QEventLoop loop;
    for (const QString &destination : destinations) {
        // A socket per telegram, as the window's reset does it: none holds
        // the port between them.
        QUdpSocket socket;
        if (socket.bind(QHostAddress(QHostAddress::AnyIPv4), Telegram::Port, QAbstractSocket::DontShareAddress)
            && SocketOptions::setBroadcast(socket.socketDescriptor(), true)) {
            anySent = socket.writeDatagram(telegram, QHostAddress(InetAddr(destination)), Telegram::Port)
                    == telegram.size()
                || anySent;
        }
        QTimer::singleShot(ExchangeWait::ResetTelegramMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    QTimer::singleShot(ExchangeWait::ResetFinalMs, &loop, &QEventLoop::quit);
    loop.exec();
    return anySent;
}
