#pragma once

#include "Telegrams.h"

// The setup fields of the editor in the order the dialog lists them, as a
// person types or picks them, so a test writes a whole record down in one
// line and turns it into the input of BuildSetupWrite.
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

    // Read as the window reads its editor: numbers as atoi does, addresses
    // with ParseDottedAddress, each value cut to the width of its field, so
    // an index of -1 (nothing selected) becomes 0xFF.
    SetupWriteInput writeInput(const char *macText, quint32 typeCode, bool passwordProtection,
                               const QString &password) const;
};
