#include "colour_sender.h"

#include "command_report.h"
#include "delivery.h"
#include "transport.h"

#include <QColor>

void send_colour(const hid_device_info *yoyos, const QColor &colour)
{
    const std::vector<std::uint8_t> report =
        yoyo::colour_report(colour.redF(), colour.greenF(), colour.blueF());
    for (const hid_device_info *record = yoyos; record; record = record->next) {
        if (yoyo::deliver(yoyo::bluetooth, record->path, record->serial_number, report.data())
            == yoyo::Delivery::write_failed)
            return;
    }
}
