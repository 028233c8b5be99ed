#pragma once

#include "command_report.h"
#include "outcome.h"
#include "transport.h"

#include <hidapi.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace yoyo {

// Fire-and-forget delivery of one report to every yo-yo of a list. By
// default every yo-yo's delivery starts at once on a thread of the
// broadcast's own pool,
// which grows with the deliveries under way, so a yo-yo that answers late or
// never holds up only itself and the caller never waits for a device. Each
// delivery carries its own copy of the path, the serial and the report.
// Reports to one yo-yo are written in the order they were sent.
class Broadcast {
public:
    // What waits for a yo-yo that is still being written to.
    enum class Backlog {
        every_report, // each report, in turn
        // The newest report alone, a newer one replacing it: for reports that
        // come as fast as an operator's input and need no answer. The caller
        // then only copies the list; the deliveries are queued on the
        // broadcast's own thread and run a few at a time, each yo-yo in turn.
        newest_only,
    };

    // `taken`, when given, hears every delivery's outcome, on the delivery's
    // thread, before wait_for_tasks counts that delivery as finished. A report
    // replaced while it waited is never delivered and has no outcome.
    explicit Broadcast(const Transport &transport, Backlog backlog = Backlog::every_report,
                       OutcomeSink taken = {});
    // Waits for the deliveries still under way: about one answer time-out
    // after the last report was written.
    ~Broadcast();

    Broadcast(const Broadcast &) = delete;
    Broadcast &operator=(const Broadcast &) = delete;

    void send(const hid_device_info *yoyos, const std::uint8_t *usb_report);
    // `report` as it goes on the wire: transport.report_length bytes.
    void send_framed(const hid_device_info *yoyos, const std::vector<std::uint8_t> &report);

    // Waits until every delivery queued so far has finished, at most `msecs`
    // (negative: for as long as it takes). Returns whether they all finished.
    bool wait_for_tasks(int msecs);

    // How many sends so far; the outcomes of the latest carry this round.
    unsigned rounds() const { return sends; }

    struct Lanes;

private:
    Transport transport;
    const OutcomeSink taken;
    unsigned sends = 0;
    std::unique_ptr<Lanes> lanes;
};

} // namespace yoyo
