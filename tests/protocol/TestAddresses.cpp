#include "DeviceTables.h"
#include "Telegrams.h"

#include <QTest>

// Address texts are typed by users and read back from list columns; the
// readers must give the same values the gateways have always been given.
class TestAddresses : public QObject
{
    Q_OBJECT

private slots:
    void parseDottedAddress_data();
    void parseDottedAddress();
    void dottedAddressText();
    void macAddressFromText_data();
    void macAddressFromText();
    void hostBitsFromMask_data();
    void hostBitsFromMask();
    void maskFromHostBits_data();
    void maskFromHostBits();
    void subnetColumnText_data();
    void subnetColumnText();
    void parseSubnetColumn_data();
    void parseSubnetColumn();
    void subnetColumnRoundTrip();
    void parseOemTypeText_data();
    void parseOemTypeText();
    void oemEntriesReadBack();
    void passwordBytes_data();
    void passwordBytes();
};

void TestAddresses::parseDottedAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<quint32>("value");
    // Whether the value means what the text says (no part outside 0-255).
    QTest::addColumn<bool>("partsInRange");
    QTest::newRow("dotted quad") << QStringLiteral("192.168.1.10") << 0xC0A8010Au << true;
    QTest::newRow("two parts") << QStringLiteral("10.1") << 0x0A010000u << true;
    QTest::newRow("three parts") << QStringLiteral("1.2.3") << 0x01020300u << true;
    QTest::newRow("empty") << QString() << 0u << true;
    QTest::newRow("DHCP") << QStringLiteral("DHCP") << 0u << true;
    QTest::newRow("DHCP suffix") << QStringLiteral("192.168.1.10 (DHCP)") << 0xC0A8010Au << true;
    QTest::newRow("blanks before parts") << QStringLiteral(" 192.\t168 . 1.10") << 0xC0A8010Au << true;
    QTest::newRow("signs") << QStringLiteral("+10.-0.0.+1") << 0x0A000001u << true;
    QTest::newRow("fifth part ignored") << QStringLiteral("1.2.3.4.5") << 0x01020304u << true;
    QTest::newRow("256 spills into third octet by OR") << QStringLiteral("1.2.4.256") << 0x01020500u << false;
    QTest::newRow("65536 spills two octets") << QStringLiteral("0.0.1.65536") << 0x00010100u << false;
    QTest::newRow("negative last part sets all bits") << QStringLiteral("1.2.3.-1") << 0xFFFFFFFFu << false;
    QTest::newRow("bits above 31 lost") << QStringLiteral("300.0.0.0") << 0x2C000000u << false;
    QTest::newRow("overflow saturates") << QStringLiteral("99999999999.1.1.1") << 0xFF010101u << false;
    QTest::newRow("negative overflow saturates") << QStringLiteral("-99999999999") << 0u << false;
    QTest::newRow("digits end at letter") << QStringLiteral("1x.2") << 0x01020000u << true;
    QTest::newRow("empty part") << QStringLiteral("1..2") << 0x01000200u << true;
    QTest::newRow("leading word") << QStringLiteral("abc.1.2.3") << 0x00010203u << true;
}

void TestAddresses::parseDottedAddress()
{
    QFETCH(QString, text);
    QFETCH(quint32, value);
    QCOMPARE(ParseDottedAddress(text), value);
    QFETCH(bool, partsInRange);
    QCOMPARE(DottedAddressPartsInRange(text), partsInRange);
}

void TestAddresses::dottedAddressText()
{
    QCOMPARE(DottedAddressText(0xC0A8010Au), QStringLiteral("192.168.1.10"));
    QCOMPARE(DottedAddressText(0u), QStringLiteral("0.0.0.0"));
    QCOMPARE(DottedAddressText(0xFFFFFF00u), QStringLiteral("255.255.255.0"));
    const MacAddress mac{0x00, 0x50, 0xC2, 0x4A, 0x0B, 0xFF};
    QCOMPARE(MacAddressText(mac), QStringLiteral("00-50-C2-4A-0B-FF"));
}

void TestAddresses::macAddressFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("mac");
    QTest::newRow("plain") << QStringLiteral("0050C24A000A") << QByteArray::fromHex("0050c24a000a");
    QTest::newRow("list form") << QStringLiteral("00-50-c2-4a-00-0a") << QByteArray::fromHex("0050c24a000a");
    QTest::newRow("blanks") << QStringLiteral("00 50 C2 4A 00 0A") << QByteArray::fromHex("0050c24a000a");
    QTest::newRow("short") << QStringLiteral("00 50 C2") << QByteArray::fromHex("0050c2000000");
    QTest::newRow("pair ends at non-hex") << QStringLiteral("1G2345678901") << QByteArray::fromHex("012345678901");
    QTest::newRow("pair starts with non-hex") << QStringLiteral("G12345678901") << QByteArray::fromHex("002345678901");
    QTest::newRow("empty") << QString() << QByteArray(6, '\0');
}

