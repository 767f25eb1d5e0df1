#include "GatewayList.h"

#include "StringTable.h"
#include "Texts.h"

#include <array>
#include <iterator>

namespace {
constexpr std::array<int, GatewayList::ColumnCount> HeaderStrings{
    Text::TypeHeader,         Text::IpAddressHeader, Text::MacAddressHeader, Text::ModeHeader,
    Text::PortHeader,         Text::RemoteIpHeader,  Text::IpMaskHeader,     Text::FirmwareHeader,
    Text::SubnetGatewayHeader, Text::BaudRateHeader, Text::DataBitsHeader,   Text::StopBitsHeader,
    Text::ParityHeader,       Text::FlowControlHeader};
}

int GatewayList::headerString(int column)
{
    return column >= 0 && column < ColumnCount ? HeaderStrings[std::size_t(column)] : 0;
}

GatewayList::GatewayList(QObject *parent)
    : QAbstractTableModel(parent)
{
}

int GatewayList::appendRow()
{
    const int row = count();
    beginInsertRows({}, row, row);
    Row newRow;
    newRow.cells.resize(ColumnCount);
    newRow.cells[TypeColumn] = QStringLiteral("???");
    m_rows.push_back(std::move(newRow));
    endInsertRows();
    return row;
}

void GatewayList::appendRowsFrom(const GatewayList &source, const QList<int> &rows)
{
    std::vector<Row> copies;
    copies.reserve(std::size_t(rows.size()));
    for (int row : rows) {
        if (source.isValid(row))
            copies.push_back(source.m_rows[std::size_t(row)]);
    }
    if (copies.empty())
        return;
    // One notification for a few hundred rows: every view and the editor
    // react once, not per row.
    const int first = count();
    beginInsertRows({}, first, first + int(copies.size()) - 1);
    m_rows.insert(m_rows.end(), std::make_move_iterator(copies.begin()), std::make_move_iterator(copies.end()));
    endInsertRows();
}

void GatewayList::clear()
{
    if (m_rows.empty())
        return;
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

QString GatewayList::cellText(int row, int column) const
{
    if (!isValid(row) || column < 0 || column >= ColumnCount)
        return {};
    return m_rows[std::size_t(row)].cells[column];
}

void GatewayList::setCellText(int row, int column, const QString &text)
{
    if (!isValid(row) || column < 0 || column >= ColumnCount)
        return;
    QString &cell = m_rows[std::size_t(row)].cells[column];
    if (cell == text)
        return;
    cell = text;
    const QModelIndex changed = index(row, column);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
}

quint32 GatewayList::typeCode(int row) const
{
    return isValid(row) ? m_rows[std::size_t(row)].reading.typeCode : 0;
}

void GatewayList::setTypeCode(int row, quint32 typeCode)
{
    if (!isValid(row))
        return;
    m_rows[std::size_t(row)].reading.typeCode = typeCode;
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1), {TypeCodeRole});
}

int GatewayList::rowStatus(int row) const
{
    return isValid(row) ? m_rows[std::size_t(row)].reading.status : -1;
}

void GatewayList::setRowStatus(int row, RowStatus status)
{
    if (!isValid(row))
        return;
    m_rows[std::size_t(row)].reading.status = int(status);
    const QModelIndex first = index(row, 0);
    emit dataChanged(first, first, {RowStatusRole, Qt::DecorationRole});
}

GatewayReading GatewayList::reading(int row) const
{
    return isValid(row) ? m_rows[std::size_t(row)].reading : GatewayReading{};
}

GatewayReading *GatewayList::mutableReading(int row)
{
    return isValid(row) ? &m_rows[std::size_t(row)].reading : nullptr;
}

int GatewayList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

int GatewayList::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant GatewayList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !isValid(index.row()))
        return {};
    const Row &row = m_rows[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return row.cells[index.column()];
    case TypeCodeRole:
        return row.reading.typeCode;
    case RowStatusRole:
        return row.reading.status;
    default:
        return {};
    }
}

QVariant GatewayList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    return StringTable::text(headerString(section));
}
