#include "poll_context.h"

#include <QCoreApplication>
#include <QThread>

namespace QtConcurrent {

Context::Context(QThread *target)
    : QObject(nullptr)
    , target_thread(target ? target : QCoreApplication::instance()->thread())
{
}

void Context::run(bool wait)
{
    moveToThread(target_thread);
    QMetaObject::invokeMethod(this, "roll",
                              wait ? Qt::BlockingQueuedConnection : Qt::QueuedConnection);
}

void Context::roll()
{
    emit do_context();
}

} // namespace QtConcurrent
