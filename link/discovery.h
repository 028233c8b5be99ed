#pragma once

#include "transport.h"

#include <QObject>
#include <QThreadPool>

#include <hidapi.h>

#include <mutex>

// Finding the yo-yos that are connected right now.
namespace yoyo {

// Drops the records whose serial number is missing or starts with '0'; each
// dropped record is freed on its own. Returns the new head; the records that
// stay keep their order.
hid_device_info *drop_unlisted(hid_device_info *head);

int count_records(const hid_device_info *head);

// One discovery step of the show player: enumerate the transport's devices and
// keep the listed ones. May return null.
hid_device_info *discover(const Transport &transport);

// Runs discovery steps on a thread of its own, so that enumerating never
// holds up the thread that asks for it, and hands each new list to that
// thread with a queued call.
class Discovery : public QObject
{
    Q_OBJECT

public:
    explicit Discovery(const Transport &transport, QObject *parent = nullptr);
    ~Discovery() override;

    // Queues one step; a step asked for while another still runs follows it.
    void start();
    // Drops the steps not yet started and waits for the one under way (one
    // enumeration at most); a list not yet handed over is freed.
    void stop();

signals:
    // On this object's thread. The receiver takes the list over (null when no
    // yo-yo is listed); when steps end faster than this thread takes their
    // lists, only the latest comes.
    void found(hid_device_info *yoyos);

private:
    // On this object's thread: passes the latest list on.
    Q_INVOKABLE void hand_over();

    const Transport transport;
    int steps_queued = 0;
    // The latest list found and not yet handed over. It crosses threads here,
    // under a lock of its own, and not inside the queued call, so that a list
    // the call never delivers is freed all the same.
    std::mutex mutex;
    bool found_one = false;
    hid_device_info *latest = nullptr;
    QThreadPool worker;
};

} // namespace yoyo
