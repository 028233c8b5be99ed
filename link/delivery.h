#pragma once

#include "transport.h"

#include <cstdint>

namespace yoyo {

enum class Delivery {
    not_opened,   // unplugged or refused: skipped
    write_failed, // closed again; nothing read
    delivered,
};

// Writes one report of transport.report_length bytes to the device at `path`:
// open, write, wait for the answer where the transport has one, close. The
// device is closed whatever happens after it was opened.
Delivery deliver(const Transport &transport, const char *path, const std::uint8_t *report);

} // namespace yoyo
