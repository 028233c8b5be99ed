#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Virtual yo-yos for tests and rehearsals. Each yo-yo is an emulated hidraw
// device underneath the real hidapi library (umockdev): enumeration, open,
// write, read and close in the program under test run unmodified.
//
// The process that creates a VirtualYoyos must run under umockdev-wrapper.
// Device requests are served on a thread of the rig's own, never on the
// caller's event loop, so a program that writes from its GUI thread works.
namespace rig {

enum class Transport { usb, bluetooth };

struct YoyoOptions {
    Transport transport = Transport::usb;
    std::string serial = "1";
    // Answers each report with an input report after this many milliseconds;
    // negative: never answers.
    int answer_after_ms = 1;
    // Enumeration records for the one device (one per top-level usage in its
    // report descriptor), as hidapi lists a device with several collections.
    int records = 1;
};

struct Received {
    int yoyo;
    std::vector<std::uint8_t> bytes;
    std::chrono::steady_clock::time_point at;
};

class VirtualYoyos {
public:
    VirtualYoyos();
    ~VirtualYoyos();

    VirtualYoyos(const VirtualYoyos &) = delete;
    VirtualYoyos &operator=(const VirtualYoyos &) = delete;

    // Plugs in a new yo-yo; returns its id (0, 1, 2, ... in order of adding).
    int add(const YoyoOptions &options = {});

    // Unplugged: gone from the next enumeration, new opens fail; a handle that
    // is already open keeps working. Plugging it back in gives it a new node
    // (a new path), as the kernel does.
    void unplug(int yoyo);
    void plug(int yoyo);

    // Faults. Opens of one yo-yo refused (as for a node the user may not open); writes
    // failing with an errno (0: writes succeed again); the yo-yo pulled out
    // during its next write (the write fails with ENODEV and it is unplugged).
    void refuse_open(int yoyo, bool refuse);
    void fail_writes(int yoyo, int error_number);
    void unplug_during_next_write(int yoyo);
    // No access to any yo-yo's node, present or plugged in later: opening one
    // fails with EACCES, as for a user whom the nodes' permissions keep out,
    // while enumeration still lists every yo-yo.
    void deny_access(bool deny);

    // Every output report written to the yo-yo so far, oldest first.
    std::vector<Received> received(int yoyo) const;
    // All reports to all yo-yos, in order of arrival.
    std::vector<Received> received() const;
    // Waits until the yo-yo has received at least `count` reports.
    bool wait_for_reports(int yoyo, std::size_t count, int timeout_ms) const;
    void clear_received();

    // Called on the rig's thread for every report, as it arrives.
    void on_report(std::function<void(const Received &)> observer);

    std::string device_node(int yoyo) const; // "/dev/hidrawN"
    std::string testbed_dir() const;         // what UMOCKDEV_DIR names

    struct State;

private:
    std::unique_ptr<State> state;
};

// One line for a report as a person reads it: "start <count>", "stop",
// "colour <r> <g> <b>" (0-255) or the raw bytes in hex.
std::string describe(const std::vector<std::uint8_t> &report);

} // namespace rig
