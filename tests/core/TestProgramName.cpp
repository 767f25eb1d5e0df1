#include "ProgramName.h"

#include <QTest>

class TestProgramName : public QObject
{
    Q_OBJECT

private slots:
    void variant_data()
    {
        QTest::addColumn<QString>("programPath");
        QTest::addColumn<int>("index");
        QTest::newRow("started from PATH, no folder") << QStringLiteral("ovipgwadmin") << 0;
        QTest::newRow("absolute path") << QStringLiteral("/usr/bin/ovipgwadmin") << 0;
        QTest::newRow("symlink name picks its variant") << QStringLiteral("/usr/bin/pln-knx_ipconfig") << 1;
        QTest::newRow("relative path") << QStringLiteral("./ovipgwconfig") << 2;
        QTest::newRow("mixed case on disk") << QStringLiteral("/opt/gw/OvEnOceanIpConfig") << 3;
        QTest::newRow("lower-case .exe") << QStringLiteral("/opt/gw/vzuipconfig.exe") << 4;
        QTest::newRow("upper-case name and .EXE") << QStringLiteral("VSCANGWCONFIG.EXE") << 5;
        QTest::newRow("serial") << QStringLiteral("../bin/vserialgwconfig") << 6;
        QTest::newRow("folder of a variant's name does not count")
            << QStringLiteral("/tmp/ovipgwadmin/gateway") << -1;
        QTest::newRow("dotted folder, plain name") << QStringLiteral("/opt/gw.d/ovipgwadmin") << 0;
        QTest::newRow("name with suffix") << QStringLiteral("/usr/bin/ovipgwadmin2") << -1;
        QTest::newRow("upper-case name with suffix") << QStringLiteral("OVIPGWADMIN2.EXE") << -1;
        QTest::newRow("other extension") << QStringLiteral("ovipgwadmin.sh") << -1;
        QTest::newRow("two extensions") << QStringLiteral("ovipgwadmin.exe.bak") << -1;
        QTest::newRow("trailing blank") << QStringLiteral("ovipgwadmin ") << -1;
        QTest::newRow("empty") << QString() << -1;
        QTest::newRow("folder only") << QStringLiteral("/usr/bin/") << -1;
        QTest::newRow("extension only") << QStringLiteral(".exe") << -1;
        // Installed deep down a path longer than the old 254-character buffer.
        const QString deep = u'/' + QString(300, u'x') + QStringLiteral("/ovipgwadmin");
        QTest::newRow("path longer than 254 characters") << deep << 0;
        const QString deeper = QStringLiteral("/opt") + QStringLiteral("/folder").repeated(600) + QStringLiteral("/vserialgwconfig");
        QTest::newRow("path of several thousand characters") << deeper << 6;
#ifdef Q_OS_WIN
        QTest::newRow("backslash path") << QStringLiteral("C:\\Program Files\\GW\\ovipgwadmin.exe") << 0;
#else
        QTest::newRow("backslash is part of the name here")
            << QStringLiteral("C:\\Program Files\\GW\\ovipgwadmin.exe") << -1;
#endif
    }

    void variant()
    {
        QFETCH(QString, programPath);
        QFETCH(int, index);
        const auto found = ProgramName::variant(programPath);
        QCOMPARE(found ? found->variantIndex : -1, index);
    }

    void applicationName_data()
    {
        QTest::addColumn<QString>("programPath");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << QStringLiteral("/usr/bin/ovipgwadmin") << QStringLiteral("ovipgwadmin");
        QTest::newRow("spelled as on disk, extension dropped")
            << QStringLiteral("/x/OvIpGwAdmin.EXE") << QStringLiteral("OvIpGwAdmin");
        QTest::newRow("only the last extension goes") << QStringLiteral("a.b.exe") << QStringLiteral("a.b");
        QTest::newRow("dot in the folder") << QStringLiteral("/opt/gw.d/vzuipconfig") << QStringLiteral("vzuipconfig");
        QTest::newRow("hidden file keeps its name") << QStringLiteral("/tmp/.gw") << QStringLiteral(".gw");
        QTest::newRow("no name") << QString() << QString();
    }

    void applicationName()
    {
        QFETCH(QString, programPath);
        QFETCH(QString, name);
        QCOMPARE(ProgramName::applicationName(programPath), name);
    }
};

QTEST_GUILESS_MAIN(TestProgramName)
#include "TestProgramName.moc"
