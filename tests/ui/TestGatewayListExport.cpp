// The list export: the file's bytes, and the export as the window runs it
// with its save dialog and message boxes, into a folder of the test's own.

#include "FakeExchange.h"
#include "GatewayList.h"
#include "GatewayListDialog.h"
#include "GatewayListExport.h"
#include "ModalDriver.h"
#include "StringTable.h"
#include "TemporaryConfigHome.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

#include <pwd.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

using Rows = QList<QStringList>;

namespace {

constexpr QFile::Permissions GroupOrOther = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
    | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;

const Rows TwoRows{
    {u"Vantor EIB Gateway"_s, u"198.18.0.10 (DHCP)"_s, u"00-50-C2-4A-00-0A"_s, u"TCP-Server"_s, u"10001"_s,
     u"0.0.0.0"_s, u"0.0.0.0"_s, u"1.0"_s, u"Host-Bits: 8"_s, u"9600"_s},
    {u"???"_s, u"198.18.0.11"_s, u"00-50-C2-4A-00-0B"_s}};

void fill(GatewayList &list, const Rows &rows)
{
    for (const QStringList &cells : rows) {
        const int row = list.appendRow();
        for (int column = 0; column < cells.size(); ++column)
            list.setCellText(row, column, cells.at(column));
    }
}

QByteArray fileContent(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// A folder the test process cannot write to while the object lives; the
// process may still write `ownFile` in it, if given. Root writes anywhere
// whatever the permissions say, so as root the process takes the identity of
// the unprivileged user for that time.
class UnwritableFolder
{
public:
    explicit UnwritableFolder(const QString &path, const QString &ownFile = QString())
        : m_path(path)
    {
        const passwd *nobody = getpwnam("nobody");
        if (geteuid() != 0) {
            m_locked = QFile::setPermissions(m_path, QFile::ReadOwner | QFile::ExeOwner);
        } else if (nobody && (ownFile.isEmpty() || chown(QFile::encodeName(ownFile).constData(), nobody->pw_uid, gid_t(-1)) == 0)) {
            m_becameNobody = m_locked = setegid(nobody->pw_gid) == 0 && seteuid(nobody->pw_uid) == 0;
        }
    }
    bool isLocked() const { return m_locked; }
    ~UnwritableFolder()
    {
        if (m_becameNobody)
            (void)!(seteuid(0) == 0 && setegid(0) == 0);
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

private:
    QString m_path;
    bool m_becameNobody = false;
    bool m_locked = false;
};

} // namespace

class TestGatewayListExport : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<GatewayListDialog> makeWindow(const Rows &rows, int flag, const QString &password)
    {
        auto window = std::make_unique<GatewayListDialog>();
        window->setExchangeFactory(m_network.factory());
        window->setVariant(2, 0);
        window->setProtectionFlag(flag);
        window->setPassword(password);
        fill(window->gatewayList(), rows);
        return window;
    }

    // Runs the window's export, typing `name` into the save dialog opened on
    // `folder`; returns the message box shown afterwards.
    struct Outcome
    {
        QString dialogTitle;
        QStringList filters;
        QString messageTitle;
        QString message;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
    };
    static Outcome runExport(GatewayListDialog &window, const QString &folder, const QString &name)
    {
        Outcome outcome;
        whenModal<QFileDialog>([&](QFileDialog *dialog) {
            outcome.dialogTitle = dialog->windowTitle();
            outcome.filters = dialog->nameFilters();
            dialog->setDirectory(folder);
            QLineEdit *fileName = dialog->findChild<QLineEdit *>(u"fileNameEdit"_s);
            fileName->setText(name);
            whenModal<QMessageBox>([&](QMessageBox *box) {
                saveScreenshotIfAsked(box, u"export-"_s + (box->icon() == QMessageBox::Warning ? u"failure-"_s : u"success-"_s)
                                               + (StringTable::currentLanguage() == UiLanguage::German ? u"de"_s : u"en"_s));
                outcome.messageTitle = box->windowTitle();
                outcome.message = box->text();
                outcome.icon = box->icon();
                box->button(QMessageBox::Ok)->click();
            });
            QTest::keyClick(fileName, Qt::Key_Return);
        });
        window.OnExportList();
        return outcome;
    }

    FakeNetwork m_network;
    std::unique_ptr<QTemporaryDir> m_folder;

private slots:
    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(m_folder->isValid());
        // Traversable by the unprivileged user of UnwritableFolder.
        QVERIFY(QFile::setPermissions(m_folder->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                            | QFile::ReadOther | QFile::ExeOther));
    }
    void cleanup() { StringTable::setCurrentLanguage(UiLanguage::English); }

