#pragma once

// How one kind of yo-yo is reached: which HID devices are yo-yos, how long a
// report is on the wire and whether the yo-yo answers each report.
namespace yoyo {

struct Transport {
    unsigned short vendor_id;
    unsigned short product_id;
    int report_length;
    bool reads_answer;
};

inline constexpr Transport usb{0x2680, 0x0100, 65, true};
inline constexpr Transport bluetooth{0x0268, 0x0100, 66, false};

// How long a USB yo-yo may take to answer a report.
inline constexpr int answer_timeout_ms = 1000;

} // namespace yoyo
