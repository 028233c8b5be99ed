// The show player's broadcast and discovery, timed in the window's own
// members against the rig's virtual yo-yos: how long tz3_send_all keeps the
// GUI thread, when each yo-yo has its report, how long closing the window in
// a show takes, and the GUI thread's share of a discovery step; the fan-out
// next to the same reports written at once by one thread per yo-yo. Built
// once per edition: the USB edition drives USB yo-yos that answer after 1 ms,
// that never answer, and both together; the Bluetooth edition drives
// Bluetooth yo-yos.
#include "player_access.h"

#include "bench_support.h"
#include "command_report.h"
#include "delivery.h"
#include "discovery.h"
#include "hid_library.h"

#include <QLabel>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using bench::fail;
using bench::steady;

namespace {

constexpr const yoyo::Transport &edition = player_edition::transport;
constexpr int prompt = 1;
constexpr int silent = -1;
// umockdev's preload library keeps at most 50 emulated device handles open in
// a process (one more aborts it). A send opens every yo-yo before it writes
// to any, and a silent one keeps its handle for the whole answer time-out,
// so no row has more yo-yos than this.
constexpr int rig_handles = 48;
constexpr int many_answering = rig_handles;
constexpr double skew_limit_ms = 8;

// `answering` yo-yos that answer after 1 ms (or Bluetooth ones) and `silent`
// USB yo-yos that never answer; the skew is taken over the answering ones
// when there are any.
struct Config {
    std::string name;
    int answering;
    int silent;
    int runs;

    int count() const { return answering + silent; }
};

std::vector<Config> configs()
{
    using bench::repeats;
    if (player_edition::bluetooth)
        return {{"Bluetooth", 1, 0, repeats(20, 3)}, {"Bluetooth", 8, 0, repeats(20, 3)},
                {"Bluetooth", many_answering, 0, repeats(20, 3)}};
    return {{"USB, answering after 1 ms", 1, 0, repeats(20, 3)},
            {"USB, answering after 1 ms", 8, 0, repeats(20, 3)},
            {"USB, answering after 1 ms", many_answering, 0, repeats(20, 3)},
            {"USB, never answering", 0, 8, repeats(4, 1)},
            {"USB, never answering", 0, rig_handles, repeats(4, 1)},
            {"USB, answering beside 8 never answering", rig_handles - 8, 8, repeats(4, 1)}};
}

// A fresh window among the yo-yos of `config`, once its own discovery has
// listed them; the answering yo-yos come first.
struct Scene {
    rig::VirtualYoyos yoyos;
    std::unique_ptr<tz3_player_main> window;

