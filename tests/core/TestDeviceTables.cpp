#include "DeviceTables.h"
#include "StringTable.h"

#include <QTest>

#include <algorithm>

class TestDeviceTables : public QObject
{
    Q_OBJECT

private slots:
    void findDeviceType_data()
    {
        QTest::addColumn<quint32>("code");
        QTest::addColumn<bool>("known");
        QTest::addColumn<QString>("name");
        QTest::addColumn<quint32>("mask");
        QTest::newRow("EIB") << 0x00000001u << true << QStringLiteral("Vantor EIB Gateway") << 0x0Fu;
        QTest::newRow("EnOcean") << 0x00020001u << true << QStringLiteral("Vantor EnOcean Gateway") << 0x08u;
        QTest::newRow("zone unit") << 0x00000003u << true << QStringLiteral("Vantor Zone Unit") << 0x08u;
        QTest::newRow("PLN KNX") << 0x00010001u << true << QStringLiteral("PLN KNX IP Gateway") << 0x08u;
        QTest::newRow("scan") << 0x00030001u << true << QStringLiteral("Vantor Scan Gateway") << 0x02u;
        QTest::newRow("serial") << 0x00030002u << true << QStringLiteral("Vantor Serial Gateway") << 0x0Au;
        QTest::newRow("type 2 is in no row") << 0x00000002u << false << QString() << 0u;
        QTest::newRow("zero") << 0x00000000u << false << QString() << 0u;
        QTest::newRow("byte-swapped EnOcean") << 0x01000200u << false << QString() << 0u;
        QTest::newRow("all ones") << 0xFFFFFFFFu << false << QString() << 0u;
    }

    void findDeviceType()
    {
        QFETCH(quint32, code);
        QFETCH(bool, known);
        QFETCH(QString, name);
        QFETCH(quint32, mask);
        const auto type = ::findDeviceType(code);
        QCOMPARE(type.has_value(), known);
        if (!known)
            return;
        QCOMPARE(type->typeCode, code);
        QCOMPARE(StringTable::text(type->nameString, UiLanguage::English), name);
        QCOMPARE(StringTable::text(type->nameString, UiLanguage::German), name);
        QCOMPARE(type->allowedModesMask, mask);
    }

