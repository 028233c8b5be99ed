#include "yoyo_list.h"

#include "discovery.h"
#include "hid_library.h"
#include "transport.h"

hid_device_info *yoyo_devices = nullptr;

int refresh_yoyo_devices()
{
    hid_free_enumeration(yoyo_devices);
    yoyo_devices = yoyo::enumerate(yoyo::bluetooth.vendor_id, yoyo::bluetooth.product_id);
    return yoyo::count_records(yoyo_devices);
}
