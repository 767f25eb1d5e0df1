#include "TemplateDialog.h"

#include "DialogBuilder.h"
#include "DialogTemplate.h"

#include <QAbstractButton>
#include <QLineEdit>

namespace {

constexpr int OkButton = 1;
constexpr int CancelButton = 2;

} // namespace

TemplateDialog::TemplateDialog(const QString &resourcePath, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
{
    QString error;
    const std::optional<DialogTemplate> layout =
        DialogTemplate::load(resourcePath, StringTable::currentLanguage(), &error);
    if (!layout)
        qWarning("dialog layout %s unusable: %s", qPrintable(resourcePath), qPrintable(error));
    const DialogTemplate dialogTemplate = layout.value_or(DialogTemplate{});
    const DialogBuilder builder(dialogTemplate, this);
    m_controls = builder.numberedControls();
    setWindowTitle(dialogTemplate.caption);
    for (int i = 0; i < dialogTemplate.controls.size() && !m_firstTabStop; ++i) {
        if (dialogTemplate.controls.at(i).tabStop)
            m_firstTabStop = builder.controls().at(i);
    }

    if (auto *ok = qobject_cast<QAbstractButton *>(control(OkButton)))
        connect(ok, &QAbstractButton::clicked, this, [this] { OnOK(); });
    if (auto *cancel = qobject_cast<QAbstractButton *>(control(CancelButton)))
        connect(cancel, &QAbstractButton::clicked, this, &QDialog::reject);
}

QLineEdit *TemplateDialog::edit(int id) const
{
    return qobject_cast<QLineEdit *>(control(id));
}

int TemplateDialog::exec()
{
    OnInitDialog();
    return QDialog::exec();
}

bool TemplateDialog::OnInitDialog()
{
    if (m_firstTabStop)
        m_firstTabStop->setFocus();
    return true;
}

void TemplateDialog::OnOK()
{
    accept();
}
