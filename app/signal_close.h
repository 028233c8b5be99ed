#pragma once

#include <QObject>

class QSocketNotifier;

// Ends the program on SIGINT (Ctrl+C in its terminal) or SIGTERM (logout,
// shutdown, kill) the way closing its window does: every window is closed,
// the event loop returns 0 and the main window's destructor stops the show
// or turns the yo-yos black and keeps the favourites. A second signal while
// that runs ends the program at once. Only one may exist at a time; without
// POSIX signals it does nothing.
class signal_close : public QObject
{
    Q_OBJECT

public:
    explicit signal_close(QObject *parent = nullptr);
    ~signal_close() override;

private:
    QSocketNotifier *notifier = nullptr;
};
