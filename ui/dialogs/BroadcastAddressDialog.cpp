#include "BroadcastAddressDialog.h"

#include "Settings.h"

#include <QLineEdit>

namespace {

const QString TemplateResource = QStringLiteral(":/dialogs/dialog149.json");
constexpr int BroadcastAddressEdit = 1018;

} // namespace

BroadcastAddressDialog::BroadcastAddressDialog(const QString &broadcastAddress, Settings *settings,
                                               QWidget *parent)
    : TemplateDialog(TemplateResource, parent)
    , m_broadcastAddress(broadcastAddress)
    , m_settings(settings)
{
}

bool BroadcastAddressDialog::OnInitDialog()
{
    if (QLineEdit *field = edit(BroadcastAddressEdit))
        field->setText(m_broadcastAddress);
    return TemplateDialog::OnInitDialog();
}

void BroadcastAddressDialog::OnOK()
{
    // Taken as typed: a text that is no address makes discovery use the
    // adapters' broadcast addresses, which is a choice, not an error.
    const QLineEdit *field = edit(BroadcastAddressEdit);
    m_broadcastAddress = field ? field->text() : QString();
    // Other copies of the tool read an empty value as "every adapter", so it
    // is stored empty rather than as the address it stands for.
    if (m_settings)
        m_settings->setBroadcastAddress(m_broadcastAddress);
    if (m_broadcastAddress.isEmpty())
        m_broadcastAddress = Settings::DefaultBroadcastAddress;
    TemplateDialog::OnOK();
}
