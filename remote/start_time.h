#pragma once

#include <QString>

#include <chrono>
#include <optional>

// The moment a show is to start, on the wall clock.
namespace remote {

using start_clock = std::chrono::system_clock;

// A start time as the command line gives it: an ISO 8601 date-time (local
// time unless it names its zone), "HH:MM[:SS[.mmm]]" (the next such moment
// after `now`, local time) or "@SECONDS" since the Unix epoch. Sets `why`
// when the text is none of these.
std::optional<start_clock::time_point> parse_start_time(const QString &text, start_clock::time_point now,
                                                        QString *why);

// Seconds since the Unix epoch as an OSC argument gives them; NaN, infinite
// and negative times are refused.
std::optional<start_clock::time_point> from_unix_seconds(double seconds, QString *why);

} // namespace remote
