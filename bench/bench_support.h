#pragma once

// What every benchmark shares: one clock, summaries of repeated
// measurements and the Markdown they are reported in. Every line goes to
// standard output tagged with the figure it belongs to, so that scripts/bench
// can gather the rows that both editions measure into one table per figure.

#include <QApplication>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace bench {

using steady = std::chrono::steady_clock;

// Ends the benchmark with a message: a figure that cannot be measured is
// not written at all.
[[noreturn]] void fail(const std::string &why);

double ms_between(steady::time_point from, steady::time_point to);
// The processor time the calling thread has used, in ms: unlike the time
// between two moments, it leaves out the time the thread was not running.
double thread_cpu_ms();

struct Summary {
    double min = 0;
    double median = 0;
    double max = 0;
    int count = 0;
};

Summary summarise(std::vector<double> values);

// A time in milliseconds with as many decimals as its size deserves.
std::string ms(double value);
// "median (min – max)", or the one value when there is only one.
std::string spread(const Summary &summary);
// "min / median / max".
std::string three(const Summary &summary);
std::string ratio(double numerator, double denominator);
std::string verdict(bool within);

class Table {
public:
    explicit Table(std::vector<std::string> header);
    void add(std::vector<std::string> row);
    // Tagged with `figure`; the header lines repeat identically, and the
    // gathering keeps only their first appearance.
    void print(const std::string &figure) const;

private:
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
};

// Runs `action` for 0 … n − 1 on n threads of its own at once: each thread
// is started and waiting before the common go. Returns the moment of the go.
steady::time_point at_once(int n, const std::function<void(int)> &action);

// Runs the calling thread's event loop until `done` holds, for at most
// `timeout_ms`; returns whether it holds. The loop waits in the event
// dispatcher in between, so timers and queued calls run when they are due
// (QTest::qWait sleeps up to 10 ms between its rounds of events).
bool run_event_loop_until(const std::function<bool()> &done, int timeout_ms);

// The application object of a benchmark that times hand-overs: every queued
// call that the GUI thread delivers to an object of class `class_name` (its
// meta-object's name) is timed from delivery to return, and the time kept in
// `handovers`. That is the GUI thread's share of work handed to it from
// another thread.
class HandoverClock : public QApplication
{
public:
    HandoverClock(int &argc, char **argv, const char *class_name);
    bool notify(QObject *receiver, QEvent *event) override;

    // How long each hand-over took on the GUI thread, and the processor
    // time it used.
    std::vector<double> handovers, handover_cpu;

private:
    const char *class_name;
};

HandoverClock &handover_clock();

// The columns of the discovery table, which the show player's and the colour
// tool's benchmarks fill together.
std::vector<std::string> discovery_columns();

// A paragraph under the table of `figure`, one line of text.
void note(const std::string &figure, const std::string &text);

// Fewer repetitions, for trying the benchmarks out (BENCH_QUICK=1).
bool quick();
int repeats(int full, int quick_count);

} // namespace bench
