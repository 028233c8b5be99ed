#pragma once

#include "command_report.h"

#include <QString>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace yoyo {

// How one delivery of a broadcast ended, as its caller is told of it.
struct Outcome {
    enum Result {
        answered,     // a USB yo-yo answered the report
        written,      // a Bluetooth yo-yo, which gives no answer
        no_answer,    // within the answer time-out
        write_failed,
        not_opened,   // unplugged or refused
    };

    std::string path;
    std::wstring serial; // empty when the yo-yo has none
    Command report;
    Result result = not_opened;
    std::chrono::milliseconds answer_time{0}; // from the write to the answer
    std::chrono::steady_clock::time_point when;
    // Which of its broadcast's sends this was, counted from 1.
    unsigned round = 0;
};

// Runs on the delivery's thread, once for every delivery that ran.
using OutcomeSink = std::function<void(const Outcome &)>;

inline bool took(const Outcome &outcome)
{
    return outcome.result == Outcome::answered || outcome.result == Outcome::written;
}

// As an operator reads them: "answered after 3 ms", "write failed", ...
QString outcome_text(const Outcome &outcome);
// "start 240", "stop", "colour #FF0C4D".
QString report_text(const Command &report);

// Who missed a report, for the yo-yo count's tooltip: "2 of 24 yo-yos did
// not take the start: 1007 (no answer within 1 s), ..." or, when none did,
// "24 of 24 yo-yos took the start". `missed` holds the yo-yos' names and
// their outcomes' texts.
QString took_summary(const Command &report, int yoyos, const std::vector<std::pair<QString, QString>> &missed);

} // namespace yoyo
