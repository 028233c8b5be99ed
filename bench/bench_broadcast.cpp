// The show player's broadcast and discovery, timed in the window's own
// members against the rig's virtual yo-yos: how long tz3_send_all keeps the
// GUI thread, when each yo-yo has its report, and how long one discovery step
// takes; next to the same reports written one after the other on the calling
// thread, as a program without the pool would. Built once per edition: the
// USB edition drives USB yo-yos that answer after 1 ms and USB yo-yos that
// never answer, the Bluetooth edition drives Bluetooth yo-yos.
#include "player_access.h"

#include "bench_support.h"
#include "command_report.h"
#include "delivery.h"
#include "discovery.h"
#include "edition.h"
#include "hid_library.h"
#include "transport.h"
#include "virtual_yoyos.h"

#include <QApplication>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using bench::fail;
using bench::steady;

namespace {

constexpr const yoyo::Transport &edition = player_edition::transport;

// How many times each configuration is measured. A silent USB yo-yo holds a
// pool thread for the whole answer time-out, so those runs are few.
struct Config {
    int yoyos;
    int broadcasts;
    int baselines;
};

struct Kind {
    std::string name;
    rig::Transport transport;
    int answer_after_ms; // negative: never answers
    std::vector<Config> configs;
};

std::vector<Kind> kinds()
{
    using bench::repeats;
    const std::vector<Config> prompt = {
        {1, repeats(20, 3), repeats(20, 3)},
        {8, repeats(20, 3), repeats(20, 3)},
        {64, repeats(20, 3), repeats(20, 3)},
    };
    if (player_edition::bluetooth)
        return {{"Bluetooth", rig::Transport::bluetooth, -1, prompt}};
    const std::vector<Config> silent = {
        {1, repeats(10, 2), repeats(5, 1)},
        {8, repeats(4, 1), repeats(2, 1)},
        {64, repeats(2, 1), 1},
    };
    return {{"USB, answering after 1 ms", rig::Transport::usb, 1, prompt},
            {"USB, never answering", rig::Transport::usb, -1, silent}};
}

// When each yo-yo had its first report, in ms after `since`, earliest first.
std::vector<double> arrivals(const rig::VirtualYoyos &yoyos, int count, steady::time_point since,
                             int timeout_ms)
{
    std::vector<double> times;
    for (int id = 0; id < count; ++id) {
        if (!yoyos.wait_for_reports(id, 1, timeout_ms))
            fail("yo-yo " + std::to_string(id) + " never had its report");
        times.push_back(bench::ms_between(since, yoyos.received(id).front().at));
    }
    std::sort(times.begin(), times.end());
    return times;
}

// First, median and last arrival and the skew, one value per run each.
struct FanOut {
    std::vector<double> first, median, last, skew;

    void add(const std::vector<double> &times)
    {
        first.push_back(times.front());
        median.push_back(bench::summarise(times).median);
        last.push_back(times.back());
        skew.push_back(times.back() - times.front());
    }
};

struct Measured {
    std::vector<double> gui_ms, baseline_ms;
    FanOut fan_out, baseline_fan_out;
};

// A fresh window among `count` yo-yos of `kind`, its list filled by its own
// discovery step.
struct Scene {
    rig::VirtualYoyos yoyos;
    std::unique_ptr<tz3_player_main> window;

