#pragma once

#include "command_report.h"
#include "transport.h"

#include <hidapi.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace yoyo {

// Fire-and-forget delivery of one report to every yo-yo of a list. By
// default every yo-yo's delivery starts at once on a thread of the
// broadcast's own pool,
// which grows with the deliveries under way, so a yo-yo that answers late or
// never holds up only itself and the caller never waits for a device. Each
// delivery carries its own copy of the path, the serial and the report.
// Reports to one yo-yo are written in the order they were sent.
//
// With every report waiting, a report is armed, then fired: every yo-yo is
// opened first (the opens take turns in the HID library), and the writes
// are released together once the last open has returned or failed, so the
// yo-yos have it within the spread of the writes alone, not of the opens.
// A yo-yo whose open fails holds up nobody; one still opening when
// `arming_time` has run out follows as soon as it is open.
class Broadcast {
public:
    using Moment = std::chrono::steady_clock::time_point;
    // Told once, on one of the broadcast's threads, when the reports of a
    // send have gone out: the middle one of the yo-yos' writes released
    // together. Nothing when no yo-yo could be opened (or the list was empty:
    // then at once, on the caller's thread).
    using Fired = std::function<void(std::optional<Moment>)>;
    static constexpr std::chrono::milliseconds arming_time{100};

    // What waits for a yo-yo that is still being written to.
    enum class Backlog {
        every_report, // each report, in turn
        // The newest report alone, a newer one replacing it: for reports that
        // come as fast as an operator's input and need no answer. The caller
        // then only copies the list; the deliveries are queued on the
        // broadcast's own thread and run a few at a time, each yo-yo in turn.
        newest_only,
    };

    explicit Broadcast(const Transport &transport, Backlog backlog = Backlog::every_report);
    // Waits for the deliveries still under way: about one answer time-out
    // after the last report was written.
    ~Broadcast();

    Broadcast(const Broadcast &) = delete;
    Broadcast &operator=(const Broadcast &) = delete;

    // The writes are released at `fire_at` when it is given, if every yo-yo
    // is open by then (about a millisecond per yo-yo, at most arming_time),
    // and as soon as they are all open otherwise.
    void send(const hid_device_info *yoyos, const std::uint8_t *usb_report,
              std::optional<Moment> fire_at = std::nullopt, Fired fired = {});
    // `report` as it goes on the wire: transport.report_length bytes.
    void send_framed(const hid_device_info *yoyos, const std::vector<std::uint8_t> &report,
                     std::optional<Moment> fire_at = std::nullopt, Fired fired = {});

    // Makes sure a thread is ready for each of `count` yo-yos, so that the
    // next send does not start threads: they are kept from then on.
    void warm(int count);

    // Waits until every delivery queued so far has finished, at most `msecs`
    // (negative: for as long as it takes). Returns whether they all finished.
    bool wait_for_tasks(int msecs);

    struct Lanes;
    struct Latch;

private:
    Transport transport;
    std::unique_ptr<Lanes> lanes;
};

} // namespace yoyo