    void content_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("flag");
        QTest::addColumn<QString>("password");
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray header = "Type\tGW IP address\tGW MAC address\tMode\tPort\tRemote IP\tIP Mask\r\n";
        const QByteArray row0 =
            "Vantor EIB Gateway\t198.18.0.10 (DHCP)\t00-50-C2-4A-00-0A\tTCP-Server\t10001\t0.0.0.0\t0.0.0.0\t\r\n";
        const QByteArray row1 = "???\t198.18.0.11\t00-50-C2-4A-00-0B\t\t\t\t\t\r\n";
        QTest::newRow("two rows, protection off")
            << int(UiLanguage::English) << 0 << u"unused"_s << TwoRows << header + row0 + row1;
        QTest::newRow("protection on, empty password")
            << int(UiLanguage::English) << 1 << QString() << TwoRows.mid(1)
            << "Configuration password: []\r\n" + header + row1;
        QTest::newRow("German, code page 1252")
            << int(UiLanguage::German) << 1 << u"Grüße €中"_s << Rows{{u"Vantor Zone Unit"_s, u"10.0.0.1"_s}}
            << QByteArray("Konfigurations-Passwort: [Gr\xFC\xDF" "e \x80?]\r\n"
                          "Typ\tGW IP Adresse\tGW MAC Adresse\tModus\tPort\tRemote IP\tIP Maske\r\n"
                          "Vantor Zone Unit\t10.0.0.1\t\t\t\t\t\t\r\n");
    }
    void content()
    {
        QFETCH(int, language);
        QFETCH(int, flag);
        QFETCH(QString, password);
        QFETCH(Rows, rows);
        QFETCH(QByteArray, expected);
        StringTable::setCurrentLanguage(UiLanguage(language));
        GatewayList list;
        fill(list, rows);
        QCOMPARE(GatewayListExport(list, flag, password).content(), expected);
    }

    void exportThroughTheSaveDialog_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("oldContent"); // empty: no file before
        QTest::addColumn<int>("flag");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("protectedFolder"); // the folder takes no new file
        const int en = int(UiLanguage::English);
        QTest::newRow("name without extension")
            << en << u"gateways"_s << QByteArray() << 0 << u"gateways.txt"_s << false;
        QTest::newRow("German, name with extension")
            << int(UiLanguage::German) << u"gateways.csv"_s << QByteArray() << 0 << u"gateways.csv"_s << false;
        QTest::newRow("existing file replaced, password line owner-only")
            << en << u"old.txt"_s << QByteArray(4096, 'x') << 1 << u"old.txt"_s << false;
        QTest::newRow("own file in a write-protected folder overwritten, owner-only")
            << en << u"old.txt"_s << QByteArray(4096, 'x') << 1 << u"old.txt"_s << true;
    }
    void exportThroughTheSaveDialog()
    {
        QFETCH(int, language);
        QFETCH(QString, typed);
        QFETCH(QByteArray, oldContent);
        QFETCH(int, flag);
        QFETCH(QString, file);
        QFETCH(bool, protectedFolder);
        const QString path = m_folder->filePath(file);
        if (!oldContent.isEmpty()) {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write(oldContent);
            old.close();
            QVERIFY(old.setPermissions(old.permissions() | QFile::ReadGroup | QFile::ReadOther));
        }
        StringTable::setCurrentLanguage(UiLanguage(language));
        const auto window = makeWindow(TwoRows, flag, u"pw"_s);
        std::optional<UnwritableFolder> locked;
        if (protectedFolder)
            QVERIFY(locked.emplace(m_folder->path(), path).isLocked());
        const Outcome outcome = runExport(*window, m_folder->path(), typed);
        locked.reset();
        QCOMPARE(outcome.dialogTitle, StringTable::text(150));
        QCOMPARE(outcome.filters, (QStringList{u"TXT Files (*.txt)"_s, u"All Files (*.*)"_s}));
        QCOMPARE(outcome.messageTitle, StringTable::text(150));
        QCOMPARE(outcome.message, StringTable::text(151));
        QCOMPARE(outcome.icon, QMessageBox::Information);
        GatewayList expected;
        fill(expected, TwoRows);
        QCOMPARE(fileContent(path), GatewayListExport(expected, flag, u"pw"_s).content());
        QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files), QStringList{file});
        if (flag != 0)
            QCOMPARE(QFileInfo(path).permissions() & GroupOrOther, QFile::Permissions());
    }

    void failureIsReportedAndOldFileKept_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("start");
        QTest::newRow("English") << int(UiLanguage::English) << u"The list could not be exported to \""_s;
        QTest::newRow("German") << int(UiLanguage::German) << u"Die Liste konnte nicht nach \""_s;
    }
    void failureIsReportedAndOldFileKept()
    {
        QFETCH(int, language);
        QFETCH(QString, start);
        StringTable::setCurrentLanguage(UiLanguage(language));
        const QString folder = m_folder->filePath(u"locked"_s);
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                  | QFile::ReadOther | QFile::ExeOther));
        const QString path = folder + u"/list.txt"_s;
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old content\r\n");
        old.close();
        QVERIFY(old.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));

        const auto window = makeWindow(TwoRows, 0, QString());
        Outcome outcome;
        {
            const UnwritableFolder locked(folder);
            QVERIFY(locked.isLocked());
            outcome = runExport(*window, folder, u"list.txt"_s);
        }
        QCOMPARE(outcome.icon, QMessageBox::Warning);
        QVERIFY2(outcome.message.startsWith(start + path + u'"'), qPrintable(outcome.message));
        QVERIFY2(outcome.message.contains(u"ermission denied"_s), qPrintable(outcome.message));
        QCOMPARE(fileContent(path), QByteArray("old content\r\n"));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{u"list.txt"_s});
    }

    void emptyListExportsNothing()
    {
        const auto window = makeWindow({}, 0, QString());
        bool dialogShown = false;
        whenModal<QFileDialog>(
            [&](QFileDialog *dialog) {
                dialogShown = true;
                dialog->reject();
            },
            200);
        window->OnExportList();
        QTest::qWait(250);
        QVERIFY(!dialogShown);
    }
};

QTEST_MAIN(TestGatewayListExport)
#include "TestGatewayListExport.moc"
