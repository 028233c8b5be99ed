#include "yoyo_list.h"

#include "discovery.h"
#include "hid_library.h"
#include "transport.h"

hid_device_info *yoyo_devices = nullptr;

hid_device_info *find_yoyo_devices()
{
    return yoyo::enumerate(yoyo::bluetooth.vendor_id, yoyo::bluetooth.product_id);
}

int take_yoyo_devices(hid_device_info *found)
{
    hid_free_enumeration(yoyo_devices);
    yoyo_devices = found;
    return yoyo::count_records(yoyo_devices);
}
