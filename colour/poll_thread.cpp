#include "poll_thread.h"

void Thread::cancel()
{
    gate.release();
}

bool Thread::wait_cancel(int msecs, bool throw_on_cancel)
{
    auto *self = dynamic_cast<Thread *>(QThread::currentThread());
    if (!self || !self->gate.tryAcquire(1, msecs))
        return false;
    if (throw_on_cancel)
        throw Sig_Cancel();
    return true;
}