    void modeBit_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<quint32>("bit");
        QTest::newRow("no selection") << -1 << 0u;
        QTest::newRow("TCP-Server") << 0 << 0x08u;
        QTest::newRow("TCP-Client") << 1 << 0x04u;
        QTest::newRow("UDP Active") << 2 << 0x02u;
        QTest::newRow("UDP Passive") << 3 << 0x01u;
        QTest::newRow("past the last mode") << 4 << 0u;
        QTest::newRow("far out") << 40 << 0u;
        QTest::newRow("very negative") << -100 << 0u;
    }

    void modeBit()
    {
        QFETCH(int, mode);
        QFETCH(quint32, bit);
        QCOMPARE(::modeBit(mode), bit);
    }

    void modeAllowedForType_data()
    {
        QTest::addColumn<quint32>("code");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("serial refuses TCP-Client") << SerialGatewayType << 1 << false;
        QTest::newRow("serial takes UDP Active") << SerialGatewayType << 2 << true;
        QTest::newRow("serial takes TCP-Server") << SerialGatewayType << 0 << true;
        QTest::newRow("scan takes only UDP Active") << ScanGatewayType << 0 << false;
        QTest::newRow("EIB takes UDP Passive") << 0x00000001u << 3 << true;
        QTest::newRow("EnOcean refuses UDP Passive") << EnOceanGatewayType << 3 << false;
        QTest::newRow("no selection is never allowed") << 0x00000001u << -1 << false;
    }

    void modeAllowedForType()
    {
        QFETCH(quint32, code);
        QFETCH(int, mode);
        QFETCH(bool, allowed);
        const auto type = ::findDeviceType(code);
        QVERIFY(type);
        QCOMPARE((type->allowedModesMask & ::modeBit(mode)) != 0, allowed);
    }

    void oemEntryText_data()
    {
        QTest::addColumn<quint32>("code");
        QTest::addColumn<QString>("entry");
        QTest::newRow("EIB") << 0x00000001u << QStringLiteral("00 00 00 01 (Vantor EIB Gateway)");
        QTest::newRow("EnOcean") << 0x00020001u << QStringLiteral("00 02 00 01 (Vantor EnOcean Gateway)");
        QTest::newRow("zone unit") << 0x00000003u << QStringLiteral("00 00 00 03 (Vantor Zone Unit)");
        QTest::newRow("PLN KNX") << 0x00010001u << QStringLiteral("00 01 00 01 (PLN KNX IP Gateway)");
        QTest::newRow("scan") << 0x00030001u << QStringLiteral("00 03 00 01 (Vantor Scan Gateway)");
        QTest::newRow("serial") << 0x00030002u << QStringLiteral("00 03 00 02 (Vantor Serial Gateway)");
    }

    void oemEntryText()
    {
        QFETCH(quint32, code);
        QFETCH(QString, entry);
        const auto type = ::findDeviceType(code);
        QVERIFY(type);
        QCOMPARE(::oemEntryText(*type), entry);
    }

    void oemEntryUsesLowerCaseHex()
    {
        const DeviceType made{0xABCDEF10u, 153, 0};
        QCOMPARE(::oemEntryText(made), QStringLiteral("ab cd ef 10 (Vantor EIB Gateway)"));
    }

    void oemEntriesSortByTypeCode()
    {
        // The combo box sorts by text; that order must be the type-code order.
        QStringList entries;
        std::vector<quint32> codes;
        for (const DeviceType &type : DeviceTypeTable) {
            entries << ::oemEntryText(type);
            codes.push_back(type.typeCode);
        }
        entries.sort();
        std::sort(codes.begin(), codes.end());
        for (size_t i = 0; i < codes.size(); ++i)
            QCOMPARE(entries.at(qsizetype(i)), ::oemEntryText(*::findDeviceType(codes[i])));
        QCOMPARE(entries.first(), QStringLiteral("00 00 00 01 (Vantor EIB Gateway)"));
    }

    void variantTitles_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("german");
        QTest::newRow("0") << 0 << QStringLiteral("Orvano IP-Gateway Admin") << QStringLiteral("Orvano IP-Gateway Admin");
        QTest::newRow("1") << 1 << QStringLiteral("PLN EIB IP Gateway Configuration")
                           << QStringLiteral("PLN KNX IP Gateway Konfiguration");
        QTest::newRow("2") << 2 << QStringLiteral("Orvano IP-Gateway Configuration")
                           << QStringLiteral("Orvano IP-Gateway Konfiguration");
        QTest::newRow("3") << 3 << QStringLiteral("Vantor EnOcean Gateway Configuration")
                           << QStringLiteral("Vantor EnOcean Gateway Konfiguration");
        QTest::newRow("4") << 4 << QStringLiteral("Vantor Zone Unit IP Configuration")
                           << QStringLiteral("Vantor Zone Unit IP Konfiguration");
        QTest::newRow("5") << 5 << QStringLiteral("Vantor Scan Gateway Configuration")
                           << QStringLiteral("Vantor Scan Gateway Konfiguration");
        QTest::newRow("6") << 6 << QStringLiteral("Vantor Serial Gateway Configuration")
                           << QStringLiteral("Vantor Serial Gateway Konfiguration");
    }

    void variantTitles()
    {
        QFETCH(int, index);
        QFETCH(QString, english);
        QFETCH(QString, german);
        QCOMPARE(VariantTable[size_t(index)].variantIndex, index);
        QCOMPARE(StringTable::text(StringBase::WindowTitle + index, UiLanguage::English), english);
        QCOMPARE(StringTable::text(StringBase::WindowTitle + index, UiLanguage::German), german);
    }

    void typeFiltersNameKnownTypes()
    {
        for (const ProductVariant &variant : VariantTable) {
            if (variant.typeFilter != 0)
                QVERIFY2(::findDeviceType(variant.typeFilter), variant.executableName);
            QVERIFY(qstrlen(variant.executableName) <= 31);
        }
    }
};

QTEST_GUILESS_MAIN(TestDeviceTables)
#include "TestDeviceTables.moc"
