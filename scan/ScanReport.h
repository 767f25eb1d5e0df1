#pragma once

#include "GatewayScanner.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The rows of a scan as the command line prints them: the window's fourteen
// column texts, then status, adapter, whether the address lies in the
// adapter's subnet and whether every reply asked for came.
struct ScanRow
{
    QStringList cells; // the window's columns 0-13
    GatewayReading reading;
    int status = 0;    // RowStatus
    quint32 typeCode = 0;
    QString adapter;
    bool inSubnet = false;
    bool complete = true;
};

namespace ScanReport {

enum class Format { Table, Json, Tsv, Csv };

QList<ScanRow> rows(const GatewayList &list, const std::vector<ScannedGateway> &gateways);

// Text for people: a header line and aligned columns, then a note naming
// the gateways not fully read.
QString table(const QList<ScanRow> &rows);
// {"gateways": [...]} with English keys; `diagnosis` is added when not empty.
QByteArray json(const QList<ScanRow> &rows, const QString &diagnosis = {});
// A header line and one line per row, tab- or comma-separated (RFC 4180
// quoting); "fully read" is the last column, after those of earlier versions.
QString delimited(const QList<ScanRow> &rows, QChar separator);

bool allComplete(const QList<ScanRow> &rows);

QByteArray render(Format format, const QList<ScanRow> &rows, const QString &diagnosis);

// JSON's name of a RowStatus ("noPassword", ...).
QString statusKey(int status);

} // namespace ScanReport
