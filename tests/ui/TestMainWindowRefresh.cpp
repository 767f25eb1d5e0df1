// The window's waits and its refresh run, driven by a fake network: every
// exchange is a FakeExchange, so nothing here opens a socket.

#include "FakeExchange.h"
#include "GatewayListDialog.h"
#include "GatewayNotifyEvent.h"
#include "IconButton.h"
#include "StringTable.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <memory>

Q_DECLARE_METATYPE(FakeNetwork::Gateway)

using namespace Qt::StringLiterals;

namespace {

// What a sampling timer saw of the window while a refresh ran.
struct Observations
{
    QStringList statusTexts; // each new text once, in order
    bool everDrawnDisabled = false; // window, list or status line greyed
    bool inputEverTaken = false;    // a key or an assistive tool's press reached a button
    bool buttonsEverEnabled = false;
    QSet<QPair<int, int>> icons;    // Refresh list's and Set configuration's
    int samples = 0;
};

} // namespace

class TestMainWindowRefresh : public QObject
{
    Q_OBJECT

private:
    static int iconOf(const GatewayListDialog &window, Control id)
    {
        const auto *button = qobject_cast<const IconButton *>(window.control(id));
        return button ? button->iconNumber() : -1;
    }

    std::unique_ptr<GatewayListDialog> makeWindow()
    {
        auto window = std::make_unique<GatewayListDialog>();
        window->setExchangeFactory(m_network.factory());
        window->setVariant(2, 0);
        window->setBroadcastAddress(QStringLiteral("255.255.255.255"));
        window->show();
        return window;
    }

    // Runs the refresh that window start posts; returns its duration in ms.
    qint64 runFirstRefresh(GatewayListDialog &window, Observations *observations = nullptr)
    {
        QTimer sampler;
        if (observations) {
            sampler.setInterval(20);
            connect(&sampler, &QTimer::timeout, &window, [&window, observations] {
                if (!window.isBusy())
                    return;
                ++observations->samples;
                const QString text = qobject_cast<QLabel *>(window.control(Control::StatusLine))->text();
                if (observations->statusTexts.value(observations->statusTexts.size() - 1) != text)
                    observations->statusTexts.append(text);
                observations->everDrawnDisabled |= !window.isEnabled() || !window.control(Control::GatewayList)->isEnabled()
                    || !window.control(Control::StatusLine)->isEnabled();
                observations->buttonsEverEnabled |=
                    window.control(Control::RefreshButton)->isEnabled() || window.control(Control::SetConfigurationButton)->isEnabled();
                observations->icons.insert({iconOf(window, Control::RefreshButton), iconOf(window, Control::SetConfigurationButton)});
                auto *password = qobject_cast<QAbstractButton *>(window.control(Control::PasswordButton));
                QSignalSpy clicked(password, &QAbstractButton::clicked);
                QTest::keyClick(password, Qt::Key_Space);
                password->click(); // as an assistive tool presses it
                observations->inputEverTaken |= clicked.count() > 0;
                // Escape and the close box are refused while the run goes on.
                window.reject();
                window.close();
            });
            sampler.start();
        }
        QSignalSpy finished(&window, &GatewayListDialog::refreshFinished);
        QElapsedTimer clock;
        clock.start();
        window.OnInitDialog();
        if (!finished.wait(20000))
            return -1;
        return clock.elapsed();
    }

    static FakeNetwork::Gateway gateway(int host, quint32 type = 0x00000001, bool completes = true)
    {
        FakeNetwork::Gateway result;
        result.ip = QStringLiteral("198.18.0.%1").arg(host);
        result.mac = QStringLiteral("00-50-C2-4A-00-%1").arg(host, 2, 16, QLatin1Char('0')).toUpper();
        result.typeCode = type;
        result.completes = completes;
        return result;
    }

    FakeNetwork m_network;

private slots:
    void init()
    {
        StringTable::setCurrentLanguage(UiLanguage::English);
        m_network = FakeNetwork();
    }

