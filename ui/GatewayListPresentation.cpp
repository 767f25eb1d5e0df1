#include "GatewayListPresentation.h"

#include "Artwork.h"
#include "GatewayList.h"
#include "NoReplyDiagnosis.h"
#include "Telegrams.h"

GatewayListPresentation::GatewayListPresentation(const QStringList &rowStatusNames, QObject *parent)
    : QIdentityProxyModel(parent)
    , m_statusNames(rowStatusNames)
    , m_adapters(LocalAdapters())
{
    static_assert(RowStatusCount == 6);
    for (int status = 0; status < RowStatusCount; ++status)
        m_images[std::size_t(status)] = Artwork::statusImage(status);
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
    if (role == Qt::ToolTipRole) {
        const QString address = QIdentityProxyModel::data(index.siblingAtColumn(GatewayList::IpAddressColumn)).toString();
        if (!address.isEmpty() && !AdapterContaining(m_adapters, ParseDottedAddress(address)))
            return NoReplyDiagnosis::outsideSubnetText();
        return {};
    }
    return QIdentityProxyModel::data(index, role);
}
