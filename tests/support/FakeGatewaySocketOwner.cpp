#include "FakeGatewaySocketOwner.h"

#include <QMetaObject>

FakeGatewaySocketOwner::FakeGatewaySocketOwner(QObject *parent)
    : QObject(parent)
{
}

EditorContents FakeGatewaySocketOwner::editorContents() const
{
    ++m_editorReads;
    return m_editor;
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
