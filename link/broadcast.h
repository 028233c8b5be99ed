#pragma once

#include "command_report.h"
#include "transport.h"

#include <hidapi.h>

#include <memory>

namespace yoyo {

// Fire-and-forget delivery of one report to every yo-yo of a list: one task per
// record on Qt's global thread pool, so the caller never waits for a device.
// Each task carries its own copy of the path and the report.
class Broadcast {
public:
    explicit Broadcast(const Transport &transport);
    ~Broadcast();

    Broadcast(const Broadcast &) = delete;
    Broadcast &operator=(const Broadcast &) = delete;

    void send(const hid_device_info *yoyos, const std::uint8_t *usb_report);

    // Waits until every task queued so far has finished, at most `msecs`.
    // Returns whether they all finished.
    bool wait_for_tasks(int msecs);

    struct Tasks;

private:
    Transport transport;
    std::shared_ptr<Tasks> tasks;
};

} // namespace yoyo
