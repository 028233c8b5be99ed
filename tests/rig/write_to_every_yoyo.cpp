// A minimal program under the rig: writes a start report for a 5 s delay to
// every yo-yo of both kinds through hidapi, one after the other.
#include <hidapi.h>

#include <initializer_list>

int main()
{
    unsigned char report[66] = {0, 0, 0x02, 0xF0};
    for (unsigned short vendor : {0x2680, 0x0268}) {
        const bool ble = vendor == 0x0268;
        hid_device_info *yoyos = hid_enumerate(vendor, 0x0100);
        for (const hid_device_info *record = yoyos; record; record = record->next) {
            hid_device *device = hid_open_path(record->path);
            hid_write(device, ble ? report : report + 1, ble ? 66 : 65);
            hid_close(device);
        }
        hid_free_enumeration(yoyos);
    }
    return 0;
}
