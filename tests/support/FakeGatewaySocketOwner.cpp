#include "FakeGatewaySocketOwner.h"

#include <QMetaObject>

FakeGatewaySocketOwner::FakeGatewaySocketOwner(QObject *parent)
    : QObject(parent)
{
}

void FakeGatewaySocketOwner::postCompletion()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            ++m_completions;
            emit completed();
        },
        Qt::QueuedConnection);
}
