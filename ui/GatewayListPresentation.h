#pragma once

#include <QIdentityProxyModel>
#include <QPixmap>
#include <QStringList>

#include "LocalAdapters.h"

#include <array>

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

private:
    std::array<QPixmap, 6> m_images;
    QStringList m_statusNames;
    QList<LocalAdapter> m_adapters;
};
