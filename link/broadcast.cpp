#include "broadcast.h"
#include "delivery.h"

#include <QDeadlineTimer>
#include <QMutex>
#include <QMutexLocker>
#include <QThreadPool>
#include <QWaitCondition>
#include <QtConcurrent>

#include <string>
#include <vector>

namespace yoyo {

// Counts the tasks that are queued or running, so that a closing window can
// let them finish before the HID library is shut down.
struct Broadcast::Tasks {
    QMutex mutex;
    QWaitCondition all_done;
    int pending = 0;

    void started()
    {
        QMutexLocker locker(&mutex);
        ++pending;
    }

    void finished()
    {
        QMutexLocker locker(&mutex);
        if (--pending == 0)
            all_done.wakeAll();
    }
};

namespace {

// One yo-yo's share of a broadcast. It owns copies of everything it needs:
// the device list and the caller's buffer may be gone by the time it runs.
struct send_task {
    Transport transport;
    std::string path;
    std::vector<std::uint8_t> report;
    std::shared_ptr<Broadcast::Tasks> tasks;

    void operator()() const
    {
        deliver(transport, path.c_str(), report.data());
        tasks->finished();
    }
};

} // namespace

Broadcast::Broadcast(const Transport &transport)
    : transport(transport)
    , tasks(std::make_shared<Tasks>())
{
}

Broadcast::~Broadcast() = default;

void Broadcast::send(const hid_device_info *yoyos, const std::uint8_t *usb_report)
{
    const std::vector<std::uint8_t> report = framed(transport, usb_report);
    for (const hid_device_info *record = yoyos; record; record = record->next) {
        tasks->started();
        QtConcurrent::run(QThreadPool::globalInstance(),
                          send_task{transport, record->path, report, tasks});
    }
}

bool Broadcast::wait_for_tasks(int msecs)
{
    QDeadlineTimer deadline(msecs);
    QMutexLocker locker(&tasks->mutex);
    while (tasks->pending > 0) {
        if (!tasks->all_done.wait(&tasks->mutex, deadline))
            return false;
    }
    return true;
}

} // namespace yoyo
