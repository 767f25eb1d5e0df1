#pragma once

#include "GatewayReading.h"
#include "RowStatus.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <vector>

// The gateway list: the only store of gateway data during a run. Each row has
// fourteen column texts, its item data (the device type code, 0 until an
// identity reply was accepted) and its RowStatus, which is also its image.
// Rows stay in insertion order; nothing sorts or merges them.
class GatewayList : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        TypeColumn = 0,
        IpAddressColumn,
        MacAddressColumn,
        ModeColumn,
        PortColumn,
        RemoteIpColumn,
        IpMaskColumn,
        FirmwareColumn,
        SubnetGatewayColumn,
        BaudRateColumn,
        DataBitsColumn,
        StopBitsColumn,
        ParityColumn,
        FlowControlColumn,
        ColumnCount
    };

    enum Role {
        TypeCodeRole = Qt::UserRole + 1, // quint32
        RowStatusRole,                   // int, a RowStatus
    };

    // String number of each column's header.
    static int headerString(int column);

    explicit GatewayList(QObject *parent = nullptr);

    int count() const { return int(m_rows.size()); }
    // Appends a row: "???" in the type column, status Discovered, type code 0.
    int appendRow();
    // Appends copies of `rows` of `source`, in that order, texts, type,
    // status and reading alike, as one insertion. Invalid rows are skipped.
    void appendRowsFrom(const GatewayList &source, const QList<int> &rows);
    void clear();

    // Out-of-range rows or columns read as empty text, type 0, status -1,
    // and writes to them are ignored.
    QString cellText(int row, int column) const;
    void setCellText(int row, int column, const QString &text);
    quint32 typeCode(int row) const;
    void setTypeCode(int row, quint32 typeCode);
    int rowStatus(int row) const;
    void setRowStatus(int row, RowStatus status);

    // What the row's gateway replied, typed; the texts above show it. An
    // out-of-range row reads as nothing read.
    GatewayReading reading(int row) const;
    // For the reply handlers that fill the row; null for an invalid row.
    GatewayReading *mutableReading(int row);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    struct Row
    {
        QStringList cells;
        GatewayReading reading; // holds the type code and the status too
    };
    bool isValid(int row) const { return row >= 0 && row < count(); }

    std::vector<Row> m_rows;
};
