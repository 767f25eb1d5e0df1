#include "CommandMenu.h"

#include <QAbstractItemView>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

CommandMenu::CommandMenu(QWidget *control, const QString &accessibleName)
    : QObject(control)
    , m_control(control)
    , m_accessibleName(accessibleName)
{
    control->setContextMenuPolicy(Qt::DefaultContextMenu);
    control->installEventFilter(this);
    // A list takes the pointer's right click in its viewport.
    if (auto *view = qobject_cast<QAbstractItemView *>(control))
        view->viewport()->installEventFilter(this);
}

bool CommandMenu::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_control)
        return false;
    switch (event->type()) {
    case QEvent::ContextMenu: {
        const auto *request = static_cast<QContextMenuEvent *>(event);
        open(request->reason() == QContextMenuEvent::Mouse ? request->globalPos() : keyboardAnchor());
        return true;
    }
    case QEvent::KeyPress: {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (watched != m_control || key->key() != Qt::Key_F10 || key->modifiers() != Qt::ShiftModifier)
            return false;
        open(keyboardAnchor());
        return true;
    }
    default:
        return false;
    }
}

void CommandMenu::open(const QPoint &globalPos)
{
    if (m_control->actions().isEmpty())
        return;
    QMenu menu(m_control);
    menu.setAccessibleName(m_accessibleName);
    menu.addActions(m_control->actions());
    menu.exec(globalPos);
}

QPoint CommandMenu::keyboardAnchor() const
{
    if (auto *view = qobject_cast<QAbstractItemView *>(m_control.data())) {
        const QRect current = view->visualRect(view->currentIndex());
        if (current.isValid() && view->viewport()->rect().intersects(current))
            return view->viewport()->mapToGlobal(current.bottomLeft());
        return view->viewport()->mapToGlobal(QPoint(0, 0));
    }
    return m_control->mapToGlobal(QPoint(0, m_control->height()));
}
