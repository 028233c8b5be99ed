#pragma once

#include <functional>

class Thread;

// Paces a step that must run on the GUI thread from a Thread: each cycle hands
// the step over and blocks until the GUI thread has run it, then waits up to
// a quarter of a second for the thread to be cancelled. Connected directly to
// the thread's started signal, so it runs before the thread's event loop.
struct poll_loop {
    Thread *thread;
    // Let the GUI thread's event loop delete the thread once it has finished.
    bool delete_when_done;
    std::function<void()> step;

    void operator()() const;
};

inline constexpr int poll_wait_ms = 250;
