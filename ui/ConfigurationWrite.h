#pragma once

#include "ControlSet.h"
#include "Telegrams.h"

#include <QString>

#include <memory>
#include <optional>

class ConfigurationEditor;
class GatewayExchange;
class GatewayListDialog;

// "Set configuration": writes what the editor holds to the gateway its MAC
// address names, in up to four exchanges (IP-SETUP, OEM identity, subnet
// and default gateway, configuration record), each with its own socket and
// wait, then refreshes the list, selects the gateway again and tells from
// what the gateway now reports whether it took the configuration.
class ConfigurationWrite
{
public:
    ConfigurationWrite(GatewayListDialog &window, ConfigurationEditor &editor, const ControlSet &controls);
    ~ConfigurationWrite();

    // One run; reports in the status line and never closes the window.
    void OnOK();
    // Reads one row again after a write (the variant that does not refresh
    // the whole list); true when it was identified and read uncorrupted.
    bool RereadGatewayRow(int row, const QString &ipText);

private:
    // What a run handed to the network, to be compared with what the
    // gateway reports afterwards.
    struct Written
    {
        bool address = false;
        bool toDhcp = false;
        quint32 addressValue = 0;
        bool network = false;
        QString subnetMaskText;
        QString defaultGatewayText;
        std::optional<SetupRecord> setup;
    };

    int refusedInput(bool setupWillRun) const;
    bool modeAllowed(const QString &mac, quint32 typeCode) const;
    bool runIpSetup(quint32 addressValue, const QString &mac);
    void switchToDhcp(const QString &mac, quint32 *addressValue, QString *ipText);
    bool runIdentityWrite(const QString &ipText);
    bool runNetworkWrite(const QString &ipText);
    bool runSetupWrite(const QString &ipText, const QString &mac, quint32 typeCode);
    void refreshAndSelect(const QString &ipText, const QString &mac);
    int outcome(const QString &ipText, const QString &mac) const;
    int setupOutcome(int row) const;
    int networkOutcome(int row) const;

    GatewayListDialog &m_window;
    ConfigurationEditor &m_editor;
    ControlSet m_controls;
    Written m_written;
};
