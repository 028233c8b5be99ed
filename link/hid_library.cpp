#include "hid_library.h"

#include <mutex>

namespace yoyo {
namespace {

std::mutex &library_lock()
{
    static std::mutex lock;
    return lock;
}

} // namespace

void library_init()
{
    std::lock_guard<std::mutex> guard(library_lock());
    hid_init();
}

void library_exit()
{
    std::lock_guard<std::mutex> guard(library_lock());
    hid_exit();
}

hid_device_info *enumerate(unsigned short vendor_id, unsigned short product_id)
{
    std::lock_guard<std::mutex> guard(library_lock());
    return hid_enumerate(vendor_id, product_id);
}

hid_device *open_device(const char *path)
{
    std::lock_guard<std::mutex> guard(library_lock());
    return hid_open_path(path);
}

void close_device(hid_device *device)
{
    std::lock_guard<std::mutex> guard(library_lock());
    hid_close(device);
}

} // namespace yoyo
