#pragma once

#include "MainWindowControls.h"

#include <QHash>
#include <QString>

#include <array>
#include <initializer_list>

class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

// The main window's numbered controls, reached by name. Every accessor
// tolerates a control the template lacks (null, or nothing done), so a
// damaged layout resource degrades the window instead of crashing it.
class ControlSet
{
public:
    ControlSet() = default;
    explicit ControlSet(QHash<int, QWidget *> controls)
        : m_controls(std::move(controls))
    {
    }

    QWidget *widget(int number) const { return m_controls.value(number); }
    QWidget *widget(Control id) const { return widget(controlNumber(id)); }
    QLineEdit *edit(Control id) const;
    QComboBox *combo(Control id) const;
    QLabel *label(Control id) const;

    // The edit's text; empty when the control is missing.
    QString text(Control id) const;
    void setText(Control id, const QString &text) const;
    // Selected entry of a combo box, -1 for none or a missing control.
    int currentIndex(Control id) const;
    void setCurrentIndex(Control id, int index) const;
    // Whether the control shows when its window does (the window itself
    // may not be shown yet, as in tests).
    bool isShown(Control id) const;

    void show(std::initializer_list<Control> ids, bool visible) const;
    template <std::size_t N>
    void show(const std::array<Control, N> &ids, bool visible) const
    {
        for (Control id : ids)
            show({id}, visible);
    }
    void enable(std::initializer_list<Control> ids, bool enabled) const;
    template <std::size_t N>
    void enable(const std::array<Control, N> &ids, bool enabled) const
    {
        for (Control id : ids)
            enable({id}, enabled);
    }
    // Sets a label's or hint's text and keeps its accessible texts and its
    // width in step with it.
    void setLabelText(Control id, const QString &text) const;

private:
    QHash<int, QWidget *> m_controls;
};
