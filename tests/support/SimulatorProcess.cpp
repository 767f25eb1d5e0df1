#include "SimulatorProcess.h"

#include "InterfaceAddresses.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int PollIntervalMs = 5;

QString gatewayNamespace()
{
    return qEnvironmentVariable("GWLAN_GATEWAY_NS");
}

} // namespace

SimulatorProcess::SimulatorProcess(QObject *parent) : QObject(parent) {}

SimulatorProcess::~SimulatorProcess()
{
    stop();
}

QString SimulatorProcess::executablePath()
{
    const QString fromEnvironment = qEnvironmentVariable("GATEWAYSIM");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
#ifdef GATEWAYSIM_PATH
    return QStringLiteral(GATEWAYSIM_PATH);
#else
    return {};
#endif
}

bool SimulatorProcess::available()
{
    return !gatewayNamespace().isEmpty() && !qEnvironmentVariableIsEmpty("GWLAN_GATEWAY_IF")
        && QFileInfo(executablePath()).isExecutable() && !InterfaceAddresses::ipProgram().isEmpty();
}

QString SimulatorProcess::logPath() const
{
    return m_dir ? m_dir->filePath(QStringLiteral("received.jsonl")) : QString();
}

bool SimulatorProcess::start(const QJsonObject &config, int timeoutMs, bool save)
{
    if (isRunning()) {
        m_error = QStringLiteral("the simulator is already running");
        return false;
    }
    m_dir = std::make_unique<QTemporaryDir>();
    const QString path = m_dir->filePath(QStringLiteral("gateways.json"));
    QSaveFile file(path);
    if (!m_dir->isValid() || !file.open(QIODevice::WriteOnly)
        || file.write(QJsonDocument(config).toJson()) < 0 || !file.commit()) {
        m_error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return start(path, timeoutMs, save);
}

bool SimulatorProcess::start(const QString &configPath, int timeoutMs, bool save)
{
    if (isRunning()) {
        m_error = QStringLiteral("the simulator is already running");
        return false;
    }
    if (!available()) {
        m_error = QStringLiteral("the simulator needs the virtual LAN (scripts/vlan.sh) and %1")
                      .arg(executablePath());
        return false;
    }
    if (!m_dir || !m_dir->isValid())
        m_dir = std::make_unique<QTemporaryDir>();
    m_configPath = configPath;
    QFile::remove(logPath());
    m_logOffset = 0;
    m_stdout.clear();
    m_stderr.clear();
    m_ready = false;
    m_error.clear();

    delete m_process;
    m_process = new QProcess(this);
    connect(m_process, &QProcess::readyReadStandardOutput, this, &SimulatorProcess::readStandardOutput);
    connect(m_process, &QProcess::readyReadStandardError, this, [this] {
        const QByteArray text = m_process->readAllStandardError();
        m_stderr += text;
        std::fputs(text.constData(), stderr); // the simulator's remarks belong in the test output
    });

    QStringList arguments{QStringLiteral("netns"),    QStringLiteral("exec"), gatewayNamespace(),
                          executablePath(),           QStringLiteral("--config"), configPath,
                          QStringLiteral("--log"),    logPath(),
                          QStringLiteral("--interface"), qEnvironmentVariable("GWLAN_GATEWAY_IF")};
    if (save)
        arguments << QStringLiteral("--save");
    arguments << m_extraArguments;
    m_process->start(InterfaceAddresses::ipProgram(), arguments);

    const bool timedOut = !waitFor(
        [this] { return m_ready || m_process->state() == QProcess::NotRunning; }, timeoutMs);
    if (m_ready)
        return true;
    if (timedOut) {
        stop(1000);
        m_error = QStringLiteral("the simulator was not ready within %1 ms").arg(timeoutMs);
    } else {
        m_error = QStringLiteral("the simulator ended (status %1): %2")
                      .arg(m_process->exitCode())
                      .arg(QString::fromLocal8Bit(m_stderr).trimmed());
    }
    return false;
}

void SimulatorProcess::readStandardOutput()
{
    m_stdout += m_process->readAllStandardOutput();
    if (m_stdout.split('\n').contains("ready"))
        m_ready = true;
}

bool SimulatorProcess::isRunning() const
{
    return m_process && m_process->state() != QProcess::NotRunning;
}

bool SimulatorProcess::stop(int timeoutMs)
{
    if (!m_process)
        return true;
    if (isRunning()) {
        m_process->terminate();
        if (!waitFor([this] { return !isRunning(); }, timeoutMs)) {
            m_process->kill();
            waitFor([this] { return !isRunning(); }, 2000);
            m_error = QStringLiteral("the simulator did not end within %1 ms and was killed").arg(timeoutMs);
            return false;
        }
    }
    m_stderr += m_process->readAllStandardError();
    return m_process->exitStatus() == QProcess::NormalExit && m_process->exitCode() == 0;
}

bool SimulatorProcess::waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    if (condition())
        return true;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    deadline.start(timeoutMs);
    poll.start(PollIntervalMs);
    loop.exec();
    return condition();
}

