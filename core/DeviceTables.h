#pragma once

#include "Texts.h"

#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

// The device types the program knows, as gateways report them in their
// identity reply, with the communication modes each type allows.
struct DeviceType
{
    quint32 typeCode;
    int nameString;          // string number of the type's name
    quint32 allowedModesMask; // one bit per mode, see modeBit()
};

inline constexpr std::array<DeviceType, 6> DeviceTypeTable{{
    {0x00000001, Text::EibGatewayName, 0x0F},
    {0x00020001, Text::EnOceanGatewayName, 0x08},
    {0x00000003, Text::ZoneUnitName, 0x08},
    {0x00010001, Text::KnxGatewayName, 0x08},
    {0x00030001, Text::ScanGatewayName, 0x02},
    {0x00030002, Text::SerialGatewayName, 0x0A},
}};

// The product variants one executable serves, chosen by its file name.
struct ProductVariant
{
    int variantIndex;
    quint32 typeFilter;       // 0 = every type of DeviceTypeTable
    const char *executableName; // upper case, extension included
};

inline constexpr std::array<ProductVariant, 7> VariantTable{{
    {0, 0x00000000, "OVIPGWADMIN.EXE"},
    {1, 0x00010001, "PLN-KNX_IPCONFIG.EXE"},
    {2, 0x00000000, "OVIPGWCONFIG.EXE"},
    {3, 0x00020001, "OVENOCEANIPCONFIG.EXE"},
    {4, 0x00000003, "VZUIPCONFIG.EXE"},
    {5, 0x00030001, "VSCANGWCONFIG.EXE"},
    {6, 0x00030002, "VSERIALGWCONFIG.EXE"},
}};

// Type codes the rest of the program singles out.
inline constexpr quint32 EnOceanGatewayType = 0x00020001;
inline constexpr quint32 ScanGatewayType = 0x00030001;
inline constexpr quint32 SerialGatewayType = 0x00030002;

inline constexpr int ModeCount = 4;

// The device type with `typeCode`, or nothing when the table has none.
std::optional<DeviceType> findDeviceType(quint32 typeCode);

// Bit of a mode index in an allowed-modes mask: 0 -> 0x08 ... 3 -> 0x01;
// anything else (no selection is -1) gives 0, which no mask contains.
quint32 modeBit(int modeIndex);

// The variant whose executable name equals `upperCaseFileName` exactly.
std::optional<ProductVariant> findVariant(const QString &upperCaseFileName);

// OEM combo box entry of a type: "%02x %02x %02x %02x (%s)".
QString oemEntryText(const DeviceType &type);
