#pragma once

#include "ExchangeWaits.h"
#include "TemplateDialog.h"

#include <QHash>
#include <QStringList>

#include <optional>

// Gives a gateway outside the local network a new address: the last two
// bytes of its MAC address and the new address go out as an IP-SETUP
// broadcast to every adapter broadcast address. No reply is awaited; the
// caller refreshes its list after OK.
class ResetIpDialog : public TemplateDialog
{
    Q_OBJECT

public:
    // The waits GatewayReset::send runs: after each telegram, and after the
    // last one.
    static constexpr int TelegramWaitMs = ExchangeWait::ResetTelegramMs;
    static constexpr int SettleWaitMs = ExchangeWait::ResetFinalMs;

    // `destinations`: the adapter broadcast list, sent to in its order.
    explicit ResetIpDialog(const QStringList &destinations, QWidget *parent = nullptr);

    // Checks the fields (each failure shows its message and keeps the dialog
    // open), then sends one telegram per destination, waits, and ends with
    // OK. Meanwhile the dialog takes no input but keeps painting.
    void OnOK() override;

    // One MAC byte as typed: one or two hexadecimal digits, "0x" allowed in
    // front, blanks around ignored; nothing for anything else.
    static std::optional<quint8> parseMacByte(const QString &text);
    // A dotted address of four decimal parts 0-255, or the word DHCP (any
    // case), which gives 0; blanks around ignored; nothing for anything else.
    static std::optional<quint32> parseNewAddress(const QString &text);

    bool isSending() const { return m_sending; }

    // The gateways the caller lists, address by MAC text: a new address one
    // of them has (other than the gateway named by the MAC's end) is refused
    // once, like an address another device answers on; OK again sends.
    void setListedGateways(const QHash<QString, quint32> &addressByMac) { m_listed = addressByMac; }

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showMessage(int stringNumber);
    // The MAC of another device holding `address`, or empty.
    QString holderOf(quint32 address, const QString &macTail);

    QStringList m_destinations;
    bool m_sending = false;
    // The check of the new address is running; a close meanwhile ends the
    // dialog without sending.
    bool m_checking = false;
    bool m_closedDuringCheck = false;
    QHash<QString, quint32> m_listed;
    QString m_sendAnyway; // the input that was warned of a taken address
};
