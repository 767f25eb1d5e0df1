#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QAbstractButton;
class QWidget;

// Keeps a window from taking mouse, keyboard, wheel and touch input while it
// stays drawn as it is: unlike disabling it, the list, the status line and
// every other control remain readable during a run. Its buttons are silenced
// too, because an assistive tool presses a button directly, without input
// events.
class InputLock : public QObject
{
    Q_OBJECT

public:
    explicit InputLock(QWidget *window);
    ~InputLock() override;

    void setLocked(bool locked);
    bool isLocked() const { return m_locked; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool belongsToWindow(QObject *object) const;
    void silenceButtons(bool silent);

    QPointer<QWidget> m_window;
    QList<QPointer<QAbstractButton>> m_silencedButtons;
    bool m_locked = false;
};
