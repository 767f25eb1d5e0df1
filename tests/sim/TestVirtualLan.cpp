// scripts/vlan.sh: the LAN it builds, that it passes COMMAND's status on, and
// that nothing of it survives an ordinary end, an interrupt or a crash.
// Needs root; builds LANs of its own with prefixes unique to this process.

#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <QtTest>

#include <unistd.h>

class TestVirtualLan : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void runsCommandInToolNamespace_data();
    void runsCommandInToolNamespace();
    void refusesBadArguments_data();
    void refusesBadArguments();
    void terminateRemovesLan();
    void crashedRunIsCleanedUp();
    void cleanupTestCase();

private:
    QString prefix(const QString &tag) const
    {
        return QStringLiteral("gwl-t%1%2").arg(::getpid()).arg(tag);
    }
    static QStringList namespacesOf(const QString &prefix);
    bool waitFor(const std::function<bool()> &condition, int timeoutMs);
    int run(const QStringList &arguments, QString *output = nullptr);
};

QStringList TestVirtualLan::namespacesOf(const QString &prefix)
{
    return QDir(QStringLiteral("/run/netns"))
        .entryList({prefix + QStringLiteral("-*")}, QDir::Files | QDir::System);
}

bool TestVirtualLan::waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QEventLoop loop;
    QTimer poll;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    deadline.start(timeoutMs);
    poll.start(20);
    if (!condition())
        loop.exec();
    return condition();
}

int TestVirtualLan::run(const QStringList &arguments, QString *output)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral(VLAN_SCRIPT), arguments);
    const bool ended = waitFor([&] { return process.state() == QProcess::NotRunning; }, 30000);
    if (!ended) {
        process.kill();
        waitFor([&] { return process.state() == QProcess::NotRunning; }, 5000);
        return -1;
    }
    if (output)
        *output = QString::fromLocal8Bit(process.readAll());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

void TestVirtualLan::initTestCase()
{
    if (::geteuid() != 0)
        QSKIP("building network namespaces needs root");
    if (qEnvironmentVariableIsSet("GWLAN_PREFIX"))
        QSKIP("builds LANs of its own; run it outside one");
}

void TestVirtualLan::runsCommandInToolNamespace_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("status");

    QTest::newRow("status passed on") << QStringList() << "exit 7" << 7;
    QTest::newRow("tool address and environment")
        << QStringList()
        << "ip -4 -o addr show dev \"$GWLAN_TOOL_IF\" | grep -q ' 198.18.0.1/24' &&"
           " [ \"$GWLAN_TOOL_NS\" = \"$GWLAN_PREFIX-tool\" ] && [ \"$GWLAN_GATEWAY_NS\" = \"$GWLAN_PREFIX-gw\" ] &&"
           " [ \"$GWLAN_TOOL_ADDRESSES\" = 198.18.0.1 ] &&"
           " ip netns exec \"$GWLAN_GATEWAY_NS\" ip link show \"$GWLAN_GATEWAY_IF\" | grep -q 'state UP'"
        << 0;
    QTest::newRow("second adapter")
        << QStringList{QStringLiteral("--tool-adapters"), QStringLiteral("2")}
        << "ip -4 -o addr show dev gwlan1 | grep -q ' 198.18.0.2/24' && [ \"$GWLAN_TOOL_ADDRESSES\" = 198.18.0.1,198.18.0.2 ]"
        << 0;
    QTest::newRow("no IPv6 chatter")
        << QStringList() << "[ \"$(cat /proc/sys/net/ipv6/conf/gwlan0/disable_ipv6 2>/dev/null || echo 1)\" = 1 ]" << 0;
}

void TestVirtualLan::runsCommandInToolNamespace()
{
    QFETCH(QStringList, options);
    QFETCH(QString, script);
    QFETCH(int, status);
    const QString lan = prefix(QStringLiteral("a"));
    QString output;
    QCOMPARE(run(QStringList{QStringLiteral("--prefix"), lan} + options
                     + QStringList{QStringLiteral("--"), QStringLiteral("sh"), QStringLiteral("-c"), script},
                 &output),
             status);
    QVERIFY2(namespacesOf(lan).isEmpty(), qPrintable(output));
}

void TestVirtualLan::refusesBadArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no command") << QStringList{QStringLiteral("--")};
    QTest::newRow("zero adapters") << QStringList{QStringLiteral("--tool-adapters"), QStringLiteral("0"), QStringLiteral("--"), QStringLiteral("true")};
    QTest::newRow("prefix with a slash") << QStringList{QStringLiteral("--prefix"), QStringLiteral("a/b"), QStringLiteral("--"), QStringLiteral("true")};
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--bridge"), QStringLiteral("--"), QStringLiteral("true")};
}

void TestVirtualLan::refusesBadArguments()
{
    QFETCH(QStringList, arguments);
    QCOMPARE(run(arguments), 2);
}

void TestVirtualLan::terminateRemovesLan()
{
    const QString lan = prefix(QStringLiteral("b"));
    QProcess process;
    process.start(QStringLiteral(VLAN_SCRIPT),
                  {QStringLiteral("--prefix"), lan, QStringLiteral("--"), QStringLiteral("sleep"), QStringLiteral("60")});
    QVERIFY(waitFor([&] { return namespacesOf(lan).size() == 3; }, 15000));
    process.terminate();
    QVERIFY(waitFor([&] { return process.state() == QProcess::NotRunning; }, 20000));
    QVERIFY(namespacesOf(lan).isEmpty());
    QVERIFY(!QFile::exists(QStringLiteral("/run/gwlan/%1.pid").arg(lan)));
}

// A run killed outright leaves its namespaces, and the command still running
// inside one; --cleanup-stale removes both, a new run with the same prefix
// clears them too.
void TestVirtualLan::crashedRunIsCleanedUp()
{
    for (const bool byNewRun : {false, true}) {
        const QString lan = prefix(byNewRun ? QStringLiteral("d") : QStringLiteral("c"));
        QProcess process;
        process.start(QStringLiteral(VLAN_SCRIPT),
                      {QStringLiteral("--prefix"), lan, QStringLiteral("--"), QStringLiteral("sleep"), QStringLiteral("60")});
        QVERIFY(waitFor([&] { return namespacesOf(lan).size() == 3; }, 15000));
        process.kill();
        QVERIFY(waitFor([&] { return process.state() == QProcess::NotRunning; }, 5000));
        QCOMPARE(namespacesOf(lan).size(), 3);

        QString output;
        if (byNewRun)
            QCOMPARE(run({QStringLiteral("--prefix"), lan, QStringLiteral("--"), QStringLiteral("true")}, &output), 0);
        else
            QCOMPARE(run({QStringLiteral("--cleanup-stale")}, &output), 0);
        QVERIFY2(namespacesOf(lan).isEmpty(), qPrintable(output));
    }
}

void TestVirtualLan::cleanupTestCase()
{
    // Whatever a failed check above left behind (its owner is gone by now).
    if (!namespacesOf(prefix(QString())).isEmpty())
        run({QStringLiteral("--cleanup-stale")});
}

QTEST_GUILESS_MAIN(TestVirtualLan)
#include "TestVirtualLan.moc"
