#pragma once

#include "TemplateDialog.h"

class QLineEdit;

// Shows and edits the protection flag and the configuration password. The
// caller sets both before the dialog runs and reads them back after OK;
// storing them is the caller's business.
class PasswordSettingsDialog : public TemplateDialog
{
    Q_OBJECT

public:
    explicit PasswordSettingsDialog(QWidget *parent = nullptr);

    int protectionFlag() const { return m_flag; }
    void setProtectionFlag(int flag) { m_flag = flag; }
    QString password() const { return m_password; }
    void setPassword(const QString &password) { m_password = password; }

    // Ticks the box for any non-zero flag and shows the password in clear.
    bool OnInitDialog() override;
    // Takes the box and the password as typed; protection without a
    // password is refused with a beep and the dialog stays open, and so is
    // protection with a password with characters outside code page 1252,
    // with the reason shown at the edit.
    void OnOK() override;

signals:
    // The input was refused (after the beep).
    void inputRefused();

private:
    // Shows `reason` at the edit and keeps it there; empty clears it.
    void showRefusal(QLineEdit *field, const QString &reason);

    int m_flag = 0;
    QString m_password;
};
