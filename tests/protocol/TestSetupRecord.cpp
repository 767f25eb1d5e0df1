#include "SetupFields.h"
#include "Telegrams.h"

#include <QTest>

// The setup record: checksum, password digest, the setup write and the
// verification of a gateway's setup reply. The golden records and digests
// below were computed once by an independent implementation of the record
// layout (including its own Mersenne Twister for the filler), not by this code.
namespace {

const QString Password = QStringLiteral("Grüße€");
const QString RowMac = QStringLiteral("00-50-C2-4A-00-0A");
constexpr quint32 RowType = 0x00010001;

// Mode 0, port 10001, remote 192.168.1.20, mask 255.255.255.0, MAC
// 00-50-C2-4A-00-0A, type 0x00010001, 9600 8 1, parity 0, flow 0; byte i of
// the filler is (37 i + 11) mod 256.
const QByteArray UnlockedReply = QByteArray::fromHex(
    "000000d6010011271401a8c000ffffff7e0050c24a000a010001000000000086abd0f51a3f6489aed3f81d42"
    "678cb1d6fb20456a8fb4d9fe23486d92b7dc0180250000080100004e7398bde2072c51769bc0e50a2f5479"
    "9ec3e80d32577ca1c6eb10355a7fa4c9ee13385d82a7ccf1163b6085aacff4193e6388add2f71c41668bb0");
constexpr quint32 UnlockedReplyDigest = 64731301;      // under "Grüße€"
constexpr quint32 UnlockedReplyEmptyDigest = 65050601; // under ""
// The same record locked with "Grüße€".
const QByteArray LockedReply = QByteArray::fromHex(
    "000000d6010011271401a8c000ffffffb90050c24a000a01000100a5b8db0386abd0f51a3f6489aed3f81d42"
    "678cb1d6fb20456a8fb4d9fe23486d92b7dc0180250000080100004e7398bde2072c51769bc0e50a2f5479"
    "9ec3e80d32577ca1c6eb10355a7fa4c9ee13385d82a7ccf1163b6085aacff4193e6388add2f71c41668bb0");

// The setup writes of writeInput() with a default-seeded std::mt19937.
const QByteArray ProtectedWrite = QByteArray::fromHex(
    "000000c6010011271401a8c000ffffff3e0050c24a000a0100010055684c038d317aae0769adab884cba8f80"
    "c54c6d265b46c2cdfcee6e32348b12bea7598280250000080100009ae14773ee81485428e603ab0c92098e"
    "bf08f90bfcea33ff98f64768705911aa73b66c2710c53350d6a1f8d48868c3527cbe63c523a3092741568f");
const QByteArray TcpClientWrite = QByteArray::fromHex(
    "000000c60101ffff0100000ac41a5f10f60050c24a000a02000300000000008d317aae0769adab884cba8f80"
    "c54c6d265b46c2cdfcee6e32348b12bea7598200c201000702ffff9ae14773ee81485428e603ab0c92098e"
    "bf08f90bfcea33ff98f64768705911aa73b66c2710c53350d6a1f8d48868c3527cbe63c523a3092741568f");

SetupFields writeFields()
{
    return SetupFields{0, "10001", "192.168.1.20", "255.255.255.0", "9600", "8", "1", 0, 0};
}

SetupWriteInput writeInput(const SetupFields &fields = writeFields())
{
    return fields.writeInput("0050C24A000A", RowType, true, Password);
}

SetupWriteInput tcpClientInput()
{
    return SetupFields{1, "-1", "10.0.0.1", "255.255.255.0", "115200", "7", "2", -1, -1}
        .writeInput("0050C24A000A", 0x00030002, false, Password);
}

QByteArray withByte(QByteArray bytes, int offset, quint8 value)
{
    bytes[offset] = char(value);
    return bytes;
}

// Recomputes the checksum, so only the intended change is wrong.
QByteArray withField(QByteArray bytes, int offset, quint8 value)
{
    bytes[offset] = char(value);
    bytes[16] = char(SetupChecksum(bytes));
    return bytes;
}

} // namespace

