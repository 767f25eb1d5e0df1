#include "DeviceTables.h"

#include "StringTable.h"

std::optional<DeviceType> findDeviceType(quint32 typeCode)
{
    for (const DeviceType &type : DeviceTypeTable) {
        if (type.typeCode == typeCode)
            return type;
    }
    return std::nullopt;
}

quint32 modeBit(int modeIndex)
{
    if (modeIndex < 0 || modeIndex >= ModeCount)
        return 0;
    return 0x08u >> modeIndex;
}

std::optional<ProductVariant> findVariant(const QString &upperCaseFileName)
{
    for (const ProductVariant &variant : VariantTable) {
        if (upperCaseFileName == QLatin1String(variant.executableName))
            return variant;
    }
    return std::nullopt;
}

QString oemEntryText(const DeviceType &type)
{
    const quint32 code = type.typeCode;
    return QStringLiteral("%1 %2 %3 %4 (%5)")
        .arg((code >> 24) & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((code >> 16) & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((code >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
        .arg(code & 0xFF, 2, 16, QLatin1Char('0'))
        .arg(StringTable::text(type.nameString));
}
