#include "bench_support.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <thread>

#include <time.h>

namespace bench {

void fail(const std::string &why)
{
    std::fprintf(stderr, "bench: %s\n", why.c_str());
    std::exit(1);
}

double ms_between(steady::time_point from, steady::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double thread_cpu_ms()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1000 + double(now.tv_nsec) / 1e6;
}

Summary summarise(std::vector<double> values)
{
    Summary summary;
    summary.count = static_cast<int>(values.size());
    if (values.empty())
        return summary;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    summary.min = values.front();
    summary.max = values.back();
    summary.median = values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    return summary;
}

std::string ms(double value)
{
    const double size = std::fabs(value);
    const int decimals = size >= 100 ? 0 : size >= 10 ? 1 : size >= 1 ? 2 : 3;
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string spread(const Summary &summary)
{
    if (summary.count == 0)
        return "—";
    if (summary.count == 1)
        return ms(summary.median);
    return ms(summary.median) + " (" + ms(summary.min) + " – " + ms(summary.max) + ")";
}

std::string three(const Summary &summary)
{
    if (summary.count == 0)
        return "—";
    return ms(summary.min) + " / " + ms(summary.median) + " / " + ms(summary.max);
}

std::string ratio(double numerator, double denominator)
{
    if (denominator <= 0)
        return "—";
    const double value = numerator / denominator;
    char text[32];
    std::snprintf(text, sizeof text, value >= 10 ? "%.0f×" : "%.1f×", value);
    return text;
}

std::string verdict(bool within)
{
    return within ? "yes" : "**no**";
}

Table::Table(std::vector<std::string> header)
    : header(std::move(header))
{
}

void Table::add(std::vector<std::string> row)
{
    rows.push_back(std::move(row));
}

void Table::print(const std::string &figure) const
{
    auto line = [&figure](const std::vector<std::string> &cells) {
        std::cout << figure << "\t|";
        for (const std::string &cell : cells)
            std::cout << ' ' << cell << " |";
        std::cout << '\n';
    };
    line(header);
    line(std::vector<std::string>(header.size(), "---"));
    for (const auto &row : rows)
        line(row);
    std::cout << std::flush;
}

bool run_event_loop_until(const std::function<bool()> &done, int timeout_ms)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeout_ms, &loop, &QEventLoop::quit);
    check.start(5);
    loop.exec();
    return done();
}

HandoverClock::HandoverClock(int &argc, char **argv, const char *class_name)
    : QApplication(argc, argv)
    , class_name(class_name)
{
}

bool HandoverClock::notify(QObject *receiver, QEvent *event)
{
    if (event->type() != QEvent::MetaCall || !receiver->inherits(class_name))
        return QApplication::notify(receiver, event);
    const steady::time_point started = steady::now();
    const double cpu_started = thread_cpu_ms();
    const bool handled = QApplication::notify(receiver, event);
    handovers.push_back(ms_between(started, steady::now()));
    handover_cpu.push_back(thread_cpu_ms() - cpu_started);
    return handled;
}

HandoverClock &handover_clock()
{
    return *static_cast<HandoverClock *>(QCoreApplication::instance());
}

std::vector<std::string> discovery_columns()
{
    return {"Step", "Yo-yos", "N", "Runs", "GUI thread, ms (min / median / max)",
            "GUI thread's processor time, ms (min / median / max)",
            "hidapi's enumeration alone, ms (min / median / max)", "Interval, ms", "Limit, ms",
            "Within (max: time / processor time)"};
}

void note(const std::string &figure, const std::string &text)
{
    std::cout << figure << "-note\t" << text << '\n' << std::flush;
}

steady::time_point at_once(int n, const std::function<void(int)> &action)
{
    std::mutex mutex;
    std::condition_variable ready, go;
    int waiting = 0;
    bool released = false;
    std::vector<std::thread> threads;
    for (int i = 0; i < n; ++i) {
        threads.emplace_back([&, i] {
            {
                std::unique_lock<std::mutex> lock(mutex);
                ++waiting;
                ready.notify_one();
                go.wait(lock, [&] { return released; });
            }
            action(i);
        });
    }
    std::unique_lock<std::mutex> lock(mutex);
    ready.wait(lock, [&] { return waiting == n; });
    const steady::time_point called = steady::now();
    released = true;
    lock.unlock();
    go.notify_all();
    for (std::thread &thread : threads)
        thread.join();
    return called;
}

bool quick()
{
    const char *value = std::getenv("BENCH_QUICK");
    return value && std::strcmp(value, "0") != 0 && *value;
}

int repeats(int full, int quick_count)
{
    return quick() ? quick_count : full;
}

} // namespace bench
