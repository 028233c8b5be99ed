#include "hid_library.h"

#include <condition_variable>
#include <mutex>

namespace yoyo {
namespace {

// Lets one hidapi call through at a time, a close before any waiting open
// or enumeration: a close is quick, and a yo-yo whose answer is in would
// otherwise keep its handle while a broadcast opens the other yo-yos one by
// one, so that a broadcast to many yo-yos would hold all their handles at
// once.
class LibraryLock
{
public:
    void lock(bool closing)
    {
        std::unique_lock<std::mutex> guard(mutex);
        if (closing) {
            ++closes_waiting;
            close_turn.wait(guard, [this] { return !busy; });
            --closes_waiting;
        } else {
            other_turn.wait(guard, [this] { return !busy && closes_waiting == 0; });
        }
        busy = true;
    }

    void unlock()
    {
        std::lock_guard<std::mutex> guard(mutex);
        busy = false;
        if (closes_waiting > 0)
            close_turn.notify_one();
        else
            other_turn.notify_one();
    }

private:
    std::mutex mutex;
    std::condition_variable close_turn, other_turn;
    bool busy = false;
    int closes_waiting = 0;
};

LibraryLock &library_lock()
{
    static LibraryLock lock;
    return lock;
}

struct Turn {
    explicit Turn(bool closing = false) { library_lock().lock(closing); }
    ~Turn() { library_lock().unlock(); }
    Turn(const Turn &) = delete;
    Turn &operator=(const Turn &) = delete;
};

} // namespace

void library_init()
{
    Turn turn;
    hid_init();
}

void library_exit()
{
    Turn turn;
    hid_exit();
}

hid_device_info *enumerate(unsigned short vendor_id, unsigned short product_id)
{
    Turn turn;
    return hid_enumerate(vendor_id, product_id);
}

hid_device *open_device(const char *path)
{
    Turn turn;
    return hid_open_path(path);
}

void close_device(hid_device *device)
{
    Turn turn(true);
    hid_close(device);
}

} // namespace yoyo
