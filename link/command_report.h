#pragma once

#include "transport.h"

#include <array>
#include <cstdint>
#include <vector>

// The bytes of the reports written to the yo-yos. Pure functions: nothing
// here touches a device.
namespace yoyo {

inline constexpr int command_length = 64;
inline constexpr int usb_report_length = 65;

inline constexpr std::uint8_t cmd_start = 0x02;
inline constexpr std::uint8_t cmd_stop = 0x03;
inline constexpr std::uint8_t cmd_colour = 0x99;

// A command in the USB framing: report ID 0x00, then the 64-byte command.
using UsbReport = std::array<std::uint8_t, usb_report_length>;

// Start command for a delay of `delay_seconds`: the yo-yo count is
// (delay - 1) * 60 as a little-endian signed 32-bit value.
UsbReport start_report(int delay_seconds);
UsbReport stop_report();

// The bytes handed to hid_write for `transport`: the USB framing unchanged, or
// widened by one leading zero byte for Bluetooth.
std::vector<std::uint8_t> framed(const Transport &transport, const std::uint8_t *usb_report);

// Colour command in the Bluetooth framing (66 bytes); components 0.0 to 1.0.
std::vector<std::uint8_t> colour_report(double red, double green, double blue);

// What a report on the wire asks of a yo-yo, read back from its bytes.
struct Command {
    enum Kind { start, stop, colour, other } kind = other;
    std::int32_t count = 0;                      // start
    std::uint8_t red = 0, green = 0, blue = 0; // colour, 0 to 255
};
// `report` as framed for `transport`.
Command command_of(const Transport &transport, const std::uint8_t *report);

} // namespace yoyo
