#include "GatewayListPresentation.h"

#include "Artwork.h"
#include "DeviceTables.h"
#include "DialogUnits.h"
#include "GatewayList.h"
#include "NoReplyDiagnosis.h"
#include "StringTable.h"
#include "Telegrams.h"

#include <QGuiApplication>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTreeView>

namespace {

// Base-unit width of the font the column widths were chosen for.
constexpr int DesignedBaseX = 6;

// In pixels; the last seven columns carry values for the editor and stay
// invisible.
constexpr std::array<int, GatewayList::ColumnCount> DesignedColumnWidths{
    127, 110, 110, 75, 50, 110, 110, 0, 0, 0, 0, 0, 0, 0};

} // namespace

GatewayListPresentation::GatewayListPresentation(const QStringList &rowStatusNames, QObject *parent)
    : QIdentityProxyModel(parent)
    , m_statusNames(rowStatusNames)
    , m_adapters(LocalAdapters())
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
    if (role == Qt::ToolTipRole) {
        const QString address = QIdentityProxyModel::data(index.siblingAtColumn(GatewayList::IpAddressColumn)).toString();
        if (!address.isEmpty() && !AdapterContaining(m_adapters, ParseDottedAddress(address)))
            return NoReplyDiagnosis::outsideSubnetText();
        return {};
    }
    return QIdentityProxyModel::data(index, role);
}

QList<int> GatewayListPresentation::columnWidths(const QTreeView &view)
{
    const DialogUnits units = DialogUnits::forFont(view.font());
    QList<int> widths;
    for (int designed : DesignedColumnWidths)
        widths.append(DialogUnits::mulDiv(designed, units.baseX(), DesignedBaseX));

    // The room a cell asks for, as the list's delegate measures it.
    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.font = view.font();
    option.fontMetrics = view.fontMetrics();
    option.decorationSize = view.iconSize();
    const auto cellWidth = [&view, &option](const QString &text) {
        option.text = text;
        return view.style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), &view).width();
    };

    option.features = QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
    int typeNeeds = cellWidth(QStringLiteral("???"));
    for (const DeviceType &type : DeviceTypeTable)
        typeNeeds = qMax(typeNeeds, cellWidth(loadString(type.nameString)));
    option.features = QStyleOptionViewItem::HasDisplay;
    const int addressNeeds = cellWidth(QStringLiteral("255.255.255.255"));

    for (int donor : {int(GatewayList::RemoteIpColumn), int(GatewayList::IpMaskColumn)}) {
        const int missing = typeNeeds - widths[GatewayList::TypeColumn];
        const int given = qBound(0, missing, widths[donor] - addressNeeds);
        widths[donor] -= given;
        widths[GatewayList::TypeColumn] += given;
    }
    return widths;
}
