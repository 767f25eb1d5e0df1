#include "GatewayHistoryDialog.h"

#include "StringTable.h"
#include "Texts.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum Column { NumberColumn, TimeColumn, CommandColumn, ChangesColumn, OutcomeColumn, ColumnCount };

// Where the write stands in m_writes, kept on its row.
constexpr int IndexRole = Qt::UserRole;

// The journal keeps UTC; people read their own clock.
QString localTime(const QString &journalTime)
{
    const QDateTime time = QDateTime::fromString(journalTime, Qt::ISODateWithMs);
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : journalTime;
}

} // namespace

GatewayHistoryDialog::GatewayHistoryDialog(const QString &macText, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("gatewayHistoryDialog"));
    setWindowTitle(loadString(Text::HistoryTitle).arg(macText));

    auto *explanation = new QLabel(loadString(Text::RestoreExplanation), this);
    explanation->setObjectName(QStringLiteral("restoreExplanationLabel"));
    explanation->setWordWrap(true);
    explanation->setAccessibleName(explanation->text());

    // The journal's damage, or that it holds nothing for this gateway.
    m_notes = new QLabel(this);
    m_notes->setObjectName(QStringLiteral("historyNotesLabel"));
    m_notes->setWordWrap(true);
    m_notes->setAccessibleName(loadString(Text::HistoryNotesName));

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("historyTreeWidget"));
    m_list->setAccessibleName(loadString(Text::HistoryListName));
    m_list->setColumnCount(ColumnCount);
    m_list->setHeaderLabels({loadString(Text::HistoryNumberHeader), loadString(Text::HistoryTimeHeader),
                             loadString(Text::HistoryCommandHeader), loadString(Text::HistoryChangesHeader),
                             loadString(Text::HistoryOutcomeHeader)});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(ChangesColumn, QHeaderView::Stretch);

    // The changes of the chosen write one per line: the list's column holds
    // only as many as fit.
    m_details = new QLabel(this);
    m_details->setObjectName(QStringLiteral("historyDetailsLabel"));
    m_details->setWordWrap(true);
    m_details->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_details->setAccessibleName(loadString(Text::HistoryDetailsName));

    m_restore = new QPushButton(loadString(Text::RestoreButton), this);
    m_restore->setObjectName(QStringLiteral("restorePushButton"));
    m_restore->setAccessibleName(loadString(Text::RestoreButton).remove(QLatin1Char('&')));
    // Enter must not write a gateway by accident: Close is the default.
    m_restore->setAutoDefault(false);
    auto *close = new QPushButton(loadString(Text::CloseButton), this);
    close->setObjectName(QStringLiteral("closePushButton"));
    close->setAccessibleName(close->text());
    close->setDefault(true);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_restore);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addWidget(m_notes);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_details);
    layout->addLayout(buttons);
    resize(720, 360);

    connect(m_restore, &QPushButton::clicked, this, &GatewayHistoryDialog::onRestore);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &GatewayHistoryDialog::onSelectionChanged);
    fill(macText);
}

void GatewayHistoryDialog::fill(const QString &macText)
{
    const WriteHistory::Result history = WriteHistory::read(macText);
    m_writes = history.writes;
    QStringList notes;
    if (!history.error.isEmpty())
        notes.append(history.error);
    if (!history.damageNote.isEmpty())
        notes.append(history.damageNote);
    if (history.error.isEmpty() && m_writes.isEmpty())
        notes.append(loadString(Text::NoHistory));
    m_notes->setText(notes.join(QLatin1Char('\n')));
    m_notes->setVisible(!notes.isEmpty());

    for (qsizetype i = 0; i < m_writes.size(); ++i) {
        const WriteHistory::Write &write = m_writes.at(i);
        const QStringList changes = WriteHistory::changes(write.entry);
        auto *item = new QTreeWidgetItem(m_list);
        item->setText(NumberColumn, QString::number(write.number));
        item->setTextAlignment(NumberColumn, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(TimeColumn, localTime(write.entry.value(QStringLiteral("time")).toString()));
        item->setText(CommandColumn, commandText(write.entry.value(QStringLiteral("command")).toString()));
        item->setText(ChangesColumn, changes.isEmpty() ? loadString(Text::HistoryNoChange)
                                                       : changes.join(QStringLiteral("; ")));
        // A long list of changes is cut in its column; the tip shows it whole.
        item->setToolTip(ChangesColumn, changes.join(QLatin1Char('\n')));
        item->setText(OutcomeColumn, outcomeText(write.outcome));
        item->setData(NumberColumn, IndexRole, int(i));
    }
    for (int column = 0; column < ColumnCount; ++column) {
        if (column != ChangesColumn)
            m_list->resizeColumnToContents(column);
    }
    // The latest write is the one most often undone, as the command line's
    // restore takes it when no number is given.
    if (QTreeWidgetItem *last = m_list->topLevelItem(m_list->topLevelItemCount() - 1)) {
        m_list->setCurrentItem(last);
        m_list->scrollToItem(last);
    }
    onSelectionChanged();
    m_list->setFocus();
}

void GatewayHistoryDialog::onSelectionChanged()
{
    const QList<QTreeWidgetItem *> selected = m_list->selectedItems();
    m_restore->setEnabled(!selected.isEmpty());
    const int index = selected.isEmpty() ? -1 : selected.first()->data(NumberColumn, IndexRole).toInt();
    const QStringList changes =
        index >= 0 && index < m_writes.size() ? WriteHistory::changes(m_writes.at(index).entry) : QStringList();
    m_details->setText(changes.join(QLatin1Char('\n')));
}

void GatewayHistoryDialog::onRestore()
{
    const QList<QTreeWidgetItem *> selected = m_list->selectedItems();
    if (selected.isEmpty())
        return;
    const int index = selected.first()->data(NumberColumn, IndexRole).toInt();
    if (index < 0 || index >= m_writes.size())
        return;
    m_chosen = m_writes.at(index);
    accept();
}

QString GatewayHistoryDialog::commandText(const QString &command)
{
    if (command == QLatin1String("window"))
        return loadString(Text::HistoryByWindow);
    return loadString(Text::HistoryByCommandLine).arg(command);
}

QString GatewayHistoryDialog::outcomeText(const QString &outcome)
{
    static const QHash<QString, int> texts = {
        {QStringLiteral("confirmed"), Text::OutcomeConfirmed},
        {QStringLiteral("notConfirmed"), Text::OutcomeNotConfirmed},
        {QStringLiteral("notFoundAgain"), Text::OutcomeNotFoundAgain},
        {QStringLiteral("notSent"), Text::OutcomeNotSent},
        {QStringLiteral("refused"), Text::OutcomeRefused},
        {QStringLiteral("stopped"), Text::OutcomeStopped},
        {QStringLiteral("unknown"), Text::OutcomeUnknown},
        {QStringLiteral("nothingToWrite"), Text::OutcomeNothingToWrite},
    };
    const auto text = texts.constFind(outcome);
    return text == texts.cend() ? outcome : loadString(*text);
}
