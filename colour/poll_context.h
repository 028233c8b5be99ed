#pragma once

#include <QObject>

class QThread;

namespace QtConcurrent {

// Runs whatever is connected to do_context inside another thread's event
// loop. Single use: the work decides when the object goes.
class Context : public QObject
{
    Q_OBJECT

public:
    // A null target means the thread of the application object.
    explicit Context(QThread *target);

    // Moves the object to the target thread and queues the work there; with
    // `wait`, returns only after the work has run. Call it on the thread that
    // owns the object.
    void run(bool wait);

signals:
    void do_context();

private slots:
    void roll();

private:
    QThread *target_thread;
};

} // namespace QtConcurrent
