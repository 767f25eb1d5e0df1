#include "GatewayConfigApp.h"

#include "GatewayListDialog.h"
#include "LanguageSwitch.h"
#include "PasswordStore.h"
#include "ProgramName.h"
#include "Texts.h"
#include "Settings.h"
#include "StringTable.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QMessageBox>
#include <QUdpSocket>

GatewayConfigApp::GatewayConfigApp(const QString &programPath, SocketCheck socketCheck)
    : m_programPath(programPath)
    , m_applicationName(ProgramName::applicationName(programPath))
    , m_socketCheck(std::move(socketCheck))
{
}

GatewayConfigApp::~GatewayConfigApp() = default;

int GatewayConfigApp::run()
{
    // The language comes first: every text and widget below is created in it.
    ApplyLanguageSwitch();
    QCoreApplication::setApplicationName(m_applicationName);

    if (!m_socketCheck || !m_socketCheck()) {
        QMessageBox box(QMessageBox::NoIcon, m_applicationName, StringTable::text(Text::SocketsUnavailable), QMessageBox::Ok);
        box.exec();
        return ExitNoSockets;
    }

    auto dialog = std::make_unique<GatewayListDialog>();
    if (!SelectVariant(*dialog)) {
        m_mainWindow = nullptr;
        return ExitNoVariant;
    }

    const auto variant = ProgramName::variant(m_programPath);
    m_settings = std::make_unique<Settings>(variant->variantIndex, m_applicationName);
    dialog->setProtectionFlag(m_settings->protectionFlag());
    // The password itself may be in the keyring: the window reads it when
    // it starts, without waiting here.
    m_passwordStore = std::make_unique<PasswordStore>(*m_settings);
    dialog->setPasswordStore(m_passwordStore.get());
    dialog->setBroadcastAddress(m_settings->broadcastAddress());
    dialog->setFastRefresh(m_settings->fastRefresh());
    dialog->setSettings(m_settings.get());

    m_mainWindow = dialog.get();
    dialog->exec();
    m_mainWindow = nullptr;
    m_passwordStore->waitForSave();
    return ExitNormal;
}

void GatewayConfigApp::ApplyLanguageSwitch()
{
    StringTable::setCurrentLanguage(LanguageSwitch::chooseLanguage());
}

bool GatewayConfigApp::SelectVariant(GatewayListDialog &dialog) const
{
    dialog.setVariant(-1, 0);
    const auto variant = ProgramName::variant(m_programPath);
    if (!variant)
        return false;
    dialog.setVariant(variant->variantIndex, variant->typeFilter);
    return true;
}

bool GatewayConfigApp::udpSocketsAvailable()
{
    QUdpSocket socket;
    return socket.bind(QHostAddress::LocalHost, 0);
}
