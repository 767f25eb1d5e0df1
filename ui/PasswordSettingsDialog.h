#pragma once

#include "TemplateDialog.h"

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
    // password is refused with a beep and the dialog stays open.
    void OnOK() override;

signals:
    // The input was refused (after the beep).
    void inputRefused();

private:
    int m_flag = 0;
    QString m_password;
};
