#include "ResetCommand.h"

#include "BroadcastDestinations.h"
#include "GatewayReset.h"
#include "GatewayScanner.h"
#include "JournalEntry.h"
#include "NeighbourProbe.h"
#include "StringTable.h"
#include "Texts.h"
#include "WriteDecision.h"
#include "WriteEngine.h"
#include "WriteJournal.h"

#include <QEventLoop>
#include <QTimer>
#include <QUuid>

namespace ResetCommand {

namespace {

// Without a window the reset's waits run a nested event loop.
void loopWait(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int run(const CommissionCommand::Arguments &a, QByteArray *out, QByteArray *err)
{
    const quint32 address = a.change.dhcp == true ? 0 : a.change.address.value_or(0);
    const QString addressText = address == 0 ? QStringLiteral("dhcp") : DottedAddressText(address);
    const QString tail = QStringLiteral("%1-%2").arg(a.macByte5, 2, 16, QLatin1Char('0')).arg(a.macByte6, 2, 16, QLatin1Char('0')).toUpper();
    if (address != 0 && !a.force) {
        // Another listed gateway or another device must not lose its address;
        // a holder whose MAC ends in the tail is the gateway itself.
        QString holder;
        GatewayScanner scanner(CommissionCommand::scanSettings(a, QString()));
        if (scanner.run() == GatewayScanner::Outcome::Finished) {
            for (int row = 0; row < scanner.list().count() && holder.isEmpty(); ++row) {
                if (ParseDottedAddress(scanner.list().cellText(row, GatewayList::IpAddressColumn)) == address)
                    holder = scanner.list().cellText(row, GatewayList::MacAddressColumn);
            }
        }
        bool own = false;
        if (holder.isEmpty()) {
            const AddressCheck check = NeighbourProbe::check({address});
            holder = check.holders.value(address);
            own = !holder.isEmpty() && !HolderIsDevice(holder);
            if (check.unchecked.contains(address))
                *err += loadString(Text::AddressNotChecked).arg(addressText).toUtf8() + '\n';
        }
        if (own) {
            *err += loadString(Text::WriteOwnAddress).arg(addressText, holder).toUtf8() + '\n';
            return CommissionCommand::Refused;
        }
        if (!holder.isEmpty() && !holder.endsWith(tail)) {
            *err += loadString(Text::WriteListedHolder).arg(addressText, holder).toUtf8() + '\n';
            return CommissionCommand::Refused;
        }
    }
    QString reason;
    WriteJournal journal;
    // The gateway lies outside every subnet: nothing of it can be read.
    if (!journal.append(JournalEntry::reset(QUuid::createUuid().toString(QUuid::WithoutBraces), tail, addressText),
                        &reason)) {
        *err += loadString(Text::JournalFailed).arg(journal.path(), reason).toUtf8() + '\n';
        return CommissionCommand::Refused;
    }
    if (!GatewayReset::send(address, a.macByte5, a.macByte6, BuildAdapterBroadcastList(), loopWait)) {
        *err += loadString(Text::ResetNotSent).toUtf8() + '\n';
        return CommissionCommand::NotConfirmed;
    }
    *out += loadString(Text::ResetSent).arg(tail, addressText).toUtf8() + '\n';
    return CommissionCommand::Confirmed;
}

} // namespace ResetCommand
