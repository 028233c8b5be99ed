#include "slow_opens.h"

#include <hidapi.h>

#include <mutex>
#include <thread>

namespace {

std::mutex lock;
std::vector<std::chrono::steady_clock::time_point> opens;
int open_ms = 0;

} // namespace

namespace slow_opens {

void set(int milliseconds)
{
    std::lock_guard<std::mutex> guard(lock);
    open_ms = milliseconds;
    opens.clear();
}

std::vector<std::chrono::steady_clock::time_point> returned()
{
    std::lock_guard<std::mutex> guard(lock);
    return opens;
}

} // namespace slow_opens

extern "C" {
hid_device *__real_hid_open_path(const char *path);
hid_device *__wrap_hid_open_path(const char *path)
{
    int delay;
    {
        std::lock_guard<std::mutex> guard(lock);
        delay = open_ms;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    hid_device *device = __real_hid_open_path(path);
    std::lock_guard<std::mutex> guard(lock);
    opens.push_back(std::chrono::steady_clock::now());
    return device;
}
}
