#include "PasswordSettingsDialog.h"

#include "StringTable.h"
#include "Texts.h"
#include "Windows1252.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>

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
    QLineEdit *field = edit(PasswordEdit);
    if (field) {
        m_password = field->text();
        showRefusal(field, QString());
    }
    if (m_flag == 1 && m_password.isEmpty()) {
        QApplication::beep();
        emit inputRefused();
        return;
    }
    // The digest and the export know only the code page's characters and
    // turn every other one into '?', so any two Cyrillic passwords of one
    // length would unlock the same gateway. Without protection no digest is
    // made, and refusing there would keep the user from switching it off.
    if (m_flag == 1 && !isWindows1252Encodable(m_password)) {
        QApplication::beep();
        if (field)
            showRefusal(field, loadString(Text::PasswordOutsideCodePage));
        emit inputRefused();
        return;
    }
    TemplateDialog::OnOK();
}

void PasswordSettingsDialog::showRefusal(QLineEdit *field, const QString &reason)
{
    // The beep is silent on many desktops, and a tip would vanish with the
    // release of the key or button that pressed OK: the reason is said in a
    // message, and stays at the edit for the eye and for assistive tools
    // until the next OK.
    field->setToolTip(reason);
    field->setAccessibleDescription(reason);
    if (reason.isEmpty())
        return;
    QMessageBox box(QMessageBox::Warning, windowTitle(), reason, QMessageBox::Ok, this);
    box.exec();
}
