#include "ListedRows.h"

#include "GatewayList.h"

QStringList listedRows(const GatewayList &list)
{
    QStringList rows;
    for (int row = 0; row < list.count(); ++row) {
        QStringList cells;
        for (int column = 0; column < GatewayList::ColumnCount; ++column)
            cells.append(list.cellText(row, column));
        cells << QString::number(list.rowStatus(row)) << QString::number(list.typeCode(row), 16);
        rows.append(cells.join(QLatin1Char('|')));
    }
    return rows;
}
