#include "command_report.h"

#include <cstring>

namespace yoyo {
namespace {

void put_le32(std::uint8_t *at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void put_float(std::uint8_t *at, double component)
{
    const float single = static_cast<float>(component);
    std::uint32_t bits;
    std::memcpy(&bits, &single, sizeof bits);
    put_le32(at, bits);
}

} // namespace

UsbReport start_report(int delay_seconds)
{
    UsbReport report{};
    report[1] = cmd_start;
    // Computed unsigned so that any delay text wraps instead of overflowing.
    const std::uint32_t count = (static_cast<std::uint32_t>(delay_seconds) - 1u) * 60u;
    put_le32(&report[2], count);
    return report;
}

UsbReport stop_report()
{
    UsbReport report{};
    report[1] = cmd_stop;
    return report;
}

std::vector<std::uint8_t> framed(const Transport &transport, const std::uint8_t *usb_report)
{
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(transport.report_length), 0);
    const std::size_t offset = bytes.size() - usb_report_length;
    std::memcpy(bytes.data() + offset, usb_report, usb_report_length);
    return bytes;
}

std::vector<std::uint8_t> colour_report(double red, double green, double blue)
{
    std::vector<std::uint8_t> report(static_cast<std::size_t>(bluetooth.report_length), 0);
    report[2] = cmd_colour;
    put_float(&report[3], red);
    put_float(&report[7], green);
    put_float(&report[11], blue);
    return report;
}

} // namespace yoyo
