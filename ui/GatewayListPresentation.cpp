#include "GatewayListPresentation.h"

#include "Artwork.h"
#include "GatewayList.h"

#include <QGuiApplication>

GatewayListPresentation::GatewayListPresentation(const QStringList &rowStatusNames, QObject *parent)
    : QIdentityProxyModel(parent)
    , m_statusNames(rowStatusNames)
{
    static_assert(RowStatusCount == 6);
    const qreal density = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    for (int status = 0; status < RowStatusCount; ++status)
        m_images[std::size_t(status)] = Artwork::statusImage(status, Artwork::StatusImageSize, density);
}

QVariant GatewayListPresentation::data(const QModelIndex &index, int role) const
{
    if (index.column() == 0 && (role == Qt::DecorationRole || role == Qt::AccessibleDescriptionRole)) {
        const int status = QIdentityProxyModel::data(index, GatewayList::RowStatusRole).toInt();
        if (status < 0 || status >= RowStatusCount)
            return {};
        if (role == Qt::DecorationRole)
            return m_images[std::size_t(status)];
        return m_statusNames.value(status);
    }
    return QIdentityProxyModel::data(index, role);
}
