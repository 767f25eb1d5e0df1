#include "PasswordSettingsDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>

namespace {

const QString TemplateResource = QStringLiteral(":/dialogs/dialog140.json");
constexpr int ProtectionCheckBox = 1014;
constexpr int PasswordEdit = 1015;

} // namespace

PasswordSettingsDialog::PasswordSettingsDialog(QWidget *parent)
    : TemplateDialog(TemplateResource, parent)
{
}

bool PasswordSettingsDialog::OnInitDialog()
{
    if (auto *box = qobject_cast<QCheckBox *>(control(ProtectionCheckBox)))
        box->setChecked(m_flag != 0);
    if (QLineEdit *field = edit(PasswordEdit))
        field->setText(m_password);
    return TemplateDialog::OnInitDialog();
}

void PasswordSettingsDialog::OnOK()
{
    const auto *box = qobject_cast<QCheckBox *>(control(ProtectionCheckBox));
    m_flag = box && box->isChecked() ? 1 : 0;
    // Taken whether or not the box is ticked, so a password typed with
    // protection off is kept as well.
    if (const QLineEdit *field = edit(PasswordEdit))
        m_password = field->text();
    if (m_flag == 1 && m_password.isEmpty()) {
        QApplication::beep();
        emit inputRefused();
        return;
    }
    TemplateDialog::OnOK();
}
