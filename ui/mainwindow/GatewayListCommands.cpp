// The main window's commands that open the auxiliary dialogs and the
// export: password settings, broadcast address, reset of a gateway's IP
// address, list export.

#include "BroadcastAddressDialog.h"
#include "GatewayListDialog.h"
#include "GatewayListExport.h"
#include "MainWindowControls.h"
#include "PasswordSettingsDialog.h"
#include "PasswordStore.h"
#include "ResetIpDialog.h"
#include "Settings.h"

#include <QAbstractButton>

void GatewayListDialog::connectCommands()
{
    const std::pair<Control, void (GatewayListDialog::*)()> commands[] = {
        {Control::ExportButton, &GatewayListDialog::OnExportList},
        {Control::PasswordButton, &GatewayListDialog::OnPassword},
        {Control::BroadcastButton, &GatewayListDialog::OnBroadcastAddress},
        {Control::ResetIpButton, &GatewayListDialog::OnResetIp},
    };
    for (const auto &[id, handler] : commands) {
        if (auto *button = qobject_cast<QAbstractButton *>(control(id)))
            connect(button, &QAbstractButton::clicked, this, handler);
    }
    connectHistory();
}

void GatewayListDialog::OnPassword()
{
    PasswordSettingsDialog dialog(this);
    dialog.setPassword(m_password);
    dialog.setProtectionFlag(m_protectionFlag);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_password = dialog.password();
    m_protectionFlag = dialog.protectionFlag();
    // Written on every OK, changed or not. The password goes to the desktop
    // keyring where there is one (a PW left in the settings moves there
    // with it), else it stays in the settings in clear text, as every copy
    // of the tool reads it; that store is its owner's alone. The keyring's
    // answer is not waited for: the new password is in force at once.
    if (m_settings)
        m_settings->setProtectionFlag(m_protectionFlag);
    if (m_passwordStore)
        m_passwordStore->save(m_password);
    else if (m_settings)
        m_settings->setPassword(m_password);
    UpdatePasswordStatus();
}

void GatewayListDialog::OnBroadcastAddress()
{
    BroadcastAddressDialog dialog(m_broadcastAddress, m_settings, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_broadcastAddress = dialog.broadcastAddress();
    OnRefreshList();
}

void GatewayListDialog::OnResetIp()
{
    ResetIpDialog dialog(m_adapterBroadcastList, this);
    QHash<QString, quint32> listed;
    for (int row = 0; row < m_gatewayList.count(); ++row)
        listed.insert(m_gatewayList.cellText(row, GatewayList::MacAddressColumn),
                      ParseDottedAddress(m_gatewayList.cellText(row, GatewayList::IpAddressColumn)));
    dialog.setListedGateways(listed);
    if (dialog.exec() == QDialog::Accepted)
        OnRefreshList();
}

void GatewayListDialog::OnExportList()
{
    GatewayListExport(m_gatewayList, m_protectionFlag, m_password).OnExportList(this);
}