void TestAddresses::macAddressFromText()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, mac);
    const MacAddress read = MacAddressFromText(text);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(read.data()), 6), mac);
}

void TestAddresses::hostBitsFromMask_data()
{
    QTest::addColumn<QString>("maskText");
    QTest::addColumn<int>("hostBits");
    QTest::newRow("/24") << QStringLiteral("255.255.255.0") << 8;
    QTest::newRow("/16") << QStringLiteral("255.255.0.0") << 16;
    QTest::newRow("/30") << QStringLiteral("255.255.255.252") << 2;
    QTest::newRow("/1") << QStringLiteral("128.0.0.0") << 31;
    QTest::newRow("/32") << QStringLiteral("255.255.255.255") << 0;
    QTest::newRow("not contiguous") << QStringLiteral("255.0.255.0") << 8;
    QTest::newRow("zero mask") << QStringLiteral("0.0.0.0") << 0;
    QTest::newRow("empty text") << QString() << 0;
}

void TestAddresses::hostBitsFromMask()
{
    QFETCH(QString, maskText);
    QFETCH(int, hostBits);
    QCOMPARE(HostBitsFromMask(ParseDottedAddress(maskText)), hostBits);
}

void TestAddresses::maskFromHostBits_data()
{
    QTest::addColumn<int>("hostBits");
    QTest::addColumn<quint32>("mask");
    QTest::newRow("8") << 8 << 0xFFFFFF00u;
    QTest::newRow("1") << 1 << 0xFFFFFFFEu;
    QTest::newRow("31") << 31 << 0x80000000u;
    QTest::newRow("0") << 0 << 0xFFFFFFFFu;
    QTest::newRow("negative") << -3 << 0xFFFFFFFFu;
    QTest::newRow("32") << 32 << 0u;
    QTest::newRow("40") << 40 << 0u;
}

void TestAddresses::maskFromHostBits()
{
    QFETCH(int, hostBits);
    QFETCH(quint32, mask);
    QCOMPARE(MaskFromHostBits(hostBits), mask);
}

void TestAddresses::subnetColumnText_data()
{
    QTest::addColumn<int>("hostBits");
    QTest::addColumn<QByteArray>("gateway");
    QTest::addColumn<QString>("text");
    QTest::newRow("with gateway") << 8 << QByteArray::fromHex("c0a80101")
                                  << QStringLiteral("Host-Bits: 8 / GW: 192.168.1.1");
    QTest::newRow("without gateway") << 8 << QByteArray(4, '\0') << QStringLiteral("Host-Bits: 8");
    QTest::newRow("DHCP with gateway") << 0 << QByteArray::fromHex("0a000001")
                                       << QStringLiteral("Host-Bits: 0 / GW: 10.0.0.1");
    QTest::newRow("only last octet") << 16 << QByteArray::fromHex("00000001")
                                     << QStringLiteral("Host-Bits: 16 / GW: 0.0.0.1");
}

void TestAddresses::subnetColumnText()
{
    QFETCH(int, hostBits);
    QFETCH(QByteArray, gateway);
    QFETCH(QString, text);
    std::array<quint8, 4> bytes{};
    for (int i = 0; i < 4; ++i)
        bytes[size_t(i)] = quint8(gateway.at(i));
    QCOMPARE(SubnetColumnText(hostBits, bytes), text);
}

void TestAddresses::parseSubnetColumn_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("maskText");
    QTest::addColumn<QString>("gatewayText");
    QTest::newRow("8 with gateway") << QStringLiteral("Host-Bits: 8 / GW: 192.168.1.1")
                                    << QStringLiteral("255.255.255.0") << QStringLiteral("192.168.1.1");
    QTest::newRow("16 with gateway") << QStringLiteral("Host-Bits: 16 / GW: 10.0.0.1")
                                     << QStringLiteral("255.255.0.0") << QStringLiteral("10.0.0.1");
    QTest::newRow("0 without gateway") << QStringLiteral("Host-Bits: 0") << QString() << QString();
    QTest::newRow("0 with gateway") << QStringLiteral("Host-Bits: 0 / GW: 1.2.3.4") << QString()
                                    << QStringLiteral("1.2.3.4");
    QTest::newRow("40 clears every bit") << QStringLiteral("Host-Bits: 40") << QStringLiteral("0.0.0.0")
                                         << QString();
    QTest::newRow("negative keeps every bit") << QStringLiteral("Host-Bits: -3")
                                              << QStringLiteral("255.255.255.255") << QString();
    QTest::newRow("empty") << QString() << QString() << QString();
    QTest::newRow("no colon") << QStringLiteral("Host-Bits 8") << QString() << QString();
    QTest::newRow("colon at the end") << QStringLiteral("Host-Bits: 8 / GW:")
                                      << QStringLiteral("255.255.255.0") << QString();
}

