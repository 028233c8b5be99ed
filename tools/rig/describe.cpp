#include "virtual_yoyos.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace rig {
namespace {

std::int32_t le32(const std::uint8_t *at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | at[i];
    return static_cast<std::int32_t>(value);
}

int component(const std::uint8_t *at)
{
    const std::int32_t bits = le32(at);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return static_cast<int>(std::lround(value * 255.0f));
}

std::string hex(const std::vector<std::uint8_t> &bytes)
{
    std::string text;
    char byte[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(byte, sizeof byte, text.empty() ? "%02X" : " %02X", b);
        text += byte;
    }
    return text;
}

} // namespace

std::string describe(const std::vector<std::uint8_t> &report)
{
    // USB reports are 65 bytes (report ID, command); Bluetooth ones carry one
    // more zero byte in front.
    std::size_t command = 0;
    if (report.size() == 65 && report[0] == 0)
        command = 1;
    else if (report.size() == 66 && report[0] == 0 && report[1] == 0)
        command = 2;
    else
        return hex(report);

    const std::uint8_t *at = report.data() + command;
    auto rest_is_zero = [&](std::size_t from) {
        for (std::size_t i = command + from; i < report.size(); ++i)
            if (report[i])
                return false;
        return true;
    };
    char text[64];
    switch (at[0]) {
    case 0x02:
        if (rest_is_zero(5)) {
            std::snprintf(text, sizeof text, "start %d", le32(at + 1));
            return text;
        }
        break;
    case 0x03:
        if (rest_is_zero(1))
            return "stop";
        break;
    case 0x99:
        if (rest_is_zero(13)) {
            std::snprintf(text, sizeof text, "colour %d %d %d", component(at + 1), component(at + 5),
                          component(at + 9));
            return text;
        }
        break;
    }
    return hex(report);
}

} // namespace rig
