#pragma once

#include "Telegrams.h"

#include <QString>
#include <QtGlobal>

class GatewayList;

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

// The setup write's fields as the editor holds them, for the gateway `macText`
// of type `typeCode`; the password settings are the caller's to add.
inline SetupWriteInput SetupWriteInputFrom(const EditorContents &editor, const QString &macText, quint32 typeCode)
{
    SetupWriteInput input;
    input.modeIndex = editor.modeIndex;
    input.portText = editor.portText;
    input.remoteAddressText = editor.remoteAddressText;
    input.allowedMaskText = editor.allowedMaskText;
    input.baudRateText = editor.baudRateText;
    input.dataBitsText = editor.dataBitsText;
    input.stopBitsText = editor.stopBitsText;
    input.parityIndex = editor.parityIndex;
    input.flowControlIndex = editor.flowControlIndex;
    input.macText = macText;
    input.typeCode = typeCode;
    return input;
}

// What a GatewaySocket needs of the window it works for. The main window
// implements it; tests use a fake.
class GatewaySocketOwner
{
public:
    virtual ~GatewaySocketOwner() = default;

    virtual GatewayList &gatewayList() = 0;
    virtual quint32 typeFilter() const = 0;
    virtual bool passwordProtection() const = 0;
    virtual QString password() const = 0;
    virtual EditorContents editorContents() const = 0;

    // Posts the completion message (notify code 1): the reply the current
    // wait is waiting for has been handled. Must be queued, not handled
    // inside the call.
    virtual void postCompletion() = 0;
};
