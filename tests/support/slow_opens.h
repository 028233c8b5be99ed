#pragma once

// hidapi's opens pass through here in a test linked with
// --wrap=hid_open_path: each is made as slow as asked (as on a system whose
// opens are slow) and the moment it returned noted. One file of the test
// includes this.
#include <hidapi.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace slow_opens {
inline std::mutex lock;
inline std::vector<std::chrono::steady_clock::time_point> returned; // under the lock
inline std::chrono::milliseconds open_time{0};

inline void set(int milliseconds) // and forgets the opens noted so far
{
    std::lock_guard<std::mutex> guard(lock);
    open_time = std::chrono::milliseconds(milliseconds);
    returned.clear();
}
} // namespace slow_opens

extern "C" hid_device *__real_hid_open_path(const char *path);
extern "C" hid_device *__wrap_hid_open_path(const char *path)
{
    std::unique_lock<std::mutex> guard(slow_opens::lock);
    const std::chrono::milliseconds delay = slow_opens::open_time;
    guard.unlock();
    std::this_thread::sleep_for(delay);
    hid_device *device = __real_hid_open_path(path);
    guard.lock();
    slow_opens::returned.push_back(std::chrono::steady_clock::now());
    return device;
}
