#include "JournalSafeguards.h"

#include "JournalEntry.h"
#include "StringTable.h"
#include "WriteJournal.h"

void UseJournal(WriteEngine::Safeguards *safeguards, WriteJournal &journal, const QString &command, int failedText)
{
    safeguards->recordSnapshot = [&journal, command, failedText](const WriteReport &report, const WritePlan &plan,
                                                                 QString *error) {
        QString reason;
        if (journal.append(JournalEntry::write(command, report, plan), &reason))
            return true;
        *error = loadString(failedText).arg(journal.path(), reason);
        return false;
    };
    safeguards->recordOutcome = [&journal](const WriteReport &report) {
        QString ignored;
        journal.append(JournalEntry::outcome(report), &ignored);
    };
}
