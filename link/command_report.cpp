#include "command_report.h"

#include <algorithm>
#include <cmath>
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

std::uint32_t get_le32(const std::uint8_t *at)
{
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= std::uint32_t(at[i]) << (8 * i);
    return value;
}

std::uint8_t get_component(const std::uint8_t *at)
{
    const std::uint32_t bits = get_le32(at);
    float single;
    std::memcpy(&single, &bits, sizeof single);
    return static_cast<std::uint8_t>(std::lround(std::clamp(single, 0.0f, 1.0f) * 255));
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

Command command_of(const Transport &transport, const std::uint8_t *report)
{
    // The command starts after the report ID and, for Bluetooth, the extra zero.
    const std::uint8_t *command = report + (transport.report_length - command_length);
    Command seen;
    switch (command[0]) {
    case cmd_start:
        seen.kind = Command::start;
        seen.count = static_cast<std::int32_t>(get_le32(command + 1));
        break;
    case cmd_stop:
        seen.kind = Command::stop;
        break;
    case cmd_colour:
        seen.kind = Command::colour;
        seen.red = get_component(command + 1);
        seen.green = get_component(command + 5);
        seen.blue = get_component(command + 9);
        break;
    default:
        break;
    }
    return seen;
}

} // namespace yoyo
