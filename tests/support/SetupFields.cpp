#include "SetupFields.h"

namespace {

template <typename Target>
Target filledFrom(const SetupFields &fields)
{
    Target target;
    target.modeIndex = fields.modeIndex;
    target.portText = QString::fromLatin1(fields.port);
    target.remoteAddressText = QString::fromLatin1(fields.remoteAddress);
    target.allowedMaskText = QString::fromLatin1(fields.allowedMask);
    target.baudRateText = QString::fromLatin1(fields.baudRate);
    target.dataBitsText = QString::fromLatin1(fields.dataBits);
    target.stopBitsText = QString::fromLatin1(fields.stopBits);
    target.parityIndex = fields.parityIndex;
    target.flowControlIndex = fields.flowControlIndex;
    return target;
}

} // namespace

SetupWriteInput SetupFields::writeInput(const char *macText, quint32 typeCode, bool passwordProtection,
                                        const QString &password) const
{
    SetupWriteInput input = filledFrom<SetupWriteInput>(*this);
    input.macText = QString::fromLatin1(macText);
    input.typeCode = typeCode;
    input.passwordProtection = passwordProtection;
    input.password = password;
    return input;
}