    explicit Scene(const Config &config)
    {
        const rig::Transport kind = player_edition::bluetooth ? rig::Transport::bluetooth : rig::Transport::usb;
        for (int i = 0; i < config.count(); ++i)
            yoyos.add({kind, std::to_string(i + 1), i < config.answering ? prompt : silent, 1});
        window = std::make_unique<tz3_player_main>();
        inside::poll_yoyos(*window);
        const QString shown = QString::number(config.count());
        if (!bench::run_event_loop_until([&] { return inside::ui(*window)->lbl_yoyo_cnt->text() == shown; }, 10000))
            fail("the window does not list the " + std::to_string(config.count()) + " yo-yos");
    }
};

// When each of the first `count` yo-yos had its first report, in ms after
// `since`, earliest first.
std::vector<double> arrivals(const rig::VirtualYoyos &yoyos, int count, steady::time_point since)
{
    std::vector<double> times;
    for (int id = 0; id < count; ++id) {
        if (!yoyos.wait_for_reports(id, 1, 10000))
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

std::vector<const hid_device_info *> records(const hid_device_info *yoyos)
{
    std::vector<const hid_device_info *> all;
    for (; yoyos; yoyos = yoyos->next)
        all.push_back(yoyos);
    return all;
}

void broadcasts(bench::Table &gui, bench::Table &fan_out)
{
    constexpr double frame_ms = 1000.0 / 60;
    const yoyo::UsbReport report = yoyo::start_report(5);
    for (const Config &config : configs()) {
        std::fprintf(stderr, "bench: broadcast, %s, N = %d\n", config.name.c_str(), config.count());
        Scene scene(config);
        tz3_player_main &window = *scene.window;
        // The skew of the answering yo-yos, when there are any.
        const int timed = config.answering > 0 ? config.answering : config.count();
        std::vector<double> gui_ms;
        FanOut broadcast, baseline;
        for (int run = 0; run < config.runs; ++run) {
            scene.yoyos.clear_received();
            const steady::time_point called = steady::now();
            inside::tz3_send_all(window, report.data());
            gui_ms.push_back(bench::ms_between(called, steady::now()));
            broadcast.add(arrivals(scene.yoyos, timed, called));
            if (!inside::broadcast(window).wait_for_tasks(10000))
                fail("the broadcast's deliveries did not finish");

            scene.yoyos.clear_received();
            const std::vector<std::uint8_t> framed = yoyo::framed(edition, report.data());
            // The baseline: the same report written at once by one thread per yo-yo.
            const std::vector<const hid_device_info *> listed = records(inside::yoyo_devices(window));
            const steady::time_point released = bench::at_once(int(listed.size()), [&](int i) {
                yoyo::deliver(edition, listed[i]->path, listed[i]->serial_number, framed.data());
            });
            baseline.add(arrivals(scene.yoyos, timed, released));
        }
        const bench::Summary gui_time = bench::summarise(gui_ms);
        const std::string n = std::to_string(config.count());
        const std::string runs = std::to_string(config.runs);
        gui.add({config.name, n, runs, bench::three(gui_time), bench::ms(frame_ms),
                 bench::verdict(gui_time.max <= frame_ms)});
        const bench::Summary last = bench::summarise(broadcast.last);
        const bench::Summary skew = bench::summarise(broadcast.skew);
        const bench::Summary baseline_skew = bench::summarise(baseline.skew);
        fan_out.add({config.name, n, std::to_string(timed), runs, bench::spread(bench::summarise(broadcast.first)),
                     bench::spread(bench::summarise(broadcast.median)), bench::spread(last), bench::spread(skew),
                     bench::ms(last.median / timed), bench::spread(baseline_skew),
                     bench::spread(bench::summarise(baseline.last)), bench::ratio(skew.median, baseline_skew.median),
                     bench::ms(skew_limit_ms), bench::verdict(skew.median <= skew_limit_ms)});
    }
}

// Where the skew comes from. The link's lock lets one open through at a
// time, so the opens of a broadcast take turns; and the rig serves every
// device request on one thread of its own, so even writes to devices opened
// beforehand, made at once by one thread each, reach it one after the other.
void skew_floors()
{
    Scene scene(Config{"", rig_handles, 0, 0});
    const std::vector<const hid_device_info *> listed = records(inside::yoyo_devices(*scene.window));
    const std::vector<std::uint8_t> framed = yoyo::framed(edition, yoyo::start_report(5).data());
    std::vector<double> opens, closes, write_skews;
    for (int run = 0; run < bench::repeats(5, 1); ++run) {
        std::vector<hid_device *> devices;
        for (const hid_device_info *record : listed) {
            const steady::time_point started = steady::now();
            devices.push_back(yoyo::open_device(record->path));
            opens.push_back(bench::ms_between(started, steady::now()));
            if (!devices.back())
                fail("a yo-yo could not be opened");
        }
        scene.yoyos.clear_received();
        const steady::time_point released = bench::at_once(int(devices.size()), [&](int i) {
            hid_write(devices[i], framed.data(), framed.size());
        });
        const std::vector<double> times = arrivals(scene.yoyos, int(devices.size()), released);
        write_skews.push_back(times.back() - times.front());
        for (hid_device *device : devices) {
            const steady::time_point started = steady::now();
            yoyo::close_device(device);
            closes.push_back(bench::ms_between(started, steady::now()));
        }
    }
    const bench::Summary open = bench::summarise(opens), close = bench::summarise(closes);
    const bench::Summary writes = bench::summarise(write_skews);
    char text[600];
    std::snprintf(text, sizeof text,
                  "Where the skew of %d %s yo-yos comes from: under the link's lock, opening a yo-yo took %s ms and "
                  "closing it %s ms (min / median / max, %d each), so the %d opens of a broadcast, one at a time, "
                  "take about %s ms by themselves; written at once by one thread each to %d devices opened "
                  "beforehand (no lock; the rig holds no more open at once), the reports reached the rig with a "
                  "skew of %s ms (median of %d runs), the rig's own share.",
                  many_answering, player_edition::bluetooth ? "Bluetooth" : "USB", bench::three(open).c_str(),
                  bench::three(close).c_str(), open.count, many_answering,
                  bench::ms(open.median * many_answering).c_str(), rig_handles, bench::ms(writes.median).c_str(),
                  writes.count);
    bench::note("fanout", text);
}

// Closing the window in a show: the start report just sent, the window sends
// the stop, waits for the deliveries and shuts the HID library down.
void closing(bench::Table &table)
{
    // Each silent yo-yo holds two handles here, its start's and its stop's.
    Config config{"USB, never answering", 0, rig_handles / 2, bench::repeats(4, 1)};
    std::fprintf(stderr, "bench: closing, N = %d\n", config.count());
    std::vector<double> times;
    for (int run = 0; run < config.runs; ++run) {
        Scene scene(config);
        inside::tz3_send_all(*scene.window, yoyo::start_report(5).data());
        const steady::time_point closed = steady::now();
        // What the destructor does first in a show: send the stop.
        inside::tz3_send_all(*scene.window, yoyo::stop_report().data());
        scene.window.reset();
        times.push_back(bench::ms_between(closed, steady::now()));
        for (int id = 0; id < config.count(); ++id) {
            if (scene.yoyos.received(id).size() != 2)
                fail("a yo-yo did not have its start and its stop");
        }
    }
    const bench::Summary close = bench::summarise(times);
    const double limit_ms = yoyo::answer_timeout_ms + 1000;
    table.add({config.name, std::to_string(config.count()), std::to_string(close.count), bench::three(close),
               bench::ms(limit_ms), bench::verdict(close.max <= limit_ms)});
}

// hidapi's enumeration on its own, which the discovery step runs off the
// GUI thread.
double enumeration_ms()
{
    const steady::time_point started = steady::now();
    hid_free_enumeration(yoyo::enumerate(edition.vendor_id, edition.product_id));
    return bench::ms_between(started, steady::now());
}

// One discovery step as the window's timer runs it once a second: the GUI
// thread pays for poll_yoyos (queueing the step) and for the hand-over
// (swapping the list, showing the count).
void discovery(bench::Table &table)
{
    constexpr double limit_ms = 1;
    const std::string program = player_edition::bluetooth ? "pulsetra_ble" : "pulsetra";
    const std::string kind = player_edition::bluetooth ? "Bluetooth" : "USB";
    for (int count : {0, 8, 64}) {
        std::fprintf(stderr, "bench: discovery, N = %d\n", count);
        Scene scene(Config{"", count, 0, 0}); // enumerating opens no device: all 64 fit
        bench::HandoverClock &clock = bench::handover_clock();
        std::vector<double> shares, cpu_shares, enumerations;
        for (int run = 0; run < bench::repeats(30, 5); ++run) {
            clock.handovers.clear();
            clock.handover_cpu.clear();
            const steady::time_point started = steady::now();
            const double cpu_started = bench::thread_cpu_ms();
            inside::poll_yoyos(*scene.window);
            const double call = bench::ms_between(started, steady::now());
            const double call_cpu = bench::thread_cpu_ms() - cpu_started;
            if (!bench::run_event_loop_until([&] { return !clock.handovers.empty(); }, 10000))
                fail("a discovery step never handed its list over");
            shares.push_back(call + clock.handovers.front());
            cpu_shares.push_back(call_cpu + clock.handover_cpu.front());
            enumerations.push_back(enumeration_ms());
        }
        const bench::Summary share = bench::summarise(shares);
        const bench::Summary cpu_share = bench::summarise(cpu_shares);
        table.add({program + ", `poll_yoyos` and its hand-over", kind, std::to_string(count),
                   std::to_string(share.count), bench::three(share), bench::three(cpu_share),
                   bench::three(bench::summarise(enumerations)), "1000", bench::ms(limit_ms),
                   bench::verdict(share.max <= limit_ms) + " / " + bench::verdict(cpu_share.max <= limit_ms)});
    }
}

} // namespace

int main(int argc, char *argv[])
{
    bench::HandoverClock application(argc, argv, "yoyo::Discovery");
    bench::Table gui({"Yo-yos", "N", "Runs", "`tz3_send_all` on the GUI thread, ms (min / median / max)", "Limit, ms",
                      "Within (max)"});
    bench::Table fan_out({"Yo-yos", "N", "Timed (answering)", "Runs", "First, ms", "Median, ms", "Last, ms",
                          "Skew (last − first), ms", "Last ÷ timed, ms",
                          "Baseline: one thread per yo-yo, skew, ms", "Baseline last, ms",
                          "Skew ÷ baseline skew (medians)", "Limit: skew, ms", "Within (median skew)"});
    bench::Table close({"Yo-yos", "N", "Runs", "Stop sent → window gone, ms (min / median / max)", "Limit, ms",
                        "Within (max)"});
    bench::Table steps(bench::discovery_columns());
    broadcasts(gui, fan_out);
    skew_floors();
    if (!player_edition::bluetooth)
        closing(close);
    discovery(steps);
    gui.print("broadcast");
    fan_out.print("fanout");
    if (!player_edition::bluetooth)
        close.print("close");
    steps.print("discovery");
    return 0;
}