class TestSetupRecord : public QObject
{
    Q_OBJECT

private slots:
    void checksum();
    void digest_data();
    void digest();
    void digestIgnoresHeaderChecksumAndStoredDigest();
    void digestCoversFiller();
    void replyEncoder();
    void setupWrite_data();
    void setupWrite();
    void setupWriteFieldConversions_data();
    void setupWriteFieldConversions();
    void writesDifferFromEachOther();
    void verifySetupReply_data();
    void verifySetupReply();
};

void TestSetupRecord::checksum()
{
    QCOMPARE(SetupChecksum(UnlockedReply), quint8(0x7E));
    QCOMPARE(SetupChecksum(LockedReply), quint8(0xB9));
    QCOMPARE(SetupChecksum(withByte(UnlockedReply, 16, 0)), quint8(0x7E));
    QCOMPARE(SetupChecksum(withByte(UnlockedReply, 3, 0xC6)), quint8(0x7E));
    QCOMPARE(SetupChecksum(withByte(UnlockedReply, 129, 0xB1)), quint8(0x7F));
    QCOMPARE(SetupChecksum(withByte(UnlockedReply, 4, 2)), quint8(0x7F));
}

void TestSetupRecord::digest_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<quint32>("digest");
    QTest::newRow("umlauts and euro") << Password << UnlockedReplyDigest;
    QTest::newRow("empty") << QString() << UnlockedReplyEmptyDigest;
}

void TestSetupRecord::digest()
{
    QFETCH(QString, password);
    QFETCH(quint32, digest);
    QCOMPARE(PasswordDigest(UnlockedReply, password), digest);
    QCOMPARE(PasswordDigest(LockedReply, password), digest);

    const QString first32 = QStringLiteral("0123456789abcdefghijklmnopqrstuv");
    QCOMPARE(PasswordDigest(UnlockedReply, first32 + QStringLiteral("wxyz!?$%")),
             PasswordDigest(UnlockedReply, first32));
    QVERIFY(PasswordDigest(UnlockedReply, first32) != PasswordDigest(UnlockedReply, first32.left(31)));
    QVERIFY(PasswordDigest(QByteArray(130, '\0'), QString()) != 0);
}

void TestSetupRecord::digestIgnoresHeaderChecksumAndStoredDigest()
{
    QByteArray changed = UnlockedReply;
    changed.replace(0, 4, QByteArray::fromHex("ffffffc6"));
    changed[16] = '\x55';
    changed.replace(27, 4, QByteArray::fromHex("deadbeef"));
    QCOMPARE(PasswordDigest(changed, Password), UnlockedReplyDigest);
}

void TestSetupRecord::digestCoversFiller()
{
    for (int offset : {31, 62, 103, 129})
        QVERIFY(PasswordDigest(withByte(UnlockedReply, offset, 0), Password) != UnlockedReplyDigest);
    // The password takes the place of bytes 71-76: what the record holds there
    // does not count, what lies behind the password does.
    QCOMPARE(PasswordDigest(withByte(UnlockedReply, 71, 0), Password), UnlockedReplyDigest);
    QVERIFY(PasswordDigest(withByte(UnlockedReply, 77, 0), Password) != UnlockedReplyDigest);
}

void TestSetupRecord::replyEncoder()
{
    const auto record = DecodeSetupRecord(UnlockedReply);
    QVERIFY(record);
    QCOMPARE(record->mode, quint8(0));
    QCOMPARE(record->port, quint16(10001));
    QCOMPARE(record->remoteAddress, 0xC0A80114u);
    QCOMPARE(record->allowedMask, 0xFFFFFF00u);
    QCOMPARE(record->typeCode, RowType);
    QCOMPARE(record->baudRate, 9600u);
    QCOMPARE(record->dataBits, quint8(8));
    QCOMPARE(record->stopBits, quint8(1));
    QVERIFY(!DecodeSetupRecord(UnlockedReply.left(129)));

    // The simulator answers with its stored record as filler; the result must
    // be the golden reply byte for byte, and locking it must match the tool.
    QCOMPARE(BuildSetupReply(*record, UnlockedReply), UnlockedReply);
    SetupRecord locked = *record;
    locked.digest = PasswordDigest(UnlockedReply, Password);
    QCOMPARE(BuildSetupReply(locked, UnlockedReply), LockedReply);
    QCOMPARE(BuildSetupReply(*record).mid(31, 32), QByteArray(32, '\0'));
}

