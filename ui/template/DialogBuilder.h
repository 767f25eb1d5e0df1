#pragma once

#include "DialogTemplate.h"
#include "DialogUnits.h"

#include <QHash>
#include <QList>

class QWidget;

// Creates the controls of a dialog template as children of a dialog: each in
// its place, with its caption, object name, control number (dynamic property
// "controlId"), accessible name and description, in the template's tab order.
class DialogBuilder
{
public:
    static constexpr const char *ControlIdProperty = "controlId";
    // On a hint: the control it explains.
    static constexpr const char *DescribesProperty = "describesControl";
    // The place in pixels the template gives a control.
    static constexpr const char *TemplateGeometryProperty = "templateGeometry";

    // Sets the dialog's font and fixed size, then builds the controls.
    DialogBuilder(const DialogTemplate &dialogTemplate, QWidget *dialog);

    const DialogUnits &units() const { return m_units; }
    // Numbered controls by number; null for a number the template lacks.
    QWidget *control(int id) const { return m_numbered.value(id); }
    const QHash<int, QWidget *> &numberedControls() const { return m_numbered; }
    // Every control, numbered or not, in template order.
    const QList<QWidget *> &controls() const { return m_all; }

    // A labelled control takes its accessible name from its label, and a
    // control with a hint beside it its accessible description from the
    // hint; call this after changing the text of a label or hint.
    static void syncAccessibleTexts(QWidget *label);
    // Gives a one-line label the width its text needs, keeping the edge its
    // text is aligned to; call this after changing the label's text.
    static void fitLabel(QWidget *label);

private:
    QWidget *create(const TemplateControl &entry, QWidget *dialog);
    void connectLabels(const DialogTemplate &dialogTemplate);
    void chainTabOrder(const DialogTemplate &dialogTemplate);

    DialogUnits m_units;
    QHash<int, QWidget *> m_numbered;
    QList<QWidget *> m_all;
};
