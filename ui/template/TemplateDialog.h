#pragma once

#include <QDialog>
#include <QHash>

class QLineEdit;

// A modal dialog laid out from a two-language template resource. Button 1
// is OK and runs OnOK, button 2 is Cancel; Escape and the close box cancel
// as with any dialog. Subclasses fill their controls in OnInitDialog and
// take the input over in OnOK.
class TemplateDialog : public QDialog
{
    Q_OBJECT

public:
    // A control by its template number; null for an unknown number.
    QWidget *control(int id) const { return m_controls.value(id); }
    QLineEdit *edit(int id) const;

    // Runs OnInitDialog, then the modal loop.
    int exec() override;

    // Puts the focus on the first tab-stop control. Runs once per exec.
    virtual bool OnInitDialog();
    // Ends the dialog with OK; a subclass checks and takes its input first.
    virtual void OnOK();

protected:
    // Builds the controls of `resourcePath` in the language in force; the
    // template's caption becomes the window title.
    TemplateDialog(const QString &resourcePath, QWidget *parent);

private:
    QHash<int, QWidget *> m_controls;
    QWidget *m_firstTabStop = nullptr;
};