void TestAddresses::parseSubnetColumn()
{
    QFETCH(QString, text);
    QFETCH(QString, maskText);
    QFETCH(QString, gatewayText);
    const SubnetColumn column = ParseSubnetColumn(text);
    QCOMPARE(column.maskText, maskText);
    QCOMPARE(column.gatewayText, gatewayText);
}

void TestAddresses::subnetColumnRoundTrip()
{
    // What the list shows must be read back into the same network write.
    const std::array<quint8, 4> gateway{172, 16, 0, 254};
    for (int hostBits = 1; hostBits < 32; ++hostBits) {
        const SubnetColumn column = ParseSubnetColumn(SubnetColumnText(hostBits, gateway));
        QCOMPARE(HostBitsFromMask(ParseDottedAddress(column.maskText)), hostBits);
        QCOMPARE(column.gatewayText, QStringLiteral("172.16.0.254"));
    }
}

void TestAddresses::parseOemTypeText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<quint32>("typeCode");
    QTest::newRow("entry") << QStringLiteral("00 01 00 01 (PLN KNX IP Gateway)") << 0x00010001u;
    QTest::newRow("upper case") << QStringLiteral("00 03 00 0A (x)") << 0x0003000Au;
    QTest::newRow("empty") << QString() << 0u;
    QTest::newRow("no digits") << QStringLiteral("(Vantor)") << 0u;
    QTest::newRow("leading zeros beyond 8 digits") << QStringLiteral("0000 0000 0000 0001") << 1u;
    QTest::newRow("nine digits saturate") << QStringLiteral("1 2345 6789") << 0xFFFFFFFFu;
    QTest::newRow("many digits saturate") << QStringLiteral("ff ff ff ff ff ff ff ff ff ff") << 0xFFFFFFFFu;
}

void TestAddresses::parseOemTypeText()
{
    QFETCH(QString, text);
    QFETCH(quint32, typeCode);
    QCOMPARE(ParseOemTypeText(text), typeCode);
}

void TestAddresses::oemEntriesReadBack()
{
    for (const DeviceType &type : DeviceTypeTable)
        QCOMPARE(ParseOemTypeText(oemEntryText(type)), type.typeCode);
}

void TestAddresses::passwordBytes_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ASCII") << QStringLiteral("Secret 1!") << QByteArray("Secret 1!");
    QTest::newRow("umlauts and euro") << QStringLiteral("Grüße€") << QByteArray::fromHex("4772fcdf6580");
    QTest::newRow("Latin-1 upper half") << QStringLiteral("\u00a0\u00ff") << QByteArray::fromHex("a0ff");
    QTest::newRow("80-9F letters") << QStringLiteral("ŠšŽžŸŒœƒ") << QByteArray::fromHex("8a9a8e9e9f8c9c83");
    QTest::newRow("80-9F punctuation") << QStringLiteral("‚„…†‡ˆ‰‹‘’“”•–—˜™›")
                                       << QByteArray::fromHex("828485868788898b9192939495969798999b");
    QTest::newRow("code page gap") << QStringLiteral("\u0081\u008d") << QByteArray::fromHex("818d");
    QTest::newRow("C1 control not in code page") << QStringLiteral("\u0080") << QByteArray("?");
    QTest::newRow("CJK") << QStringLiteral("日本") << QByteArray("??");
    QTest::newRow("outside the BMP is one character") << QStringLiteral("a😀b") << QByteArray("a?b");
    QTest::newRow("NUL ends") << QStringView(u"ab\0cd", 5).toString() << QByteArray("ab");
}

void TestAddresses::passwordBytes()
{
    QFETCH(QString, password);
    QFETCH(QByteArray, bytes);
    QCOMPARE(PasswordBytes(password), bytes);
}

QTEST_GUILESS_MAIN(TestAddresses)
#include "TestAddresses.moc"
