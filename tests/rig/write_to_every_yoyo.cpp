// Writes a start report for a 5 s delay to every listed yo-yo of both kinds,
// one after the other, as a minimal program under the rig.
#include "command_report.h"
#include "delivery.h"
#include "discovery.h"
#include "hid_library.h"

int main()
{
    yoyo::library_init();
    const yoyo::UsbReport start = yoyo::start_report(5);
    for (const yoyo::Transport &transport : {yoyo::usb, yoyo::bluetooth}) {
        hid_device_info *yoyos = yoyo::discover(transport);
        const std::vector<std::uint8_t> report = yoyo::framed(transport, start.data());
        for (const hid_device_info *record = yoyos; record; record = record->next)
            yoyo::deliver(transport, record->path, record->serial_number, report.data());
        hid_free_enumeration(yoyos);
    }
    yoyo::library_exit();
    return 0;
}
