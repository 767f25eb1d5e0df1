#pragma once

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

// Drives the modal dialogs a test opens: `action` runs once the modal widget
// of type T is up (looked for every 10 ms, given up after `timeoutMs`). Set
// it up before the call that opens the dialog.
template <class T>
void whenModal(std::function<void(T *)> action, int timeoutMs = 10000)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(poll, &QTimer::timeout, [poll, clock, action, timeoutMs] {
        auto *modal = qobject_cast<T *>(QApplication::activeModalWidget());
        if (!modal && clock->elapsed() < timeoutMs)
            return;
        poll->stop();
        poll->deleteLater();
        if (modal)
            action(modal);
    });
    poll->start();
}

// Saves a picture of `widget` as <name>.png in the folder GWCFG_SCREENSHOT_DIR
// names, for a look by eye; does nothing when it is not set.
inline void saveScreenshotIfAsked(QWidget *widget, const QString &name)
{
    const QString folder = qEnvironmentVariable("GWCFG_SCREENSHOT_DIR");
    if (!folder.isEmpty())
        widget->grab().save(QDir(folder).filePath(name + QStringLiteral(".png")));
}
