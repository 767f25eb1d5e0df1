#pragma once

#include "GatewayReading.h"

#include <QString>
#include <QtGlobal>

// Current contents of the editor controls that writes read at the moment
// they run (control numbers of the main window in brackets).
struct EditorContents
{
    int modeIndex = 0;           // [1001] selected index, -1 = none
    QString portText;            // [1107]
    QString remoteAddressText;   // [1109]
    QString allowedMaskText;     // [1110]
    QString baudRateText;        // [1015] text of the selected entry
    QString dataBitsText;        // [1018]
    QString stopBitsText;        // [1022]
    int parityIndex = -1;        // [1026]
    int flowControlIndex = -1;   // [1024]
    QString oemTypeText;         // [1012]
    QString subnetMaskText;      // [1111]
    QString defaultGatewayText;  // [1020]
};

// The values the editor's fields give, as a write stores them: numbers as
// the leading decimal number of their text, addresses with the platform's
// dotted reading, an unselected combo box as 0xFF.
namespace EditorValues {

// The configuration record for a gateway of `typeCode`.
GatewayReading record(const EditorContents &editor, quint32 typeCode);
// The subnet write's host bits and default gateway.
int hostBits(const EditorContents &editor);
quint32 defaultGateway(const EditorContents &editor);
// The type code the OEM combo box names.
quint32 oemType(const EditorContents &editor);

} // namespace EditorValues
