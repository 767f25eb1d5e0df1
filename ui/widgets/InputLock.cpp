#include "InputLock.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace {

bool isInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::InputMethod:
        return true;
    default:
        return false;
    }
}

} // namespace

InputLock::InputLock(QWidget *window)
    : QObject(window)
    , m_window(window)
{
}

InputLock::~InputLock()
{
    setLocked(false);
}

void InputLock::setLocked(bool locked)
{
    if (locked == m_locked || !QCoreApplication::instance())
        return;
    m_locked = locked;
    // Application-wide, because input goes to whichever child is under the
    // pointer or holds the focus, and children may come and go meanwhile.
    if (locked)
        QCoreApplication::instance()->installEventFilter(this);
    else
        QCoreApplication::instance()->removeEventFilter(this);
    silenceButtons(locked);
}

void InputLock::silenceButtons(bool silent)
{
    if (silent && m_window) {
        for (QAbstractButton *button : m_window->findChildren<QAbstractButton *>()) {
            if (!button->signalsBlocked()) {
                button->blockSignals(true);
                m_silencedButtons.append(button);
            }
        }
    } else if (!silent) {
        for (const QPointer<QAbstractButton> &button : std::as_const(m_silencedButtons)) {
            if (button)
                button->blockSignals(false);
        }
        m_silencedButtons.clear();
    }
}

bool InputLock::eventFilter(QObject *watched, QEvent *event)
{
    return m_locked && isInput(event->type()) && belongsToWindow(watched);
}

bool InputLock::belongsToWindow(QObject *object) const
{
    if (!m_window)
        return false;
    if (auto *widget = qobject_cast<QWidget *>(object))
        return widget->window() == m_window;
    if (auto *window = qobject_cast<QWindow *>(object))
        return window == m_window->windowHandle();
    return false;
}
