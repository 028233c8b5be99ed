// link/hid_library.cpp's hidapi calls without their process-wide lock. Only
// in the ThreadSanitizer build, where tst_hid_library runs against it to
// show that the race the lock prevents is seen.
#include "hid_library.h"

namespace yoyo {

void library_init() { hid_init(); }
void library_exit() { hid_exit(); }
hid_device_info *enumerate(unsigned short vendor_id, unsigned short product_id)
{
    return hid_enumerate(vendor_id, product_id);
}
hid_device *open_device(const char *path) { return hid_open_path(path); }
void close_device(hid_device *device) { hid_close(device); }

} // namespace yoyo
