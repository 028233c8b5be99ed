#include "delivery.h"
#include "command_report.h"
#include "hid_library.h"

namespace yoyo {

Delivery deliver(const Transport &transport, const char *path, const std::uint8_t *report)
{
    hid_device *device = open_device(path);
    if (!device)
        return Delivery::not_opened;

    Delivery outcome = Delivery::write_failed;
    if (hid_write(device, report, static_cast<size_t>(transport.report_length)) >= 0) {
        outcome = Delivery::delivered;
        if (transport.reads_answer) {
            // The answer's bytes mean nothing to us; the read only lets the
            // yo-yo finish before its device is closed.
            unsigned char answer[usb_report_length];
            hid_read_timeout(device, answer, sizeof answer, answer_timeout_ms);
        }
    }
    close_device(device);
    return outcome;
}

} // namespace yoyo