void TestSetupRecord::setupWrite_data()
{
    QTest::addColumn<bool>("tcpClient");
    QTest::addColumn<QByteArray>("golden");
    QTest::newRow("protected TCP-Server") << false << ProtectedWrite;
    QTest::newRow("unprotected TCP-Client keeps random mask") << true << TcpClientWrite;
}

void TestSetupRecord::setupWrite()
{
    QFETCH(bool, tcpClient);
    QFETCH(QByteArray, golden);
    std::mt19937 generator;
    const QByteArray write = BuildSetupWrite(tcpClient ? tcpClientInput() : writeInput(), generator);
    QCOMPARE(write.toHex(), golden.toHex());
    QVERIFY(IsSetupWrite(write));
    QVERIFY(!IsSetupWrite(UnlockedReply));
}

void TestSetupRecord::setupWriteFieldConversions_data()
{
    QTest::addColumn<QString>("portText");
    QTest::addColumn<QString>("baudRateText");
    QTest::addColumn<QString>("dataBitsText");
    QTest::addColumn<int>("modeIndex");
    QTest::addColumn<QByteArray>("fields"); // bytes 5-7 and 63-67
    QTest::newRow("port keeps low 16 bits") << QStringLiteral("70000") << QStringLiteral("921600")
                                            << QStringLiteral("8") << 2 << QByteArray::fromHex("027011" "00100e0008");
    QTest::newRow("not numbers give 0") << QStringLiteral("port") << QStringLiteral("fast") << QString() << 3
                                        << QByteArray::fromHex("030000" "0000000000");
    QTest::newRow("no mode, data bits low 8 bits") << QStringLiteral(" 10002 ") << QStringLiteral("-300")
                                                   << QStringLiteral("264") << -1
                                                   << QByteArray::fromHex("ff1227" "d4feffff08");
}

void TestSetupRecord::setupWriteFieldConversions()
{
    QFETCH(QString, portText);
    QFETCH(QString, baudRateText);
    QFETCH(QString, dataBitsText);
    QFETCH(int, modeIndex);
    QFETCH(QByteArray, fields);
    const QByteArray port = portText.toLatin1();
    const QByteArray baudRate = baudRateText.toLatin1();
    const QByteArray dataBits = dataBitsText.toLatin1();
    SetupFields editor = writeFields();
    editor.port = port.constData();
    editor.baudRate = baudRate.constData();
    editor.dataBits = dataBits.constData();
    editor.modeIndex = modeIndex;
    std::mt19937 generator;
    const QByteArray write = BuildSetupWrite(writeInput(editor), generator);
    QCOMPARE((write.mid(5, 3) + write.mid(63, 5)).toHex(), fields.toHex());
    QCOMPARE(write.mid(12, 4), QByteArray::fromHex("00ffffff"));
    QCOMPARE(quint8(write.at(16)), SetupChecksum(write));
    QCOMPARE(DecodeSetupRecord(write)->digest, PasswordDigest(write, Password));
}

void TestSetupRecord::writesDifferFromEachOther()
{
    // Writes made in quick succession (the same second) must not repeat the
    // filler, or the digest of a locked record would be predictable.
    QList<QByteArray> writes;
    for (int i = 0; i < 4; ++i)
        writes.append(BuildSetupWrite(writeInput()));
    bool checksumsDiffer = false;
    for (int i = 1; i < writes.size(); ++i) {
        QVERIFY(writes[i].mid(31, 32) != writes[0].mid(31, 32));
        QVERIFY(writes[i].mid(71) != writes[0].mid(71));
        QVERIFY(writes[i].mid(27, 4) != writes[0].mid(27, 4));
        checksumsDiffer = checksumsDiffer || writes[i].at(16) != writes[0].at(16);
        QCOMPARE(writes[i].left(16), writes[0].left(16));
    }
    QVERIFY(checksumsDiffer);
}

