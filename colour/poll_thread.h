#pragma once

#include <QSemaphore>
#include <QThread>

// A worker thread that another thread can cancel. Code running on it waits
// on the thread's gate; cancel() opens the gate from any thread.
class Thread : public QThread
{
public:
    // Thrown out of a wait that ended because the gate opened.
    class Sig_Cancel
    {
    };

    void cancel();

    // Waits up to `msecs` for the calling Thread's gate to open, closing it
    // again when it does; then throws Sig_Cancel or returns true, as asked.
    // Returns false on time-out, and at once on a thread that is no Thread.
    static bool wait_cancel(int msecs, bool throw_on_cancel);

private:
    // A semaphore, not a mutex: the gate is opened on one thread and taken
    // on another. Starts closed.
    QSemaphore gate{0};
};