    Scene(const Kind &kind, int count)
    {
        for (int i = 0; i < count; ++i)
            yoyos.add({kind.transport, std::to_string(i + 1), kind.answer_after_ms, 1});
        window = std::make_unique<tz3_player_main>();
        inside::poll_yoyos(*window);
        if (yoyo::count_records(inside::yoyo_devices(*window)) != count)
            fail("the window does not list the " + std::to_string(count) + " yo-yos");
    }
};

Measured measure(const Kind &kind, const Config &config)
{
    Scene scene(kind, config.yoyos);
    tz3_player_main &window = *scene.window;
    const yoyo::UsbReport report = yoyo::start_report(5);
    const int threads = QThreadPool::globalInstance()->maxThreadCount();
    // Silent yo-yos are served a pool's width at a time, one time-out each.
    const int timeout_ms = kind.answer_after_ms < 0 && kind.transport == rig::Transport::usb
        ? (config.yoyos / threads + 2) * yoyo::answer_timeout_ms + 5000
        : 10000;

    Measured measured;
    for (int run = 0; run < config.broadcasts; ++run) {
        scene.yoyos.clear_received();
        const steady::time_point called = steady::now();
        inside::tz3_send_all(window, report.data());
        measured.gui_ms.push_back(bench::ms_between(called, steady::now()));
        measured.fan_out.add(arrivals(scene.yoyos, config.yoyos, called, timeout_ms));
        if (!inside::broadcast(window).wait_for_tasks(timeout_ms))
            fail("the broadcast's tasks did not finish");
    }

    // What a program without the pool does on its GUI thread: open, write,
    // read the answer where there is one, close, one yo-yo after the other.
    const std::vector<std::uint8_t> framed = yoyo::framed(edition, report.data());
    for (int run = 0; run < config.baselines; ++run) {
        scene.yoyos.clear_received();
        const steady::time_point called = steady::now();
        for (const hid_device_info *record = inside::yoyo_devices(window); record; record = record->next)
            yoyo::deliver(edition, record->path, framed.data());
        measured.baseline_ms.push_back(bench::ms_between(called, steady::now()));
        measured.baseline_fan_out.add(arrivals(scene.yoyos, config.yoyos, called, timeout_ms));
    }
    return measured;
}

std::string runs(const Config &config)
{
    return std::to_string(config.broadcasts) + " / " + std::to_string(config.baselines);
}

void explain(const Kind &kind, const Config &config, const bench::Summary &gui_time,
             const bench::Summary &baseline, const bench::Summary &last)
{
    bench::note("broadcast", kind.name + ", N = 64: written in turn, each yo-yo kept the GUI thread " +
                                 bench::ms(baseline.median / config.yoyos) + " ms (median); the broadcast kept it " +
                                 bench::ms(gui_time.median) + " ms for all 64.");
    if (kind.transport != rig::Transport::usb || kind.answer_after_ms >= 0)
        return;
    const int threads = QThreadPool::globalInstance()->maxThreadCount();
    const double expected_s = double((config.yoyos + threads - 1) / threads - 1);
    char text[320];
    std::snprintf(text, sizeof text,
                  "64 silent USB yo-yos on %d pool threads: the last had its report %.1f s after the call "
                  "(median of %d run%s), where the 1000 ms read time-out alone gives (64 ÷ %d − 1) × 1 s = %.0f s.",
                  threads, last.median / 1000, last.count, last.count == 1 ? "" : "s", threads, expected_s);
    bench::note("fanout", text);
}

void broadcasts(bench::Table &gui, bench::Table &fan_out)
{
    constexpr double frame_ms = 1000.0 / 60;
    constexpr double usb_interval_ms = 1.0;
    for (const Kind &kind : kinds()) {
        for (const Config &config : kind.configs) {
            std::fprintf(stderr, "bench: broadcast, %s, N = %d\n", kind.name.c_str(), config.yoyos);
            const Measured m = measure(kind, config);
            const bench::Summary gui_time = bench::summarise(m.gui_ms);
            const bench::Summary baseline = bench::summarise(m.baseline_ms);
            const std::string n = std::to_string(config.yoyos);
            gui.add({kind.name, n, runs(config), bench::three(gui_time), bench::three(baseline),
                     bench::ratio(baseline.median, gui_time.median), bench::ms(frame_ms),
                     bench::verdict(gui_time.max <= frame_ms)});

            const bench::Summary last = bench::summarise(m.fan_out.last);
            const double per_report = last.median / config.yoyos;
            const bench::Summary baseline_last = bench::summarise(m.baseline_fan_out.last);
            fan_out.add({kind.name, n, runs(config), bench::spread(bench::summarise(m.fan_out.first)),
                         bench::spread(bench::summarise(m.fan_out.median)), bench::spread(last),
                         bench::spread(bench::summarise(m.fan_out.skew)), bench::ms(per_report),
                         bench::spread(baseline_last), bench::ratio(baseline_last.median, last.median),
                         bench::ms(usb_interval_ms), bench::verdict(per_report <= usb_interval_ms)});
            if (config.yoyos == 64)
                explain(kind, config, gui_time, baseline, last);
        }
    }
}

// hidapi's enumeration on its own, the bulk of a discovery step.
double enumeration_ms()
{
    const steady::time_point started = steady::now();
    hid_free_enumeration(yoyo::enumerate(edition.vendor_id, edition.product_id));
    return bench::ms_between(started, steady::now());
}

// One discovery step, as the window's timer runs it once a second.
void discovery(bench::Table &table)
{
    const Kind kind = kinds().front();
    constexpr double limit_ms = 1000 * 0.01;
    for (int count : {0, 8, 64}) {
        std::fprintf(stderr, "bench: discovery, %s, N = %d\n", kind.name.c_str(), count);
        Scene scene(kind, count);
        std::vector<double> steps, enumerations;
        for (int run = 0; run < bench::repeats(30, 5); ++run) {
            const steady::time_point started = steady::now();
            inside::poll_yoyos(*scene.window);
            steps.push_back(bench::ms_between(started, steady::now()));
            enumerations.push_back(enumeration_ms());
        }
        const bench::Summary step = bench::summarise(steps);
        const std::string program = player_edition::bluetooth ? "pulsetra_ble" : "pulsetra";
        table.add({program + ", `poll_yoyos`", kind.name, std::to_string(count), std::to_string(step.count),
                   bench::three(step), bench::three(bench::summarise(enumerations)), "1000", bench::ms(limit_ms),
                   bench::verdict(step.max <= limit_ms)});
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    const int threads = QThreadPool::globalInstance()->maxThreadCount();
    bench::note("fanout", std::string("Pool: `QThreadPool::globalInstance()->maxThreadCount()` = ") +
                              std::to_string(threads) + " (the machine's " +
                              std::to_string(QThread::idealThreadCount()) + " cores).");

    bench::Table gui({"Yo-yos", "N", "Runs (broadcast / baseline)",
                      "`tz3_send_all` on the GUI thread, ms (min / median / max)",
                      "Baseline: written in turn on the GUI thread, ms (min / median / max)",
                      "Baseline ÷ broadcast (medians)", "Limit, ms", "Within (max)"});
    bench::Table fan_out({"Yo-yos", "N", "Runs (broadcast / baseline)", "First, ms", "Median, ms", "Last, ms",
                          "Skew (last − first), ms", "Last ÷ N, ms", "Baseline last, ms",
                          "Baseline ÷ broadcast (last)", "Limit per report, ms", "Within (last ÷ N)"});
    bench::Table steps(bench::discovery_columns());
    broadcasts(gui, fan_out);
    discovery(steps);
    gui.print("broadcast");
    fan_out.print("fanout");
    steps.print("discovery");
    return 0;
}
