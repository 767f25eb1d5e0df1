#pragma once

#include "TemplateDialog.h"

class Settings;

// Edits the broadcast address that discovery uses. OK stores the text as
// typed (an empty text as an empty value) and leaves the address to use in
// broadcastAddress(): the typed text, or "255.255.255.255" when it is empty.
class BroadcastAddressDialog : public TemplateDialog
{
    Q_OBJECT

public:
    // `settings` receives the value on OK; may be null.
    BroadcastAddressDialog(const QString &broadcastAddress, Settings *settings, QWidget *parent = nullptr);

    QString broadcastAddress() const { return m_broadcastAddress; }

    bool OnInitDialog() override;
    void OnOK() override;

private:
    QString m_broadcastAddress;
    Settings *m_settings;
};
