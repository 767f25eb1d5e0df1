#include "EditorContents.h"

namespace EditorValues {

GatewayReading record(const EditorContents &editor, quint32 typeCode)
{
    GatewayReading values;
    values.typeCode = typeCode;
    values.recordRead = true;
    values.modeByte = quint8(editor.modeIndex);
    values.port = quint16(ParseDecimalInt(editor.portText));
    values.remoteAddress = ParseDottedAddress(editor.remoteAddressText);
    values.remoteMask = ParseDottedAddress(editor.allowedMaskText);
    values.baudRate = ParseDecimalInt(editor.baudRateText);
    values.dataBits = ParseDecimalInt(editor.dataBitsText);
    values.stopBits = ParseDecimalInt(editor.stopBitsText);
    values.parity = editor.parityIndex;
    values.flowControl = editor.flowControlIndex;
    return values;
}

int hostBits(const EditorContents &editor)
{
    return HostBitsFromMask(ParseDottedAddress(editor.subnetMaskText));
}

quint32 defaultGateway(const EditorContents &editor)
{
    return ParseDottedAddress(editor.defaultGatewayText);
}

quint32 oemType(const EditorContents &editor)
{
    return ParseOemTypeText(editor.oemTypeText);
}

} // namespace EditorValues