void TestSetupRecord::verifySetupReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("rowMac");
    QTest::addColumn<bool>("protection");
    QTest::addColumn<QString>("password");
    QTest::addColumn<SetupVerdict>("verdict");

    const QString wrong = QStringLiteral("Grüsse€");
    QTest::newRow("unlocked") << UnlockedReply << RowMac << false << QString() << SetupVerdict::Unlocked;
    QTest::newRow("unlocked, protection on") << UnlockedReply << RowMac << true << wrong << SetupVerdict::Unlocked;
    QTest::newRow("row MAC with blanks, lower case") << UnlockedReply << QStringLiteral("00 50 c2 4a 00 0a")
                                                     << false << QString() << SetupVerdict::Unlocked;
    QTest::newRow("129 bytes") << UnlockedReply.left(129) << RowMac << false << QString()
                               << SetupVerdict::NotSetupReply;
    QTest::newRow("131 bytes") << UnlockedReply + '\0' << RowMac << false << QString() << SetupVerdict::NotSetupReply;
    QTest::newRow("own setup write") << withByte(UnlockedReply, 3, 0xC6) << RowMac << false << QString()
                                     << SetupVerdict::NotSetupReply;
    QTest::newRow("byte 1 set") << withByte(UnlockedReply, 1, 1) << RowMac << false << QString()
                                << SetupVerdict::NotSetupReply;
    QTest::newRow("format marker 2") << withField(UnlockedReply, 4, 2) << RowMac << false << QString()
                                     << SetupVerdict::CorruptContent;
    QTest::newRow("MAC differs in last byte") << withField(UnlockedReply, 22, 0x0B) << RowMac << false << QString()
                                              << SetupVerdict::CorruptContent;
    QTest::newRow("other row's MAC") << UnlockedReply << QStringLiteral("00-50-C2-4A-00-0B") << false << QString()
                                     << SetupVerdict::CorruptContent;
    QTest::newRow("type differs") << withField(UnlockedReply, 25, 0x02) << RowMac << false << QString()
                                  << SetupVerdict::CorruptContent;
    QTest::newRow("checksum wrong") << withByte(UnlockedReply, 16, 0x7F) << RowMac << false << QString()
                                    << SetupVerdict::CorruptContent;
    QTest::newRow("locked with bad checksum is corrupt first") << withByte(LockedReply, 16, 0) << RowMac << true
                                                               << Password << SetupVerdict::CorruptContent;
    QTest::newRow("locked, right password") << LockedReply << RowMac << true << Password << SetupVerdict::PasswordOk;
    QTest::newRow("locked, wrong password") << LockedReply << RowMac << true << wrong << SetupVerdict::WrongPassword;
    QTest::newRow("locked, protection off, password would match") << LockedReply << RowMac << false << Password
                                                                   << SetupVerdict::WrongPassword;
    QTest::newRow("mode 9 kept as it came") << withField(UnlockedReply, 5, 9) << RowMac << false << QString()
                                            << SetupVerdict::Unlocked;

    // A gateway locked under a long password opens with its first 32 characters.
    const QString longPassword = QStringLiteral("0123456789abcdefghijklmnopqrstuvWXYZ1234");
    SetupRecord record = *DecodeSetupRecord(UnlockedReply);
    record.digest = PasswordDigest(UnlockedReply, longPassword);
    const QByteArray longLocked = BuildSetupReply(record, UnlockedReply);
    QTest::newRow("40-character lock, first 32 typed") << longLocked << RowMac << true << longPassword.left(32)
                                                       << SetupVerdict::PasswordOk;
    QTest::newRow("40-character lock, 31 typed") << longLocked << RowMac << true << longPassword.left(31)
                                                 << SetupVerdict::WrongPassword;

    // What the tool writes, the gateway returns as its record.
    std::mt19937 generator;
    const QByteArray written = BuildSetupWrite(writeInput(), generator);
    QTest::newRow("own protected write read back") << withField(written, 3, 0xD6) << RowMac << true << Password
                                                   << SetupVerdict::PasswordOk;
}

void TestSetupRecord::verifySetupReply()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, rowMac);
    QFETCH(bool, protection);
    QFETCH(QString, password);
    QFETCH(SetupVerdict, verdict);
    const SetupReplyCheck check = VerifySetupReply(reply, rowMac, RowType, protection, password);
    QCOMPARE(check.verdict, verdict);
    if (verdict == SetupVerdict::PasswordOk || verdict == SetupVerdict::Unlocked) {
        QCOMPARE(check.record.mode, quint8(reply.at(5)));
        QCOMPARE(check.record.port, quint16(10001));
        QCOMPARE(check.record.baudRate, 9600u);
    }
}

QTEST_GUILESS_MAIN(TestSetupRecord)
#include "TestSetupRecord.moc"
