#pragma once

#include "transport.h"

#include <QObject>
#include <QThreadPool>

#include <hidapi.h>

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
    // enumeration at most); lists not yet handed over are freed.
    void stop();

signals:
    // On this object's thread, in the order of the steps. The receiver takes
    // the list over (null when no yo-yo is listed).
    void found(hid_device_info *yoyos);

private:
    Transport transport;
    int steps_queued = 0;
    QThreadPool worker;
};

} // namespace yoyo
