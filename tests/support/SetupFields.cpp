#include "SetupFields.h"

namespace {

int decimal(const char *text)
{
    return ParseDecimalInt(QString::fromLatin1(text));
}

quint32 address(const char *text)
{
    return ParseDottedAddress(QString::fromLatin1(text));
}

} // namespace

SetupWriteInput SetupFields::writeInput(const char *macText, quint32 typeCode, bool passwordProtection,
                                        const QString &password) const
{
    SetupWriteInput input;
    input.mode = quint8(modeIndex);
    input.port = quint16(decimal(port));
    input.remoteAddress = address(remoteAddress);
    input.allowedMask = address(allowedMask);
    input.baudRate = quint32(decimal(baudRate));
    input.dataBits = quint8(decimal(dataBits));
    input.stopBits = quint8(decimal(stopBits));
    input.parity = quint8(parityIndex);
    input.flowControl = quint8(flowControlIndex);
    input.macText = QString::fromLatin1(macText);
    input.typeCode = typeCode;
    input.passwordProtection = passwordProtection;
    input.password = password;
    return input;
}