    void waitLastsItsFullTimeAndStepsTheProgressBar()
    {
        const auto window = makeWindow();
        auto *bar = qobject_cast<QProgressBar *>(window->control(Control::ProgressBar));
        QList<int> positions;
        bool visibleWhileStepping = true;
        connect(bar, &QProgressBar::valueChanged, this, [&](int value) {
            positions.append(value);
            visibleWhileStepping &= bar->isVisible();
        });
        QElapsedTimer clock;
        clock.start();
        window->WaitForReplies(1000);
        const qint64 elapsed = clock.elapsed();
        QVERIFY2(elapsed >= 1000 && elapsed < 1060, qPrintable(QString::number(elapsed)));
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 100);
        QCOMPARE(positions.size(), 100);
        QCOMPARE(positions.first(), 0);
        QCOMPARE(positions.last(), 99);
        QVERIFY(visibleWhileStepping);
        QVERIFY(!bar->isVisible());
    }

    void shortWaitShowsAndHidesTheBarWithoutAStep()
    {
        const auto window = makeWindow();
        auto *bar = qobject_cast<QProgressBar *>(window->control(Control::ProgressBar));
        bar->hide();
        int shows = 0;
        int hides = 0;
        struct Counter : QObject
        {
            int &shows;
            int &hides;
            Counter(int &s, int &h) : shows(s), hides(h) {}
            bool eventFilter(QObject *, QEvent *event) override
            {
                shows += event->type() == QEvent::Show;
                hides += event->type() == QEvent::Hide;
                return false;
            }
        } counter(shows, hides);
        bar->installEventFilter(&counter);
        QSignalSpy steps(bar, &QProgressBar::valueChanged);
        QElapsedTimer clock;
        clock.start();
        window->WaitForReplies(5);
        QVERIFY(clock.elapsed() < 5);
        QCOMPARE(shows, 1);
        QCOMPARE(hides, 1);
        QCOMPARE(steps.count(), 0);
    }

    void completionEndsTheWait_data()
    {
        QTest::addColumn<int>("waitMs");
        QTest::addColumn<QString>("when");
        QTest::addColumn<int>("postAtMs");
        QTest::addColumn<int>("expectedMs");
        QTest::newRow("none: full wait") << 400 << "never" << 0 << 400;
        QTest::newRow("queued before the wait: handled at once, + 200") << 1000 << "queued" << 0 << 200;
        QTest::newRow("handled before the wait: no effect") << 400 << "handled" << 0 << 400;
        QTest::newRow("during step 9: + 200, not from the end of the step") << 1000 << "during" << 81 << 281;
        QTest::newRow("in the last step: + 200") << 100 << "during" << 91 << 291;
    }
    void completionEndsTheWait()
    {
        QFETCH(int, waitMs);
        QFETCH(QString, when);
        QFETCH(int, postAtMs);
        QFETCH(int, expectedMs);
        // A wait never ends early; it may end late by as much as the
        // machine keeps the thread from running, so a late end is measured
        // again, up to three times, and the best run counts.
        qint64 best = -1;
        for (int attempt = 0; attempt < 3 && (best < 0 || best >= expectedMs + 8); ++attempt) {
            const auto window = makeWindow();
            if (when == QLatin1String("queued") || when == QLatin1String("handled"))
                window->postCompletion();
            if (when == QLatin1String("handled")) {
                QCoreApplication::sendPostedEvents(window.get());
                QVERIFY(window->completionFlag());
            }
            if (when == QLatin1String("during"))
                QTimer::singleShot(postAtMs, Qt::PreciseTimer, window.get(), [&window] { window->postCompletion(); });
            QElapsedTimer clock;
            clock.start();
            window->WaitForReplies(waitMs);
            const qint64 elapsed = clock.elapsed();
            QVERIFY2(elapsed >= expectedMs, qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
            best = best < 0 ? elapsed : qMin(best, elapsed);
        }
        QVERIFY2(best < expectedMs + 8, qPrintable(QStringLiteral("%1 ms").arg(best)));
    }

    void notifyCodesOtherThanZeroAndOneAreIgnored()
    {
        const auto window = makeWindow();
        QCoreApplication::postEvent(window.get(), new GatewayNotifyEvent(7));
        QCoreApplication::sendPostedEvents(window.get());
        QVERIFY(m_network.log.isEmpty());
        QVERIFY(!window->completionFlag());
    }

    void refreshReadsEveryRowLastFirst_data()
    {
        QTest::addColumn<QList<FakeNetwork::Gateway>>("gateways");
        QTest::addColumn<QList<int>>("statuses");
        QTest::addColumn<int>("expectedMs");
        QTest::newRow("nobody answers") << QList<FakeNetwork::Gateway>{} << QList<int>{} << 1000;
        QTest::newRow("three complete reads") << QList{gateway(10), gateway(11), gateway(12)}
                                              << QList<int>{2, 2, 2} << 1000 + 3 * 200;
        QTest::newRow("silent identity: unknown after the full wait")
            << QList{gateway(10), gateway(11, 0)} << QList<int>{2, 1} << 1000 + 1000 + 200;
        QTest::newRow("identified without completion: full wait")
            << QList{gateway(10, 0x00000001, false)} << QList<int>{2} << 1000 + 1000;
    }
    void refreshReadsEveryRowLastFirst()
    {
        QFETCH(QList<FakeNetwork::Gateway>, gateways);
        QFETCH(QList<int>, statuses);
        QFETCH(int, expectedMs);
        m_network.gateways = gateways;
        const auto window = makeWindow();
        Observations seen;
        const qint64 elapsed = runFirstRefresh(*window, &seen);
        QVERIFY2(elapsed >= expectedMs && elapsed < expectedMs + 150, qPrintable(QString::number(elapsed)));

        QStringList expectedLog{QStringLiteral("discover 255.255.255.255"), QStringLiteral("close")};
        for (int row = gateways.size() - 1; row >= 0; --row) {
            expectedLog << QStringLiteral("identity %1 %2").arg(row).arg(gateways.at(row).ip)
                        << QStringLiteral("close");
        }
        QCOMPARE(m_network.log, expectedLog);
        QCOMPARE(m_network.mostOpenAtOnce, gateways.isEmpty() ? 1 : 1);
        QCOMPARE(m_network.openExchanges, 0);

        GatewayList &list = window->gatewayList();
        QCOMPARE(list.count(), gateways.size());
        for (int row = 0; row < list.count(); ++row)
            QCOMPARE(list.rowStatus(row), statuses.at(row));

        // During the run: locked against input but readable, the two large
        // buttons disabled with their busy icons, status "searching" then "reading".
        QVERIFY(seen.samples > 10);
        QVERIFY(!seen.everDrawnDisabled);
        QVERIFY(!seen.inputEverTaken);
        QVERIFY(!seen.buttonsEverEnabled);
        QCOMPARE(seen.icons, (QSet<QPair<int, int>>{{136, 135}}));
        QStringList expectedTexts{QStringLiteral("Searching for IP Gateways...")};
        if (!gateways.isEmpty())
            expectedTexts << QStringLiteral("Reading configuration...");
        QCOMPARE(seen.statusTexts, expectedTexts);

        // Afterwards: unlocked, status cleared (or why nothing answered), focus
        // on the list, export as rows exist.
        QVERIFY(window->isVisible());
        QVERIFY(!window->isBusy() && window->control(Control::RefreshButton)->isEnabled()
                && window->control(Control::SetConfigurationButton)->isEnabled());
        QCOMPARE(iconOf(*window, Control::RefreshButton), 134);
        QCOMPARE(iconOf(*window, Control::SetConfigurationButton), 133);
        QSignalSpy clicked(qobject_cast<QAbstractButton *>(window->control(Control::PasswordButton)), &QAbstractButton::clicked);
        // The click opens the password dialog; close it again unchanged.
        QWidget *const main = window.get();
        QTimer::singleShot(0, main, [main] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()); dialog && dialog != main)
                dialog->reject();
        });
        QTest::keyClick(window->control(Control::PasswordButton), Qt::Key_Space);
        QCOMPARE(clicked.count(), 1);
        const QString statusAfter = qobject_cast<QLabel *>(window->control(Control::StatusLine))->text();
        if (gateways.isEmpty())
            QVERIFY2(statusAfter.startsWith(u"No reply via "_s) && statusAfter.contains(u"(use \"Reset IP-Adr.\")"_s),
                     qPrintable(statusAfter));
        else
            QCOMPARE(statusAfter, QString());
        QCOMPARE(window->focusWidget(), window->control(Control::GatewayList));
        QCOMPARE(window->control(Control::ExportButton)->isVisible(), !gateways.isEmpty());
        QVERIFY(!window->control(Control::ProgressBar)->isVisible());
    }

    void takenPortIsReportedInTheStatusLine_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("message");
        QTest::newRow("English") << int(UiLanguage::English)
                                 << "No search possible: UDP port 30718 is in use by another program "
                                    "(is the tool already running?)";
        QTest::newRow("German") << int(UiLanguage::German)
                                << "Suche nicht möglich: UDP-Port 30718 wird von einem anderen Programm "
                                   "belegt (läuft das Programm bereits?)";
    }
    void takenPortIsReportedInTheStatusLine()
    {
        QFETCH(int, language);
        QFETCH(QString, message);
        StringTable::setCurrentLanguage(UiLanguage(language));
        m_network.gateways = {gateway(10)};
        m_network.portHeld = true;
        const auto window = makeWindow();
        QVERIFY(runFirstRefresh(*window) >= 1000);
        QCOMPARE(window->gatewayList().count(), 0);
        QCOMPARE(qobject_cast<QLabel *>(window->control(Control::StatusLine))->text(), message);
        QVERIFY(!window->isBusy() && window->control(Control::RefreshButton)->isEnabled()
                && window->control(Control::SetConfigurationButton)->isEnabled());

        // Once the port is free again, the next refresh clears the message.
        m_network.portHeld = false;
        QSignalSpy finished(window.get(), &GatewayListDialog::refreshFinished);
        qobject_cast<QAbstractButton *>(window->control(Control::RefreshButton))->click();
        QVERIFY(finished.count() == 1 || finished.wait(10000));
        QCOMPARE(window->gatewayList().count(), 1);
        QCOMPARE(qobject_cast<QLabel *>(window->control(Control::StatusLine))->text(), QString());
    }

    void escapeEndsTheWindowOnlyWhenIdle()
    {
        m_network.gateways = {gateway(10)};
        const auto window = makeWindow();
        Observations seen;
        QVERIFY(runFirstRefresh(*window, &seen) > 0);
        QVERIFY(seen.samples > 0);
        QVERIFY(window->isVisible()); // the refusals during the run held
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QVERIFY(!window->isVisible());
        QCOMPARE(window->result(), int(QDialog::Rejected));
    }

    void doubleClickOnARowDoesNothing()
    {
        m_network.gateways = {gateway(10), gateway(11)};
        const auto window = makeWindow();
        QVERIFY(runFirstRefresh(*window) > 0);
        const QStringList logBefore = m_network.log;
        auto *list = qobject_cast<QTreeView *>(window->control(Control::GatewayList));
        const QRect row = list->visualRect(list->model()->index(0, 1));
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row.center());
        QTest::qWait(50);
        QCOMPARE(m_network.log, logBefore);
        QCOMPARE(window->gatewayList().count(), 2);
        QVERIFY(!window->isBusy());
        QVERIFY(window->isVisible());
    }
};

QTEST_MAIN(TestMainWindowRefresh)
#include "TestMainWindowRefresh.moc"
