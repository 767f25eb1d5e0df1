// The gatewaysim program on inputs it must refuse before it touches any
// network: bad files and command lines, and a start outside the virtual LAN.

#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

class TestGatewaySimProgram : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void refuses_data();
    void refuses();
    void help();

private:
    struct Outcome
    {
        int status = -1;
        QString output;
        QString errors;
    };
    Outcome run(const QStringList &arguments);

    QTemporaryDir m_dir;
};

TestGatewaySimProgram::Outcome TestGatewaySimProgram::run(const QStringList &arguments)
{
    QProcess process;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("GWLAN_GATEWAY_IF"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(GATEWAYSIM_PATH), arguments);
    deadline.start(10000);
    loop.exec();
    Outcome outcome;
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        loop.exec(); // finished() follows the kill
        return outcome;
    }
    outcome.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    outcome.output = QString::fromLocal8Bit(process.readAllStandardOutput());
    outcome.errors = QString::fromLocal8Bit(process.readAllStandardError());
    return outcome;
}

void TestGatewaySimProgram::initTestCase()
{
    // Inside a LAN the namespace check passes and a valid file would start
    // a real simulation on the given interface.
    if (qEnvironmentVariableIsSet("GWLAN_PREFIX"))
        QSKIP("runs outside the virtual LAN only");
    QVERIFY(m_dir.isValid());
    const auto write = [this](const QString &name, const QByteArray &content) {
        QFile file(m_dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    };
    write(QStringLiteral("good.json"), R"({"gateways":[{"ip":"198.18.0.10","mac":"00-50-C2-4A-00-0A"}]})");
    write(QStringLiteral("badmac.json"), R"({"gateways":[{"ip":"198.18.0.10","mac":"00-50-C2"}]})");
    write(QStringLiteral("broken.json"), R"({"gateways":[)");
}

void TestGatewaySimProgram::refuses_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    const QString config = QStringLiteral("--config");
    const QString lo = QStringLiteral("--interface");
    QTest::newRow("no config") << QStringList{lo, QStringLiteral("lo")} << 2 << "--config FILE is required";
    QTest::newRow("no interface") << QStringList{config, QStringLiteral("good.json")} << 2 << "no interface";
    QTest::newRow("missing file") << QStringList{config, QStringLiteral("none.json"), lo, QStringLiteral("lo")}
                                  << 2 << "none.json";
    QTest::newRow("bad MAC") << QStringList{config, QStringLiteral("badmac.json"), lo, QStringLiteral("lo")}
                             << 2 << "badmac.json: gateways[0].mac";
    QTest::newRow("broken JSON") << QStringList{config, QStringLiteral("broken.json"), lo, QStringLiteral("lo")}
                                 << 2 << "not valid JSON";
    QTest::newRow("machine's own namespace") << QStringList{config, QStringLiteral("good.json"), lo, QStringLiteral("lo")}
                                             << 3 << "refusing to run outside the virtual LAN";
}

void TestGatewaySimProgram::refuses()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);
    for (QString &argument : arguments) {
        if (argument.endsWith(QLatin1String(".json")))
            argument = m_dir.filePath(argument);
    }
    const Outcome outcome = run(arguments);
    QCOMPARE(outcome.status, status);
    QVERIFY2(outcome.errors.contains(message), qPrintable(outcome.errors));
    QVERIFY(!outcome.output.contains(QLatin1String("ready")));
}

void TestGatewaySimProgram::help()
{
    const Outcome outcome = run({QStringLiteral("--help")});
    QCOMPARE(outcome.status, 0);
    QVERIFY(outcome.output.contains(QLatin1String("usage: gatewaysim --config FILE.json")));
}

QTEST_GUILESS_MAIN(TestGatewaySimProgram)
#include "TestGatewaySimProgram.moc"
