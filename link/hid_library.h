#pragma once

#include <hidapi.h>

// hidapi keeps one process-wide error string that init, enumerate and open
// replace without a lock of their own. These wrappers take one process-wide
// lock around those calls, and around close, so that no device is closed
// while another is opened (the emulated devices of the tests keep their table
// of open handles without a lock); a close goes first. Writes and reads stay
// outside it so that several yo-yos are served in parallel.
namespace yoyo {

void library_init();
void library_exit();
hid_device_info *enumerate(unsigned short vendor_id, unsigned short product_id);
hid_device *open_device(const char *path);
void close_device(hid_device *device);

} // namespace yoyo