QList<QJsonObject> SimulatorProcess::receivedDatagrams() const
{
    QList<QJsonObject> entries;
    QFile file(logPath());
    if (logPath().isEmpty() || !file.open(QIODevice::ReadOnly) || !file.seek(m_logOffset))
        return entries;
    const QByteArray text = file.readAll();
    // Only complete lines: the simulator may be writing the next one.
    const QList<QByteArray> lines = text.left(text.lastIndexOf('\n') + 1).split('\n');
    for (const QByteArray &line : lines) {
        if (!line.isEmpty())
            entries += QJsonDocument::fromJson(line).object();
    }
    return entries;
}

QList<QByteArray> SimulatorProcess::receivedBytes() const
{
    QList<QByteArray> bytes;
    for (const QJsonObject &entry : receivedDatagrams())
        bytes += QByteArray::fromHex(entry.value(QStringLiteral("hex")).toString().toLatin1());
    return bytes;
}

void SimulatorProcess::clearLog()
{
    const QByteArray text = [this] {
        QFile file(logPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    m_logOffset = text.lastIndexOf('\n') + 1;
}

bool SimulatorProcess::waitForDatagrams(int count, int timeoutMs)
{
    return waitFor([this, count] { return receivedDatagrams().size() >= count; }, timeoutMs);
}

QJsonObject SimulatorProcess::currentConfig() const
{
    QFile file(m_configPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

QJsonObject SimulatorProcess::gateway(const QString &ip, const QString &mac, quint32 typeCode)
{
    return QJsonObject{
        {QStringLiteral("ip"), ip},
        {QStringLiteral("mac"), mac},
        {QStringLiteral("firmware"), QStringLiteral("1.0")},
        {QStringLiteral("type"), QStringLiteral("0x%1").arg(typeCode, 8, 16, QLatin1Char('0'))},
        {QStringLiteral("dhcp"), false},
        {QStringLiteral("hostBits"), 8},
        {QStringLiteral("defaultGateway"), QStringLiteral("0.0.0.0")},
        {QStringLiteral("setup"),
         QJsonObject{{QStringLiteral("mode"), 0},
                     {QStringLiteral("port"), 10001},
                     {QStringLiteral("remote"), QStringLiteral("0.0.0.0")},
                     {QStringLiteral("mask"), QStringLiteral("0.0.0.0")},
                     {QStringLiteral("baudRate"), 9600},
                     {QStringLiteral("dataBits"), 8},
                     {QStringLiteral("stopBits"), 1},
                     {QStringLiteral("parity"), 0},
                     {QStringLiteral("flowControl"), 0}}},
        {QStringLiteral("password"), QJsonValue::Null},
    };
}

QJsonObject SimulatorProcess::config(const QList<QJsonObject> &gateways)
{
    QJsonArray array;
    for (const QJsonObject &gateway : gateways)
        array.append(gateway);
    return QJsonObject{{QStringLiteral("gateways"), array}};
}
