// The main window as built from its template, checked without any network:
// the window is built and initialised with a fake exchange factory, so the
// refresh that initialisation posts never reaches a socket.

#include "Artwork.h"
#include "BroadcastAddressDialog.h"
#include "DialogBuilder.h"
#include "DialogTemplate.h"
#include "DeviceTables.h"
#include "DialogUnits.h"
#include "FakeExchange.h"
#include "GatewayListDialog.h"
#include "PasswordSettingsDialog.h"
#include "ResetIpDialog.h"
#include "IconButton.h"
#include "StringTable.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFontInfo>
#include <QSet>
#include <QStyleOptionViewItem>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include <memory>

using namespace Qt::StringLiterals;

class TestMainWindowLayout : public QObject
{
    Q_OBJECT

private:
    // A window initialised for `variant` in `language`; its first refresh is
    // posted but served by an empty fake network when events run.
    std::unique_ptr<GatewayListDialog> makeWindow(int variant, UiLanguage language = UiLanguage::English)
    {
        StringTable::setCurrentLanguage(language);
        auto window = std::make_unique<GatewayListDialog>();
        window->setExchangeFactory(m_network.factory());
        const quint32 filters[] = {0, 0x00010001, 0, 0x00020001, 0x00000003, 0x00030001, 0x00030002};
        window->setVariant(variant, filters[variant]);
        window->OnInitDialog();
        return window;
    }

    static QString textOf(QWidget *widget)
    {
        if (auto *label = qobject_cast<QLabel *>(widget))
            return label->text();
        if (auto *button = qobject_cast<QAbstractButton *>(widget))
            return button->text();
        return {};
    }

    static QStringList entries(QComboBox *box)
    {
        QStringList result;
        for (int i = 0; i < box->count(); ++i)
            result.append(box->itemText(i));
        return result;
    }

    FakeNetwork m_network;

private slots:
    void cleanup() { StringTable::setCurrentLanguage(UiLanguage::English); }

    void mulDivRoundsLikeThePlatform_data()
    {
        QTest::addColumn<int>("a");
        QTest::addColumn<int>("b");
        QTest::addColumn<int>("c");
        QTest::addColumn<int>("expected");
        QTest::newRow("exact") << 484 << 6 << 4 << 726;
        QTest::newRow("half rounds up") << 396 << 13 << 8 << 644;  // 643.5
        QTest::newRow("below half rounds down") << 5 << 13 << 8 << 8; // 8.125
        QTest::newRow("above half rounds up") << 1 << 13 << 8 << 2;  // 1.625
        QTest::newRow("negative half away from zero") << -396 << 13 << 8 << -644;
        QTest::newRow("division by zero") << 5 << 6 << 0 << 0;
    }
    void mulDivRoundsLikeThePlatform()
    {
        QFETCH(int, a);
        QFETCH(int, b);
        QFETCH(int, c);
        QFETCH(int, expected);
        QCOMPARE(DialogUnits::mulDiv(a, b, c), expected);
    }

    // The designed font comes with a Debian package that scripts/setup.sh
    // installs; where that package is installed the font must be the one in
    // use, and then the window has the size it was designed for. Everywhere
    // else the window follows the font it gets, in its dialog units.
    void designedFontIsInUseWhereItsPackageIsInstalled()
    {
        if (!QFileInfo::exists(QStringLiteral("/var/lib/dpkg/info/fonts-dejavu-extra.list")))
            QSKIP("fonts-dejavu-extra is not installed (scripts/setup.sh installs it)");
        const std::optional<DialogTemplate> layout =
            DialogTemplate::load(QStringLiteral(":/dialogs/dialog102.json"), UiLanguage::English);
        QVERIFY(layout);
        QFont font(layout->fontFamily);
        font.setPixelSize(layout->fontPixelSize);
        QCOMPARE(QFontInfo(font).family(), layout->fontFamily);
        const DialogUnits units = DialogUnits::forFont(font);
        QCOMPARE(units.baseX(), 6);
        QCOMPARE(units.baseY(), 13);
        QCOMPARE(makeWindow(2)->size(), QSize(726, 644));
    }

    void templateLoadsEveryControlOnce()
    {
        QString error;
        const std::optional<DialogTemplate> layout =
            DialogTemplate::load(QStringLiteral(":/dialogs/dialog102.json"), UiLanguage::German, &error);
        QVERIFY2(layout, qPrintable(error));
        QCOMPARE(layout->size, QSize(484, 396));
        const int numbered[] = {1, 9, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011,
                                1012, 1013, 1014, 1015, 1016, 1017, 1018, 1019, 1020, 1021, 1022, 1023,
                                1024, 1025, 1026, 1027, 1028, 1029, 1091, 1105, 1106, 1107, 1108, 1109,
                                1110, 1111};
        for (int id : numbered)
            QVERIFY2(layout->find(id), qPrintable(QString::number(id)));
        QCOMPARE(layout->rowStatusNames.size(), RowStatusCount);
    }

