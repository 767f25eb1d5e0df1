#include "ResetIpDialog.h"

#include "BroadcastDestinations.h"
#include "GatewayReset.h"
#include "ReplyWait.h"
#include "StringTable.h"
#include "Telegrams.h"
#include "Texts.h"
#include "JournalEntry.h"
#include "NeighbourProbe.h"
#include "WriteDecision.h"
#include "WriteJournal.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QJsonObject>
#include <QMessageBox>
#include <QUuid>
#include <QRegularExpression>

namespace {

const QString TemplateResource = QStringLiteral(":/dialogs/dialog152.json");
constexpr int MacByte5Edit = 1030;
constexpr int MacByte6Edit = 1031;
constexpr int NewAddressEdit = 1029;

// A wait that keeps the windows painting; input is locked by the caller.
void pause(int milliseconds)
{
    ReplyWait::pause(milliseconds);
}

} // namespace

ResetIpDialog::ResetIpDialog(const QStringList &destinations, QWidget *parent)
    : TemplateDialog(TemplateResource, parent)
    , m_destinations(destinations)
{
}

std::optional<quint8> ResetIpDialog::parseMacByte(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^(?:0[xX])?([0-9A-Fa-f]{1,2})$"));
    const QRegularExpressionMatch match = pattern.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    return quint8(match.captured(1).toUInt(nullptr, 16));
}

std::optional<quint32> ResetIpDialog::parseNewAddress(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("DHCP"), Qt::CaseInsensitive) == 0)
        return 0;
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})$"));
    const QRegularExpressionMatch match = pattern.match(trimmed);
    if (!match.hasMatch())
        return std::nullopt;
    quint32 address = 0;
    for (int part = 1; part <= 4; ++part) {
        const uint octet = match.captured(part).toUInt();
        if (octet > 255)
            return std::nullopt;
        address = (address << 8) | octet;
    }
    return address;
}

void ResetIpDialog::OnOK()
{
    const QString macText5 = edit(MacByte5Edit) ? edit(MacByte5Edit)->text() : QString();
    const QString macText6 = edit(MacByte6Edit) ? edit(MacByte6Edit)->text() : QString();
    const QString addressText = edit(NewAddressEdit) ? edit(NewAddressEdit)->text() : QString();

    // Empty fields first, with the long-standing messages; then the values.
    // A byte that is not one, or an address that is not one, would reset
    // another gateway or switch this one to DHCP unasked.
    if (macText5.isEmpty() || macText6.isEmpty())
        return showMessage(Text::MissingMacBytes);
    if (addressText.isEmpty())
        return showMessage(Text::MissingNewAddress);
    const std::optional<quint8> macByte5 = parseMacByte(macText5);
    if (!macByte5)
        return showMessage(Text::BadMacByte5);
    const std::optional<quint8> macByte6 = parseMacByte(macText6);
    if (!macByte6)
        return showMessage(Text::BadMacByte6);
    if (!parseNewAddress(addressText))
        return showMessage(Text::BadNewAddress);

    const QString tail = QStringLiteral("%1-%2").arg(*macByte5, 2, 16, QLatin1Char('0')).arg(*macByte6, 2, 16, QLatin1Char('0')).toUpper();
    const quint32 newValue = *parseNewAddress(addressText);
    // The telegram reaches every gateway that ends in these two bytes.
    const QStringList sharing = MacsEndingIn(tail, m_listed.keys());
    if (sharing.size() > 1) {
        QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(),
                        loadString(Text::SharedMacTailReset).arg(tail, sharing.join(QStringLiteral(", "))),
                        QMessageBox::Ok, this);
        box.exec();
        return;
    }
    const QString input = tail + QLatin1Char('|') + DottedAddressText(newValue);
    if (newValue != 0 && input != m_sendAnyway) {
        const QString holder = holderOf(newValue, tail);
        // Closed while the link was asked: the user gave the reset up.
        if (m_closedDuringCheck)
            return;
        if (!holder.isEmpty()) {
            m_sendAnyway = input;
            QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(),
                            loadString(Text::AddressAlreadyUsed).arg(DottedAddressText(newValue), holder),
                            QMessageBox::Ok, this);
            box.exec();
            return;
        }
    }

    // Nothing is sent without its record in the journal. The gateway lies
    // outside every subnet, so nothing of it could be read.
    WriteJournal journal;
    QString reason;
    if (!journal.append(JournalEntry::reset(QUuid::createUuid().toString(QUuid::WithoutBraces), tail,
                                            addressText.trimmed()),
                        &reason)) {
        QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(),
                        loadString(Text::JournalNotWritable).arg(journal.path(), reason), QMessageBox::Ok, this);
        box.exec();
        return;
    }

    m_sending = true;
    setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    GatewayReset::send(newValue, *macByte5, *macByte6, m_destinations, pause);
    setEnabled(true);
    m_sending = false;
    TemplateDialog::OnOK();
    QApplication::restoreOverrideCursor();
}

QString ResetIpDialog::holderOf(quint32 address, const QString &macTail)
{
    for (auto listed = m_listed.cbegin(); listed != m_listed.cend(); ++listed) {
        if (listed.value() == address && !listed.key().endsWith(macTail))
            return listed.key();
    }
    // Asking the link takes up to a few seconds; the dialog keeps painting,
    // and the window manager can still close it meanwhile.
    setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_checking = true;
    m_closedDuringCheck = false;
    NeighbourProbe probe({address});
    while (!m_closedDuringCheck && !probe.poll())
        pause(NeighbourProbe::PollIntervalMs);
    m_checking = false;
    QApplication::restoreOverrideCursor();
    setEnabled(true);
    const QString holder = probe.holders().value(address);
    return holder.endsWith(macTail) ? QString() : holder;
}

void ResetIpDialog::showMessage(int stringNumber)
{
    QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(), loadString(stringNumber),
                    QMessageBox::Ok, this);
    box.exec();
}

void ResetIpDialog::reject()
{
    if (m_sending)
        return;
    if (m_checking)
        m_closedDuringCheck = true;
    TemplateDialog::reject();
}

void ResetIpDialog::closeEvent(QCloseEvent *event)
{
    if (m_sending) {
        event->ignore();
        return;
    }
    TemplateDialog::closeEvent(event);
}
