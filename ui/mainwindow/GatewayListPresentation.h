#pragma once

#include <QIdentityProxyModel>
#include <QList>
#include <QPixmap>
#include <QStringList>

#include "LocalAdapters.h"

#include <array>

class QTreeView;

// The gateway list as the list control shows it: each row's status as the
// picture in its first column, and as the text an assistive tool reads for
// that cell; a row whose address lies in no adapter's subnet says so in its
// tooltip.
class GatewayListPresentation : public QIdentityProxyModel
{
    Q_OBJECT

public:
    explicit GatewayListPresentation(const QStringList &rowStatusNames, QObject *parent = nullptr);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // Widths of the list's columns in pixels, for the font and style of
    // `view`. The widths were chosen in pixels for a font with 6-pixel base
    // units; they grow and shrink with the font as the dialog units do. The
    // device-type names are longer than the type column was made for, so it
    // takes what the widest name needs from the two address columns on its
    // right, which keep room for a full dotted address. The last seven
    // columns stay at 0.
    static QList<int> columnWidths(const QTreeView &view);

private:
    std::array<QPixmap, 6> m_images;
    QStringList m_statusNames;
    QList<LocalAdapter> m_adapters;
};
