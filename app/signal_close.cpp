#include "signal_close.h"

#ifdef Q_OS_UNIX

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

const int handled[] = {SIGINT, SIGTERM};
struct sigaction replaced[2];

// The handler only writes to this pipe; the event loop reads it and does
// the Qt work.
int wake[2] = {-1, -1};
volatile sig_atomic_t received = 0;

// Runs in signal context: async-signal-safe calls only.
void on_signal(int number)
{
    if (received) {
        ::signal(number, SIG_DFL);
        ::raise(number);
        return;
    }
    received = 1;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake[1], &byte, 1);
}

} // namespace

signal_close::signal_close(QObject *parent)
    : QObject(parent)
{
    if (::pipe(wake) != 0)
        return;
    for (int end : wake)
        ::fcntl(end, F_SETFD, FD_CLOEXEC);
    ::fcntl(wake[1], F_SETFL, O_NONBLOCK);
    received = 0;

    notifier = new QSocketNotifier(wake[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        notifier->setEnabled(false);
        // Modal dialogs first, as they would be closed by hand; the last
        // window closed then ends the event loop.
        QApplication::closeAllWindows();
    });

    struct sigaction action = {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    // Device and file calls interrupted by the signal carry on.
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 2; ++i)
        sigaction(handled[i], &action, &replaced[i]);
}

signal_close::~signal_close()
{
    if (wake[0] < 0)
        return;
    for (int i = 0; i < 2; ++i)
        sigaction(handled[i], &replaced[i], nullptr);
    delete notifier;
    ::close(wake[0]);
    ::close(wake[1]);
    wake[0] = wake[1] = -1;
}

#else

signal_close::signal_close(QObject *parent)
    : QObject(parent)
{
}

signal_close::~signal_close() = default;

#endif
