#pragma once

#include "ControlSet.h"
#include "GatewayReading.h"
#include "WantedValues.h"
#include "WriteDecision.h"

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
    // What the user asked for, fixed when the button is pressed and before
    // anything is sent: a refresh during the run (the switch to DHCP) empties
    // the editor, which must neither widen the write nor change what the
    // outcome is judged against.
    struct Request
    {
        bool setupWrite = false;
        // The parts of the record the user could see; only these are
        // expected back.
        bool allowedMaskShown = false;
        bool serialShown = false;
        // The subnet fields as typed, and whether they differ from what
        // the gateway's row showed.
        QString subnetMaskText;
        QString defaultGatewayText;
        bool subnetTyped = false;
        std::optional<quint32> oemType;
        // The address the gateway's row showed.
        quint32 shownAddressValue = 0;
    };

    // What a run handed to the network, to be compared with what the
    // gateway reports afterwards.
    struct Written
    {
        bool address = false;
        bool toDhcp = false;
        quint32 addressValue = 0;
        bool identity = false;
        bool network = false;
        QString subnetMaskText;
        QString defaultGatewayText;
        std::optional<GatewayReading> setup; // the record's values
    };

    int refusedInput(bool setupWillRun) const;
    // Fills m_request; a text number when the record would go out with
    // fields nobody read or typed.
    int takeRequest(const QString &mac, bool setupShown, bool addressChanges);
    // The entry of a serial combo box that loading a row with this column
    // text selects.
    int loadedEntry(Control id, const QString &columnText) const;
    // The exchanges of this run or why none may go out. A new fixed address
    // that another listed gateway or another device on the link already has
    // is refused once; the same press again writes.
    WritePlan decide(const QString &mac, quint32 addressValue, bool addressChanges, quint32 typeCode);
    // The MAC address (or this computer) that answers on the link at `addressValue`.
    QString probedHolder(quint32 addressValue);
    // The refusal in the window's status line.
    void refuse(const WritePlan &plan);
    // What the gateway reported and what the run will send, in the journal
    // before anything is sent; false (and said) when it cannot be written.
    bool recordSnapshot(const WritePlan &plan);
    void recordOutcome(const QString &mac, const QString &outcome, int status);
    bool runIpSetup(quint32 addressValue, const QString &mac);
    void switchToDhcp(const QString &mac, quint32 *addressValue, QString *ipText);
    bool runIdentityWrite(const QString &ipText);
    bool runNetworkWrite(const QString &ipText);
    bool runSetupWrite(const QString &ipText, const QString &mac, quint32 typeCode);
    void refreshAndSelect(const QString &ipText, const QString &mac);
    int outcome(const QString &ipText, const QString &mac) const;
    bool addressTaken(const GatewayReading &reported, const QString &ipText) const;
    // What the gateway should now report of what the user asked for.
    ConfigurationChange expectedChange(const GatewayReading &reported) const;

    GatewayListDialog &m_window;
    ConfigurationEditor &m_editor;
    ControlSet m_controls;
    Request m_request;
    Written m_written;
    QString m_writeAnyway; // the press that was warned of a taken address
    QString m_journalId;
};
