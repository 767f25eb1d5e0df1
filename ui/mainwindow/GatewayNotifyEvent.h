#pragma once

#include <QEvent>

// The main window's private notification: 0 refreshes the list, 1 is the
// completion message that ends the current wait. Posted, never sent, so it
// is handled by the event loop that runs the wait.
class GatewayNotifyEvent : public QEvent
{
public:
    static constexpr int Number = 0x10C6;
    enum Code : int { Refresh = 0, Completion = 1 };

    explicit GatewayNotifyEvent(int wParam)
        : QEvent(type())
        , m_wParam(wParam)
    {
    }

    int wParam() const { return m_wParam; }

    static QEvent::Type type()
    {
        static const auto registered = QEvent::Type(QEvent::registerEventType(Number));
        return registered;
    }

private:
    int m_wParam;
};
