#pragma once

#include "ControlSet.h"
#include "GatewayReading.h"
#include "WantedValues.h"
#include "WriteDecision.h"
#include "WriteEngine.h"
#include "WriteLink.h"

#include <QString>

#include <functional>
#include <optional>

class ConfigurationEditor;
class GatewayExchange;
class GatewayListDialog;

// "Set configuration": turns what the editor holds into the values wanted
// of the gateway its MAC address names and runs the write engine on it, a
// batch of one. The window is the engine's link: its list is what was read,
// its own refresh finds a DHCP lease and reads the result, each of up to four
// exchanges (IP-SETUP, OEM identity, subnet and default gateway,
// configuration record) has its own socket, wait and status text. The
// engine's result becomes the status line: what the gateway now reports of
// what the user asked for.
class ConfigurationWrite : private WriteLink
{
public:
    ConfigurationWrite(GatewayListDialog &window, ConfigurationEditor &editor, const ControlSet &controls);
    ~ConfigurationWrite() override;

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
        QString mac;
        int checkCode = 0; // above 0: the gateway gets its address and nothing else
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
    // Only the parts this run sends, as the engine takes them.
    ConfigurationChange wantedChange(bool addressChanges, quint32 addressValue, quint32 typeCode) const;
    // What the editor holds for a write; the same press again after a
    // warning about a taken address writes.
    QString pressKey() const;
    WriteEngine::Safeguards safeguards();
    // The engine's result in the status line and the journal.
    void showResult(const WriteEngine::Result &result, const QString &press);
    void refuse(const WritePlan &plan);
    // What the gateway reported and what the run will send, in the journal
    // before anything is sent; false (`error` set) when it cannot be written.
    bool recordSnapshot(const WriteReport &report, const WritePlan &plan, QString *error) const;
    void recordOutcome(const WriteReport &report, const QString &outcome, int status) const;

    // WriteLink: the window's list, refresh, exchanges and waits.
    ReadResult read(Purpose purpose) override;
    QList<bool> send(Kind kind, const QList<WriteExchanges::Target> &targets) override;
    void leaseFound(const GatewayReading &leased, WritePlan *pending) override;
    // One exchange with its own socket, status text and full wait.
    bool exchange(int sendingText, const std::function<bool(GatewayExchange &)> &request);
    void takeLease();
    void readAgain();
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
    // Where the gateway answers during the run: the IP text, after a switch
    // to DHCP the address its lease gave.
    QString m_ipText;
    QString m_writeAnyway; // the press that was warned of a taken address
};
