#pragma once

#include <hidapi.h>

#include <functional>

class Thread;

// Paces the yo-yo count from a Thread: each cycle finds the yo-yos on that
// thread, hands the list to the GUI thread and blocks until the GUI thread
// has taken it, then waits up to a quarter of a second for the thread to be
// cancelled. Connected directly to the thread's started signal, so it runs
// before the thread's event loop.
struct poll_loop {
    Thread *thread;
    // Let the GUI thread's event loop delete the thread once it has finished.
    bool delete_when_done;
    // On the poll thread: the enumeration, which may take milliseconds.
    std::function<hid_device_info *()> find;
    // On the GUI thread: takes over what `find` returned.
    std::function<void(hid_device_info *)> take;

    void operator()() const;
};

inline constexpr int poll_wait_ms = 250;
