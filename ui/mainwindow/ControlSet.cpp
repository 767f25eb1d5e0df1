#include "ControlSet.h"

#include "DialogBuilder.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

QLineEdit *ControlSet::edit(Control id) const
{
    return qobject_cast<QLineEdit *>(widget(id));
}

QComboBox *ControlSet::combo(Control id) const
{
    return qobject_cast<QComboBox *>(widget(id));
}

QLabel *ControlSet::label(Control id) const
{
    return qobject_cast<QLabel *>(widget(id));
}

QString ControlSet::text(Control id) const
{
    if (const QLineEdit *field = edit(id))
        return field->text();
    if (const QLabel *target = label(id))
        return target->text();
    return QString();
}

void ControlSet::setText(Control id, const QString &text) const
{
    if (QLineEdit *field = edit(id))
        field->setText(text);
}

int ControlSet::currentIndex(Control id) const
{
    const QComboBox *box = combo(id);
    return box ? box->currentIndex() : -1;
}

void ControlSet::setCurrentIndex(Control id, int index) const
{
    if (QComboBox *box = combo(id))
        box->setCurrentIndex(index);
}

bool ControlSet::isShown(Control id) const
{
    const QWidget *control = widget(id);
    return control && control->isVisibleTo(control->window());
}

void ControlSet::show(std::initializer_list<Control> ids, bool visible) const
{
    for (Control id : ids) {
        if (QWidget *control = widget(id))
            control->setVisible(visible);
    }
}

void ControlSet::enable(std::initializer_list<Control> ids, bool enabled) const
{
    for (Control id : ids) {
        if (QWidget *control = widget(id))
            control->setEnabled(enabled);
    }
}

void ControlSet::setLabelText(Control id, const QString &text) const
{
    if (QLabel *target = label(id)) {
        target->setText(text);
        DialogBuilder::syncAccessibleTexts(target);
        DialogBuilder::fitLabel(target);
    }
}
