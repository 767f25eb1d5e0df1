#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

// Keeps a window from taking mouse, keyboard, wheel and touch input while it
// stays drawn as it is: unlike disabling it, the list, the status line and
// every other control remain readable during a run.
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

    QPointer<QWidget> m_window;
    bool m_locked = false;
};
