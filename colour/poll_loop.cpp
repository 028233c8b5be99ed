#include "poll_loop.h"
#include "poll_context.h"
#include "poll_thread.h"

#include <QCoreApplication>

void poll_loop::operator()() const
{
    try {
        for (;;) {
            hid_device_info *found = find();
            auto *context = new QtConcurrent::Context(nullptr);
            QObject::connect(context, &QtConcurrent::Context::do_context, [context, found, take = take] {
                take(found);
                // The context is still emitting the signal that called us.
                context->deleteLater();
            });
            context->run(true);
            Thread::wait_cancel(poll_wait_ms, true);
        }
    } catch (const Thread::Sig_Cancel &) {
        thread->moveToThread(QCoreApplication::instance()->thread());
        // Asked before the event loop starts, so run() returns at once.
        thread->quit();
    }
    if (delete_when_done)
        QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
}
