#pragma once

// Runs the gateway simulator (gatewaysim) for a test, inside the gateway
// namespace of the virtual LAN the test runs in (scripts/vlan.sh), and reads
// back what the simulated gateways received.
//
//     if (!SimulatorProcess::available())
//         QSKIP("needs the virtual LAN");
//     SimulatorProcess sim;
//     QVERIFY2(sim.start(config), qPrintable(sim.errorString()));
//     ... talk to 198.18.0.10 ...
//     QCOMPARE(sim.receivedDatagrams().size(), 3);
//
// Every wait is a nested event loop bounded by a timer; the process is
// killed when it does not end in time.

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

class SimulatorProcess : public QObject
{
    Q_OBJECT

public:
    explicit SimulatorProcess(QObject *parent = nullptr);
    ~SimulatorProcess() override; // stops a running simulator

    // True only inside the virtual LAN (GWLAN_GATEWAY_NS set) with the
    // simulator binary present.
    static bool available();
    static QString executablePath();

    // Starts the simulator with the configuration (written to a temporary
    // file) and waits up to `timeoutMs` for its "ready" line. `save` passes
    // --save: the state is written back to configPath().
    bool start(const QJsonObject &config, int timeoutMs = 10000, bool save = false);
    bool start(const QString &configPath, int timeoutMs = 10000, bool save = false);
    // Further simulator options for the next start (e.g. --unpaced, --loss 5).
    void setExtraArguments(const QStringList &arguments) { m_extraArguments = arguments; }
    // SIGTERM, then SIGKILL after `timeoutMs`. True when it ended by itself
    // with status 0 (so it removed its addresses).
    bool stop(int timeoutMs = 5000);
    bool isRunning() const;

    // Every datagram logged since start() (or since clearLog()), in order of
    // arrival; fields as in the log: time, msec, to, from, fromPort, length, hex.
    QList<QJsonObject> receivedDatagrams() const;
    // The same, only the bytes.
    QList<QByteArray> receivedBytes() const;
    // Forgets what was received so far.
    void clearLog();
    // Waits until at least `count` datagrams were received (bounded).
    bool waitForDatagrams(int count, int timeoutMs = 3000);

    QString configPath() const { return m_configPath; }
    QString logPath() const;
    // The configuration file as it is now (after --save writes).
    QJsonObject currentConfig() const;

    QString errorString() const { return m_error; }
    // What the simulator printed on its error channel so far.
    QByteArray standardError() const { return m_stderr; }

    // A complete gateway entry for a configuration: address, MAC, type, the
    // rest defaulted (firmware 1.0, fixed address, 8 host bits, TCP-Server
    // on port 10001, 9600 8N1, no password, no faults).
    static QJsonObject gateway(const QString &ip, const QString &mac, quint32 typeCode = 0x00000001);
    // {"gateways": [...]}
    static QJsonObject config(const QList<QJsonObject> &gateways);

private:
    bool waitFor(const std::function<bool()> &condition, int timeoutMs);
    void readStandardOutput();

    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess *m_process = nullptr;
    QString m_configPath;
    QStringList m_extraArguments;
    QByteArray m_stdout;
    QByteArray m_stderr;
    QString m_error;
    bool m_ready = false;
    qint64 m_logOffset = 0;
};
