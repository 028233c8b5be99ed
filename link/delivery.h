#pragma once

#include "transport.h"

#include <cstdint>
#include <functional>

namespace yoyo {

enum class Delivery {
    not_opened,   // unplugged or refused: skipped
    write_failed, // closed again; nothing read
    no_answer,    // written, but no answer within the time-out (or the read failed)
    delivered,
};

// Writes one report of transport.report_length bytes to the yo-yo at `path`:
// open, write, wait for the answer where the transport has one, close. The
// device is closed whatever happens after it was opened. `written`, when
// given, runs once this delivery will write nothing more (right after the
// write, or after a failed open), before the answer is awaited. `opened`,
// when given, runs between the open and the write with whether the open
// succeeded; the write waits for it to return.
//
// Every outcome goes to the log category "vantrel.link" with the yo-yo's path
// and serial (which may be null): failures at info level, successes at debug
// level, neither shown unless the logging rules ask for them.
Delivery deliver(const Transport &transport, const char *path, const wchar_t *serial,
                 const std::uint8_t *report, const std::function<void()> &written = {},
                 const std::function<void(bool)> &opened = {});

} // namespace yoyo
