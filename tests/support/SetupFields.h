#pragma once

#include "Telegrams.h"

// The setup fields of the editor in the order the dialog lists them, so a
// test writes a whole record down in one line and fills either the input of
// BuildSetupWrite.
struct SetupFields
{
    int modeIndex = 0;
    const char *port = "";
    const char *remoteAddress = "";
    const char *allowedMask = "";
    const char *baudRate = "";
    const char *dataBits = "";
    const char *stopBits = "";
    int parityIndex = 0;
    int flowControlIndex = 0;

    SetupWriteInput writeInput(const char *macText, quint32 typeCode, bool passwordProtection,
                               const QString &password) const;
};
