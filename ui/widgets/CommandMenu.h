#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

// The context menu of a control: the control's own actions, opened by the
// right mouse button, the Menu key or Shift+F10, and named for assistive
// tools. Opened from the keyboard it drops from the control (from the
// current row of a list), not from wherever the pointer happens to rest.
// The window's input lock keeps it shut while a run is in progress, as it
// keeps every other input out.
class CommandMenu : public QObject
{
    Q_OBJECT

public:
    CommandMenu(QWidget *control, const QString &accessibleName);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void open(const QPoint &globalPos);
    QPoint keyboardAnchor() const;

    QPointer<QWidget> m_control;
    QString m_accessibleName;
};