    void everyControlIsNamedAfterItsPurposeAndClass()
    {
        const auto window = makeWindow(0);
        int numbered = 0;
        for (QWidget *widget : window->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
            const QVariant id = widget->property(DialogBuilder::ControlIdProperty);
            if (!id.isValid())
                continue;
            // The project's own widgets (IconButton) are named after the Qt class they extend.
            const QMetaObject *qtClass = widget->metaObject();
            while (qtClass->superClass() && qtClass->className()[0] != 'Q')
                qtClass = qtClass->superClass();
            const QString className = QString::fromLatin1(qtClass->className()).mid(1);
            QVERIFY2(widget->objectName().endsWith(className) && widget->objectName().size() > className.size(),
                     qPrintable(widget->objectName()));
            if (id.toInt() != -1) {
                QCOMPARE(window->control(id.toInt()), widget);
                ++numbered;
            }
        }
        QCOMPARE(numbered, 39);
        QCOMPARE(window->control(4711), nullptr);
    }

    void missingTemplateIsReported()
    {
        QString error;
        QVERIFY(!DialogTemplate::load(QStringLiteral(":/dialogs/none.json"), UiLanguage::English, &error));
        QVERIFY(!error.isEmpty());
    }

    void controlsStandWhereTheTemplatePutsThem_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("id");
        QTest::addColumn<QRect>("dialogUnits");
        const int en = int(UiLanguage::English);
        const int de = int(UiLanguage::German);
        QTest::newRow("list") << en << 1108 << QRect(7, 21, 469, 114);
        QTest::newRow("refresh") << en << 9 << QRect(105, 155, 274, 21);
        QTest::newRow("set configuration") << en << 1 << QRect(105, 370, 274, 21);
        QTest::newRow("status line") << en << 1091 << QRect(7, 349, 470, 16);
        QTest::newRow("progress bar") << en << 1009 << QRect(325, 349, 152, 16);
        QTest::newRow("MAC edit") << en << 1105 << QRect(196, 188, 86, 12);
        QTest::newRow("mask hint") << en << 1005 << QRect(292, 302, 152, 12);
        QTest::newRow("export en") << en << 1011 << QRect(67, 3, 74, 14);
        QTest::newRow("password en") << en << 1014 << QRect(295, 3, 74, 14);
        QTest::newRow("password status en") << en << 1016 << QRect(374, 6, 101, 8);
        QTest::newRow("export de") << de << 1011 << QRect(82, 3, 74, 14);
        QTest::newRow("reset de") << de << 1029 << QRect(158, 3, 74, 14);
        QTest::newRow("broadcast de") << de << 1019 << QRect(234, 3, 74, 14);
        QTest::newRow("password de") << de << 1014 << QRect(310, 3, 74, 14);
        QTest::newRow("password status de") << de << 1016 << QRect(388, 6, 94, 8);
    }
    void controlsStandWhereTheTemplatePutsThem()
    {
        QFETCH(int, language);
        QFETCH(int, id);
        QFETCH(QRect, dialogUnits);
        const auto window = makeWindow(2, UiLanguage(language));
        // In the dialog units of the font in use (6 x 13 pixels for the
        // designed font: x * 6 / 4, y * 13 / 8).
        const DialogUnits units = DialogUnits::forFont(window->font());
        QCOMPARE(window->size(), units.toPixels(QSize(484, 396)));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        QWidget *widget = window->control(id);
        QVERIFY(widget);
        QCOMPARE(widget->property(DialogBuilder::ControlIdProperty).toInt(), id);
        QCOMPARE(widget->geometry(), units.toPixels(dialogUnits));
    }

    void labelsShowTheirWholeTextWithoutOverlapping_data()
    {
        QTest::addColumn<int>("language");
        QTest::newRow("English") << int(UiLanguage::English);
        QTest::newRow("German") << int(UiLanguage::German);
    }
    void labelsShowTheirWholeTextWithoutOverlapping()
    {
        QFETCH(int, language);
        const auto window = makeWindow(0, UiLanguage(language));
        window->setProtectionFlag(1);
        window->UpdatePasswordStatus();
        QList<QWidget *> controls;
        for (QWidget *widget : window->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
            const bool container = qobject_cast<QFrame *>(widget) && !qobject_cast<QLabel *>(widget);
            if (!container && widget->property(DialogBuilder::ControlIdProperty).isValid())
                controls.append(widget);
        }
        for (QWidget *widget : std::as_const(controls)) {
            auto *label = qobject_cast<QLabel *>(widget);
            if (!label || label->wordWrap() || label->text().isEmpty())
                continue;
            const QRect place = label->property(DialogBuilder::TemplateGeometryProperty).toRect();
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                     qPrintable(label->objectName()));
            // The edge the text is aligned to stays where the layout put it.
            if (label->alignment() & Qt::AlignRight)
                QCOMPARE(label->geometry().right(), place.right());
            else if (label->alignment() & Qt::AlignLeft)
                QCOMPARE(label->geometry().left(), place.left());
            for (QWidget *other : std::as_const(controls)) {
                const QSet<QString> statusPair{u"statusLineLabel"_s, u"waitProgressBar"_s};
                if (other == widget || (statusPair.contains(widget->objectName()) && statusPair.contains(other->objectName())))
                    continue;
                QVERIFY2(!label->geometry().intersects(other->geometry()),
                         qPrintable(label->objectName() + u" overlaps "_s + other->objectName()));
            }
        }
    }

    void captionsInBothLanguages_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("german");
        QTest::newRow("refresh") << 9 << "Refresh list" << "Liste auffrischen";
        QTest::newRow("set configuration") << 1 << "Set configuration" << "Konfiguration setzen";
        QTest::newRow("export") << 1011 << "Export list" << "Export Liste";
        QTest::newRow("password") << 1014 << "Password" << "Passwortschutz";
        QTest::newRow("broadcast") << 1019 << "Broadcast addr." << "Broadcast Adr.";
        QTest::newRow("reset") << 1029 << "Reset IP-Adr." << "Reset IP-Adr.";
        QTest::newRow("OEM box") << 1013 << "Set Orvano OEM" << "Orvano OEM Kennung setzen";
        QTest::newRow("mode label") << 1006 << "Communication mode:" << "Kommunikationsmodus:";
        QTest::newRow("flow label") << 1025 << "Flow Control:" << "Flußsteuerung:";
        QTest::newRow("mask hint") << 1005 << "All allowed=0.0.0.0" << "Alles erlaubt=0.0.0.0";
        QTest::newRow("mode description") << 1010 << "Clients connect by TCP to the IP-GW"
                                          << "Clients verbinden per TCP auf das IP-GW";
        QTest::newRow("remote label, TCP server") << 1002 << "Allowed remote IP address:"
                                                  << "Erlaubte Remote IP-Adresse:";
        QTest::newRow("password status") << 1016 << "Password protection not active"
                                         << "Passwortschutz nicht aktiv";
    }
    void captionsInBothLanguages()
    {
        QFETCH(int, id);
        QFETCH(QString, english);
        QFETCH(QString, german);
        QCOMPARE(textOf(makeWindow(2, UiLanguage::English)->control(id)), english);
        QCOMPARE(textOf(makeWindow(2, UiLanguage::German)->control(id)), german);
    }

    void legendAndListHeadersFollowTheLanguage()
    {
        const auto window = makeWindow(2, UiLanguage::German);
        auto *legend = window->findChild<QLabel *>(QStringLiteral("unknownTypeLegendLabel"));
        QVERIFY(legend);
        QCOMPARE(legend->text(), QStringLiteral("= Unbekannter GW Typ"));
        auto *list = qobject_cast<QTreeView *>(window->control(Control::GatewayList));
        QCOMPARE(list->model()->headerData(13, Qt::Horizontal).toString(), QStringLiteral("Flußsteuerung"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Orvano IP-Gateway Konfiguration"));
    }

    void listColumnsAndBehaviour()
    {
        const auto window = makeWindow(0);
        auto *list = qobject_cast<QTreeView *>(window->control(Control::GatewayList));
        QVERIFY(list);
        // Pixels for a font of 6-pixel base units, scaled to the font in use;
        // the type column widens at the cost of the remote and mask columns.
        const int widths[] = {127, 110, 110, 75, 50, 110, 110, 0, 0, 0, 0, 0, 0, 0};
        const int baseX = DialogUnits::forFont(window->font()).baseX();
        QCOMPARE(list->model()->columnCount(), 14);
        int total = 0;
        for (int column = 0; column < 14; ++column) {
            const int scaled = DialogUnits::mulDiv(widths[column], baseX, 6);
            const int width = list->header()->sectionSize(column);
            total += width - scaled;
            if (column == 0)
                QVERIFY(width >= scaled);
            else if (column == 5 || column == 6)
                QVERIFY(width <= scaled);
            else
                QCOMPARE(width, scaled);
        }
        QCOMPARE(total, 0);
        QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
        QVERIFY(!list->isSortingEnabled());
        QVERIFY(!list->header()->sectionsClickable());
        QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(list->palette().color(QPalette::Inactive, QPalette::Highlight),
                 list->palette().color(QPalette::Active, QPalette::Highlight));
    }

    // The rows of the demo's gateways (sim/demo-gateways.json) as the replies
    // fill them: no visible cell or header is cut short, in either language.
    void demoRowsShowWholeInEveryColumn_data()
    {
        QTest::addColumn<int>("language");
        QTest::newRow("English") << int(UiLanguage::English);
        QTest::newRow("German") << int(UiLanguage::German);
    }
    void demoRowsShowWholeInEveryColumn()
    {
        QFETCH(int, language);
        const auto window = makeWindow(0, UiLanguage(language));
        struct Row
        {
            quint32 type;
            QString ip;
            int mode;
            QString port, remote, mask;
        };
        const QList<Row> rows{
            {0x00010001, u"198.18.0.10"_s, 0, u"10002"_s, u"0.0.0.0"_s, u"0.0.0.0"_s},
            {0x00000001, u"198.18.0.11"_s, 1, u"10001"_s, u"198.18.0.1"_s, QString()},
            {0x00020001, u"198.18.0.12 (DHCP)"_s, 0, u"10001"_s, u"0.0.0.0"_s, u"0.0.0.0"_s},
            {0x00000003, u"198.18.0.13"_s, -1, QString(), QString(), QString()},
            {0x00030001, u"198.18.0.14"_s, 2, u"10003"_s, u"198.18.0.1"_s, u"0.0.0.0"_s},
            {0x00030002, u"198.18.0.15"_s, 0, u"4001"_s, u"0.0.0.0"_s, u"0.0.0.0"_s},
            {0, u"198.18.0.16"_s, -1, QString(), QString(), QString()},
        };
        GatewayList &list = window->gatewayList();
        for (const Row &row : rows) {
            const int index = list.appendRow();
            const std::optional<DeviceType> type = findDeviceType(row.type);
            list.setCellText(index, GatewayList::TypeColumn, type ? loadString(type->nameString) : u"???"_s);
            list.setCellText(index, GatewayList::IpAddressColumn, row.ip);
            list.setCellText(index, GatewayList::MacAddressColumn,
                             u"00-50-C2-4A-00-%1"_s.arg(index + 10, 2, 16, QLatin1Char('0')).toUpper());
            if (row.mode >= 0)
                list.setCellText(index, GatewayList::ModeColumn, loadString(StringBase::ModeName + row.mode));
            list.setCellText(index, GatewayList::PortColumn, row.port);
            list.setCellText(index, GatewayList::RemoteIpColumn, row.remote);
            list.setCellText(index, GatewayList::IpMaskColumn, row.mask);
            list.setRowStatus(index, RowStatus(index % RowStatusCount));
        }
        auto *view = qobject_cast<QTreeView *>(window->control(1108));
        QHeaderView *header = view->header();
        QStyleOptionViewItem option;
        option.initFrom(view);
        option.font = view->font();
        option.decorationSize = view->iconSize();
        for (int column = 0; column < GatewayList::FirmwareColumn; ++column) {
            const int width = header->sectionSize(column);
            QVERIFY2(header->sectionSizeHint(column) <= width, qPrintable(QString::number(column)));
            for (int row = 0; row < rows.size(); ++row) {
                const QModelIndex index = view->model()->index(row, column);
                // The room the delegate asks for: text, picture and margins.
                QVERIFY2(view->itemDelegateForIndex(index)->sizeHint(option, index).width() <= width,
                         qPrintable(index.data().toString()));
            }
        }
        // Every visible column fits into the list beside the others.
        QVERIFY(header->length() <= view->contentsRect().width());
    }

    void tabOrderFollowsTheTemplate()
    {
        const auto window = makeWindow(0);
        const QList<int> expected{1011, 1029, 1019, 1014, 1108, 9, 1105, 1106, 1111, 1020, 1001,
                                  1107, 1109, 1110, 1015, 1018, 1022, 1026, 1024, 1, 1013, 1012};
        QList<int> order;
        QWidget *widget = window->control(Control::ExportButton);
        for (int guard = 0; guard < 200 && order.size() < expected.size(); ++guard) {
            if (widget->focusPolicy() & Qt::TabFocus)
                order.append(widget->property(DialogBuilder::ControlIdProperty).toInt());
            widget = widget->nextInFocusChain();
        }
        QCOMPARE(order, expected);
        // Statics and the progress bar never take the focus.
        QCOMPARE(window->control(Control::StatusLine)->focusPolicy(), Qt::NoFocus);
        QCOMPARE(window->control(Control::ProgressBar)->focusPolicy(), Qt::NoFocus);
    }

    void everyFieldIsNamedByItsLabel_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("description");
        QTest::newRow("MAC") << 1105 << "MAC address of the Gateway:" << "";
        QTest::newRow("IP") << 1106 << "IP address of the Gateway:" << "empty=DHCP";
        QTest::newRow("mask") << 1111 << "Subnet-Mask:" << "empty=Auto";
        QTest::newRow("default gateway") << 1020 << "IP address Default-GW:" << "empty=No Def-GW";
        QTest::newRow("mode") << 1001 << "Communication mode:" << "Clients connect by TCP to the IP-GW";
        QTest::newRow("port") << 1107 << "Network port:" << "Default=10001 / 10002 (Pelion)";
        QTest::newRow("remote") << 1109 << "Allowed remote IP address:" << "BC=255.255.255.255";
        QTest::newRow("allowed mask") << 1110 << "Mask of allowed IP addresses:" << "All allowed=0.0.0.0";
        QTest::newRow("baud rate") << 1015 << "Baud rate:" << "";
        QTest::newRow("data bits") << 1018 << "Data bits:" << "";
        QTest::newRow("stop bits") << 1022 << "Stop bits:" << "";
        QTest::newRow("parity") << 1026 << "Parity:" << "";
        QTest::newRow("flow control") << 1024 << "Flow Control:" << "";
        QTest::newRow("OEM type") << 1012 << "OEM device type" << "";
        QTest::newRow("list") << 1108 << "Gateways:" << "";
        QTest::newRow("progress") << 1009 << "Progress" << "";
        QTest::newRow("refresh") << 9 << "Refresh list" << "";
        QTest::newRow("OEM box") << 1013 << "Set Orvano OEM" << "";
    }
    void everyFieldIsNamedByItsLabel()
    {
        QFETCH(int, id);
        QFETCH(QString, name);
        QFETCH(QString, description);
        const auto window = makeWindow(0);
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(window->control(id));
        QVERIFY(accessible);
        // A combo box's name is its current entry on this platform; its label
        // reaches the assistive tools through the labelled-by relation.
        // A combo box without a label keeps its name for the platforms that
        // use it.
        const auto labels = accessible->relations(QAccessible::Label);
        if (!qobject_cast<QComboBox *>(window->control(id)))
            QCOMPARE(accessible->text(QAccessible::Name), name);
        else if (!labels.isEmpty())
            QCOMPARE(labels.first().first->text(QAccessible::Name), name);
        else
            QCOMPARE(window->control(id)->accessibleName(), name);
        if (!description.isEmpty())
            QCOMPARE(accessible->text(QAccessible::Description), description);
    }

    void remoteFieldNameFollowsTheModeLabel()
    {
        const auto window = makeWindow(2);
        auto *mode = qobject_cast<QComboBox *>(window->control(Control::ModeCombo));
        mode->setCurrentIndex(1);
        window->OnModeChanged();
        QCOMPARE(window->control(Control::RemoteAddressEdit)->accessibleName(), QStringLiteral("Remote connection IP address:"));
    }

    void initialEditorState_data()
    {
        QTest::addColumn<int>("variant");
        QTest::addColumn<QStringList>("modes");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("portHint");
        QTest::addColumn<bool>("oemShown");
        QTest::addColumn<bool>("maskRowShown");
        QTest::addColumn<QString>("title");
        const QStringList four{u"TCP-Server"_s, u"TCP-Client"_s, u"UDP Active"_s, u"UDP Passive"_s};
        const QString server = QStringLiteral("Clients connect by TCP to the IP-GW");
        QTest::newRow("0 admin") << 0 << four << 0 << server << "Default=10001 / 10002 (Pelion)" << true
                                 << true << "Orvano IP-Gateway Admin";
        QTest::newRow("1 PLN") << 1 << QStringList{u"TCP-Server"_s} << 0 << server << "Default=10002" << false
                               << true << "PLN EIB IP Gateway Configuration";
        QTest::newRow("2 configuration") << 2 << four << 0 << server << "Default=10001" << false << true
                                         << "Orvano IP-Gateway Configuration";
        QTest::newRow("5 scan") << 5 << four << 2 << "" << "Default=10001" << false << false
                                << "Vantor Scan Gateway Configuration";
        QTest::newRow("6 serial") << 6 << four << 0 << server << "Default=10001" << false << true
                                  << "Vantor Serial Gateway Configuration";
    }
    void initialEditorState()
    {
        QFETCH(int, variant);
        QFETCH(QStringList, modes);
        QFETCH(int, mode);
        QFETCH(QString, description);
        QFETCH(QString, portHint);
        QFETCH(bool, oemShown);
        QFETCH(bool, maskRowShown);
        QFETCH(QString, title);
        const auto window = makeWindow(variant);
        auto *modeBox = qobject_cast<QComboBox *>(window->control(Control::ModeCombo));
        QCOMPARE(entries(modeBox), modes);
        QCOMPARE(modeBox->currentIndex(), mode);
        QCOMPARE(textOf(window->control(Control::ModeDescription)), description);
        QCOMPARE(textOf(window->control(Control::PortHint)), portHint);
        QCOMPARE(window->windowTitle(), title);
        QCOMPARE(window->control(Control::OemTypeCombo)->isVisibleTo(window.get()), oemShown);
        QCOMPARE(window->control(Control::SetOemCheck)->isVisibleTo(window.get()), oemShown);
        for (int id : {1004, 1110, 1005})
            QCOMPARE(window->control(id)->isVisibleTo(window.get()), maskRowShown);
        for (int id : {1002, 1109, 1006, 1001, 1007, 1107, 1008})
            QVERIFY2(window->control(id)->isVisibleTo(window.get()), qPrintable(QString::number(id)));
        QVERIFY(!window->control(Control::RemoteAddressHint)->isVisibleTo(window.get()));
        for (int id : {1105, 1106, 1111, 1020, 1001, 1107, 1110, 1109})
            QVERIFY2(!window->control(id)->isEnabledTo(window.get()), qPrintable(QString::number(id)));
        for (int id : {1105, 1106, 1111, 1020, 1107, 1110, 1109})
            QVERIFY(qobject_cast<QLineEdit *>(window->control(id))->text().isEmpty());
        for (int id : {1015, 1018, 1022, 1026, 1024, 1017, 1021, 1023, 1027, 1025, 1028})
            QVERIFY2(!window->control(id)->isVisibleTo(window.get()), qPrintable(QString::number(id)));
        for (int id : {1015, 1018, 1022, 1026, 1024}) {
            auto *box = qobject_cast<QComboBox *>(window->control(id));
            QCOMPARE(box->currentIndex(), -1);
            QVERIFY(box->count() > 0);
        }
        QVERIFY(!window->control(Control::ProgressBar)->isVisibleTo(window.get()));
        QVERIFY(!window->control(Control::ExportButton)->isVisibleTo(window.get()));
        QCOMPARE(textOf(window->control(Control::StatusLine)), QString());
    }

    void oemComboListsTheTypesInCodeOrder()
    {
        const auto window = makeWindow(0);
        auto *oem = qobject_cast<QComboBox *>(window->control(Control::OemTypeCombo));
        QCOMPARE(entries(oem), (QStringList{u"00 00 00 01 (Vantor EIB Gateway)"_s, u"00 00 00 03 (Vantor Zone Unit)"_s,
                                            u"00 01 00 01 (PLN KNX IP Gateway)"_s,
                                            u"00 02 00 01 (Vantor EnOcean Gateway)"_s,
                                            u"00 03 00 01 (Vantor Scan Gateway)"_s,
                                            u"00 03 00 02 (Vantor Serial Gateway)"_s}));
        QCOMPARE(oem->currentIndex(), 0);
    }

    void serialCombosHoldTheirEntriesInTheLanguage()
    {
        const auto window = makeWindow(6, UiLanguage::German);
        QCOMPARE(entries(qobject_cast<QComboBox *>(window->control(Control::ParityCombo))),
                 (QStringList{u"N (keine)"_s, u"E (gerade)"_s, u"O (ungerade)"_s}));
        QCOMPARE(qobject_cast<QComboBox *>(window->control(Control::BaudRateCombo))->count(), 13);
    }

    void modeChangeLaysOutTheRows_data()
    {
        QTest::addColumn<int>("variant");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("maskRow");
        QTest::addColumn<QString>("remoteLabel");
        QTest::addColumn<QString>("description");
        QTest::newRow("server") << 2 << 0 << true << "Allowed remote IP address:"
                                << "Clients connect by TCP to the IP-GW";
        QTest::newRow("client") << 2 << 1 << false << "Remote connection IP address:"
                                << "IP-GW connects by TCP to a server";
        QTest::newRow("UDP active") << 2 << 2 << true << "Remote connection IP address:"
                                    << "IP-GW sends by UDP value telegrams";
        QTest::newRow("UDP passive") << 2 << 3 << true << "Allowed remote IP address:"
                                     << "IP-GW does not send value telegrams";
        QTest::newRow("no selection counts as server") << 2 << -1 << true << "Allowed remote IP address:"
                                                       << "Clients connect by TCP to the IP-GW";
        QTest::newRow("scan variant, server") << 5 << 0 << false << "Allowed remote IP address:" << "";
        QTest::newRow("scan variant, UDP active") << 5 << 2 << false << "Remote connection IP address:" << "";
    }
    void modeChangeLaysOutTheRows()
    {
        QFETCH(int, variant);
        QFETCH(int, mode);
        QFETCH(bool, maskRow);
        QFETCH(QString, remoteLabel);
        QFETCH(QString, description);
        const auto window = makeWindow(variant);
        qobject_cast<QComboBox *>(window->control(Control::ModeCombo))->setCurrentIndex(mode);
        window->OnModeChanged();
        for (int id : {1004, 1110, 1005})
            QCOMPARE(window->control(id)->isVisibleTo(window.get()), maskRow);
        QVERIFY(window->control(Control::RemoteAddressEdit)->isVisibleTo(window.get()));
        QVERIFY(!window->control(Control::RemoteAddressHint)->isVisibleTo(window.get()));
        QCOMPARE(textOf(window->control(Control::RemoteAddressLabel)), remoteLabel);
        QCOMPARE(textOf(window->control(Control::ModeDescription)), description);
    }

    void passwordStatusFollowsTheFlag()
    {
        const auto window = makeWindow(2);
        window->setProtectionFlag(1);
        window->UpdatePasswordStatus();
        QCOMPARE(textOf(window->control(Control::PasswordStatusLabel)), QStringLiteral("Password protection active"));
        window->setProtectionFlag(0);
        window->UpdatePasswordStatus();
        QCOMPARE(textOf(window->control(Control::PasswordStatusLabel)), QStringLiteral("Password protection not active"));
    }

    void editorContentsReadTheControls()
    {
        const auto window = makeWindow(0);
        qobject_cast<QLineEdit *>(window->control(Control::PortEdit))->setText(QStringLiteral("10001"));
        qobject_cast<QLineEdit *>(window->control(Control::SubnetMaskEdit))->setText(QStringLiteral("255.255.0.0"));
        qobject_cast<QComboBox *>(window->control(Control::BaudRateCombo))->setCurrentIndex(5);
        qobject_cast<QComboBox *>(window->control(Control::ModeCombo))->setCurrentIndex(3);
        const EditorContents contents = window->editorContents();
        QCOMPARE(contents.portText, QStringLiteral("10001"));
        QCOMPARE(contents.subnetMaskText, QStringLiteral("255.255.0.0"));
        QCOMPARE(contents.baudRateText, QStringLiteral("9600"));
        QCOMPARE(contents.modeIndex, 3);
        QCOMPARE(contents.parityIndex, -1);
        QCOMPARE(contents.oemTypeText, QStringLiteral("00 00 00 01 (Vantor EIB Gateway)"));
    }

    void statusImagesAreDistinct()
    {
        QList<QImage> images;
        for (int status = 0; status < RowStatusCount; ++status) {
            const QImage image = Artwork::statusImage(status).toImage();
            QCOMPARE(image.size(), QSize(16, 15));
            for (const QImage &earlier : std::as_const(images))
                QVERIFY2(image != earlier, qPrintable(QString::number(status)));
            images.append(image);
        }
        QVERIFY(Artwork::statusImage(RowStatusCount).toImage() != images.at(0));
    }

    void buttonIconsAreDistinctAndTheBusyOnesGrey()
    {
        const int numbers[] = {128, 133, 134, 135, 136, 137, 139, 150, 153};
        QList<QImage> images;
        for (int number : numbers) {
            const QImage image = Artwork::iconImage(number, 32);
            QVERIFY2(!image.isNull(), qPrintable(QString::number(number)));
            for (const QImage &earlier : std::as_const(images))
                QVERIFY2(image != earlier, qPrintable(QString::number(number)));
            images.append(image);
        }
        QVERIFY(Artwork::iconImage(140, 32).isNull());
        for (int grey : {135, 136}) {
            const QImage image = Artwork::iconImage(grey, 32).convertToFormat(QImage::Format_ARGB32);
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QRgb pixel = image.pixel(x, y);
                    QVERIFY(qRed(pixel) == qGreen(pixel) && qGreen(pixel) == qBlue(pixel));
                }
            }
        }
    }

    // The three dialogs of the top buttons, laid out from their templates in
    // both languages: size, title, a sample control's place and text, and
    // every text shown whole without running into another control.
    void auxiliaryDialogsShowTheirTextsWhole_data()
    {
        QTest::addColumn<int>("templateId");
        QTest::addColumn<int>("language");
        QTest::addColumn<QSize>("dialogUnits");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("sample");
        QTest::addColumn<QRect>("sampleUnits");
        QTest::addColumn<QString>("sampleText");
        const int en = int(UiLanguage::English);
        const int de = int(UiLanguage::German);
        // The English password dialog carries the German caption.
        QTest::newRow("password en") << 140 << en << QSize(378, 129) << u"Passwort Einstellung..."_s
                                     << u"enableProtectionCheckBox"_s << QRect(30, 86, 228, 10)
                                     << u"Enable password protection with the following password:"_s;
        QTest::newRow("password de") << 140 << de << QSize(378, 129) << u"Passwort Einstellung..."_s
                                     << u"cancelPushButton"_s << QRect(321, 29, 50, 18) << u"Abbruch"_s;
        QTest::newRow("broadcast en") << 149 << en << QSize(283, 97) << u"Broadcast address"_s
                                      << u"okPushButton"_s << QRect(226, 7, 50, 14) << u"OK"_s;
        QTest::newRow("broadcast de") << 149 << de << QSize(283, 97) << u"Broadcast Adresse"_s
                                      << u"cancelPushButton"_s << QRect(226, 29, 50, 18) << u"Abbruch"_s;
        QTest::newRow("reset en") << 152 << en << QSize(291, 114) << u"Reset IP address"_s
                                  << u"macAddressLabel"_s << QRect(15, 76, 120, 8)
                                  << u"Device MAC address: XX-XX-XX-XX-"_s;
        // The German caption ends in a blank.
        QTest::newRow("reset de") << 152 << de << QSize(291, 114) << u"Rücksetzen der IP Adresse "_s
                                  << u"situationExplanationLabel"_s << QRect(5, 7, 219, 26)
                                  << u"Falls ein Gateway mit einer unbekannten IP-Adresse ausserhalb des eigenen "
                                     "Netzwerk-Bereichs versehen wurde, so wird dieses u.U. nicht in der Gateway "
                                     "Liste angezeigt."_s;
    }
    void auxiliaryDialogsShowTheirTextsWhole()
    {
        QFETCH(int, templateId);
        QFETCH(int, language);
        QFETCH(QSize, dialogUnits);
        QFETCH(QString, title);
        QFETCH(QString, sample);
        QFETCH(QRect, sampleUnits);
        QFETCH(QString, sampleText);
        StringTable::setCurrentLanguage(UiLanguage(language));
        std::unique_ptr<QDialog> dialog;
        if (templateId == 140)
            dialog = std::make_unique<PasswordSettingsDialog>();
        else if (templateId == 149)
            dialog = std::make_unique<BroadcastAddressDialog>(QString(), nullptr);
        else
            dialog = std::make_unique<ResetIpDialog>(QStringList());
        const DialogUnits units(6, 13);
        QCOMPARE(dialog->windowTitle(), title);
        QCOMPARE(dialog->size(), units.toPixels(dialogUnits));
        QWidget *sampleWidget = dialog->findChild<QWidget *>(sample);
        QVERIFY(sampleWidget);
        QCOMPARE(sampleWidget->geometry(), units.toPixels(sampleUnits));
        QCOMPARE(textOf(sampleWidget).isEmpty() ? qobject_cast<QCheckBox *>(sampleWidget)->text()
                                                : textOf(sampleWidget),
                 sampleText);

        const QList<QWidget *> controls = dialog->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
        for (QWidget *widget : controls) {
            const QString name = widget->objectName();
            if (auto *label = qobject_cast<QLabel *>(widget)) {
                if (label->wordWrap())
                    QVERIFY2(label->heightForWidth(label->width()) <= label->height(), qPrintable(name));
                else
                    QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(), qPrintable(name));
            } else if (auto *box = qobject_cast<QCheckBox *>(widget)) {
                QVERIFY2(box->sizeHint().width() <= box->width(), qPrintable(name));
            } else if (auto *button = qobject_cast<QPushButton *>(widget)) {
                QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) + 8 <= button->width(),
                         qPrintable(name));
            } else {
                continue;
            }
            for (QWidget *other : controls) {
                QVERIFY2(other == widget || !widget->geometry().intersects(other->geometry()),
                         qPrintable(name + u" overlaps "_s + other->objectName()));
            }
        }
    }

    void sixButtonsAreRaisedIconButtonsWithTheirIcons()
    {
        const auto window = makeWindow(0);
        const std::pair<Control, int> expected[] = {
            {Control::RefreshButton, 134}, {Control::SetConfigurationButton, 133}, {Control::ExportButton, 137},
            {Control::PasswordButton, 139}, {Control::BroadcastButton, 150}, {Control::ResetIpButton, 153}};
        for (const auto &[id, icon] : expected) {
            const auto *button = qobject_cast<IconButton *>(window->control(id));
            QVERIFY2(button, qPrintable(QString::number(controlNumber(id))));
            QCOMPARE(button->iconNumber(), icon);
            QVERIFY(!button->isFlatLook());
        }
        QVERIFY(qobject_cast<QPushButton *>(window->control(Control::SetConfigurationButton))->isDefault());
    }
};

QTEST_MAIN(TestMainWindowLayout)
#include "TestMainWindowLayout.moc"
