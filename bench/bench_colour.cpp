// The colour tool's device work, timed in its own window against the rig's
// Bluetooth yo-yos: the count step that its poll thread hands to the GUI
// thread four times a second, one send, and how many colour changes a
// second the window keeps up with while the panel's colour field is dragged
// with Auto ticked, each against the serial send the window made before its
// colours went through the broadcast.
#include "bench_support.h"
#include "command_report.h"
#include "delivery.h"
#include "hid_library.h"
#include "transport.h"
#include "vantrel.h"
#include "virtual_yoyos.h"
#include "yoyo_list.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <map>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using bench::fail;
using bench::steady;

namespace {

// How the window's colours went out before they went through the broadcast,
// the baseline: every listed yo-yo opened, written to and closed in turn on
// the GUI thread, the send ending at the first failed write.
void serial_send(const QColor &colour)
{
    const std::vector<std::uint8_t> report = yoyo::colour_report(colour.redF(), colour.greenF(), colour.blueF());
    for (const hid_device_info *record = yoyo_devices; record; record = record->next)
        if (yoyo::deliver(yoyo::bluetooth, record->path, record->serial_number, report.data())
            == yoyo::Delivery::write_failed)
            return;
}

// What the rig reads for `colour`.
std::string on_the_wire(const QColor &colour)
{
    return rig::describe(yoyo::colour_report(colour.redF(), colour.greenF(), colour.blueF()));
}

// The window among `count` Bluetooth yo-yos, once its count shows them.
struct Scene {
    rig::VirtualYoyos yoyos;
    std::unique_ptr<vantrel> window;
    int count;

    explicit Scene(int count)
        : count(count)
    {
        for (int i = 0; i < count; ++i)
            yoyos.add({rig::Transport::bluetooth, std::to_string(i + 1), -1, 1});
        window = std::make_unique<vantrel>();
        window->show();
        const QString shown = QString::number(count);
        auto *label = window->findChild<QLabel *>("lbl_con");
        if (!bench::run_event_loop_until([&] { return label->text() == shown; }, 10000))
            fail("the colour tool never counted " + std::to_string(count) + " yo-yos");
    }

    std::size_t reports() const { return yoyos.received().size(); }
    QColorDialog *panel() const { return window->findChild<QColorDialog *>("col_pan"); }
    QCheckBox *auto_send() const { return window->findChild<QCheckBox *>("chk_send_auto"); }

    // Waits until every yo-yo's latest report is `colour`; returns when the
    // last of them arrived.
    steady::time_point wait_for_everywhere(const std::string &colour) const
    {
        steady::time_point last{};
        for (int i = 0; i < count; ++i) {
            const steady::time_point since = steady::now();
            for (;;) {
                const std::vector<rig::Received> seen = yoyos.received(i);
                if (!seen.empty() && rig::describe(seen.back().bytes) == colour) {
                    last = std::max(last, seen.back().at);
                    break;
                }
                if (bench::ms_between(since, steady::now()) > 10000)
                    fail("a colour did not reach every yo-yo");
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        }
        return last;
    }
};

// The two ways a colour goes out: the window's own (its Send button's slot,
// and Auto), or the serial send of before, connected to the panel in Auto's
// place.
enum class Way { broadcast, serial };

const char *named(Way way)
{
    return way == Way::broadcast ? "`on_btn_send_col_clicked`, through the broadcast"
                                 : "serial send on the GUI thread (before; baseline)";
}

// How long each of `runs` count steps took on the GUI thread, and the
// processor time each used.
std::pair<std::vector<double>, std::vector<double>> count_steps(int runs)
{
    bench::HandoverClock &clock = bench::handover_clock();
    clock.handovers.clear();
    clock.handover_cpu.clear();
    bench::run_event_loop_until([&] { return int(clock.handovers.size()) >= runs; }, runs * 1000);
    return {clock.handovers, clock.handover_cpu};
}

std::vector<double> enumerations(int runs)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const steady::time_point started = steady::now();
        hid_free_enumeration(yoyo::enumerate(yoyo::bluetooth.vendor_id, yoyo::bluetooth.product_id));
        times.push_back(bench::ms_between(started, steady::now()));
    }
    return times;
}

struct Sent {
    std::vector<double> on_gui_thread;
    std::vector<double> everywhere; // until the colour was at every yo-yo
};

// Send pressed, each run with a colour of its own once the previous one is
// at every yo-yo.
Sent sends(Scene &scene, Way way, int runs)
{
    Sent sent;
    for (int i = 0; i < runs; ++i) {
        const QColor colour = QColor::fromHsv(i * 360 / runs, 200, 255);
        {
            // Not Auto's send: the one timed here.
            const QSignalBlocker quiet(scene.panel());
            scene.panel()->setCurrentColor(colour);
        }
        const steady::time_point started = steady::now();
        if (way == Way::broadcast)
            QMetaObject::invokeMethod(scene.window.get(), "on_btn_send_col_clicked", Qt::DirectConnection);
        else
            serial_send(scene.panel()->currentColor());
        sent.on_gui_thread.push_back(bench::ms_between(started, steady::now()));
        sent.everywhere.push_back(bench::ms_between(started, scene.wait_for_everywhere(on_the_wire(colour))));
    }
    return sent;
}

// Where a drag goes: back and forth across the field, a little lower on
// every pass, so that every move points at another colour.
class Path
{
public:
    explicit Path(QRect area)
        : area(area)
        , at(area.topLeft() + QPoint(1, 1))
    {
    }

    QPoint start() const { return at; }

    QPoint next()
    {
        if (at.x() + step >= area.right() || at.x() + step <= area.left()) {
            step = -step;
            at.ry() += 3;
            if (at.y() >= area.bottom())
                at.ry() = area.top() + 1;
        } else {
            at.rx() += step;
        }
        return at;
    }

private:
    QRect area;
    QPoint at;
    int step = 3;
};

struct Dragged {
    int changes = 0;
    double seconds = 0;
    // For each change of the colour: from its input until that colour, or a
    // newer one that replaced it on the way, was at every yo-yo.
    std::vector<double> responses;

    double rate() const { return changes / seconds; }
};

// The operator drags across the colour panel's hue and saturation field
// with every change of the colour sent, the window's way (Auto ticked) or
// the serial way of before.
class Drag
{
public:
    Drag(Scene &scene, Way way)
        : scene(scene)
    {
        auto_ticked = scene.auto_send()->checkState() == Qt::Checked;
        if (!auto_ticked)
            fail("Auto is not ticked");
        QColorDialog *panel = scene.panel();
        for (QFrame *frame : panel->findChildren<QFrame *>())
            if (frame->inherits("QColorPicker"))
                field = frame;
        if (!field)
            fail("the panel has no colour field");
        if (way == Way::serial)
            scene.auto_send()->click();
        // Full brightness, so that every point of the field is another colour.
        panel->setCurrentColor(QColor(Qt::red));
        // After the window's own reaction, so a change is counted once it is
        // handed to the broadcast.
        changed = QObject::connect(panel, &QColorDialog::currentColorChanged, field, [this, way](const QColor &colour) {
            if (way == Way::serial)
                serial_send(colour);
            picks.push_back({on_the_wire(colour), input});
        });
    }

    ~Drag()
    {
        QObject::disconnect(changed);
        if (scene.auto_send()->isChecked() != auto_ticked)
            scene.auto_send()->click();
    }

    // Moves delivered one after the other as fast as the window takes
    // them, the event loop turning between them (so the poll thread's count
    // steps run as they do in the program): the most changes it sustains.
    Dragged flat_out(double seconds)
    {
        Path path(field->contentsRect());
        press(path.start());
        const steady::time_point started = steady::now();
        while (bench::ms_between(started, steady::now()) < seconds * 1000) {
            input = steady::now();
            move_to(path.next());
            QCoreApplication::processEvents();
        }
        return finish(started);
    }

    // A mouse that reports a new position `rate_hz` times a second from a
    // thread of its own, while the GUI thread runs its event loop. As the
    // X server merges motion events, at most one move waits for the GUI
    // thread: a waiting move takes the newest position and its age counts
    // from the oldest input it stands for.
    Dragged paced(double seconds, int rate_hz)
    {
        struct Waiting {
            std::mutex lock;
            bool queued = false;
            QPoint at;
            steady::time_point since;
        } waiting;
        QObject gui_side;
        auto deliver = [&] {
            QPoint at;
            {
                std::lock_guard<std::mutex> guard(waiting.lock);
                at = waiting.at;
                input = waiting.since;
                waiting.queued = false;
            }
            move_to(at);
        };

        Path path(field->contentsRect());
        press(path.start());
        const steady::time_point started = steady::now();
        std::atomic<bool> moving{true};
        std::thread pointer([&] {
            const auto period = std::chrono::microseconds(1000000 / rate_hz);
            steady::time_point next = steady::now();
            while (moving) {
                next += period;
                std::this_thread::sleep_until(next);
                std::lock_guard<std::mutex> guard(waiting.lock);
                waiting.at = path.next();
                if (!waiting.queued) {
                    waiting.queued = true;
                    waiting.since = steady::now();
                    QMetaObject::invokeMethod(&gui_side, deliver, Qt::QueuedConnection);
                }
            }
        });
        bench::run_event_loop_until([] { return false; }, int(seconds * 1000));
        moving = false;
        pointer.join();
        QCoreApplication::processEvents(); // a move still queued
        return finish(started);
    }

private:
    struct Pick {
        std::string colour;
        steady::time_point input;
    };

    void send_mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QMouseEvent event(type, at, field->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(field, &event);
    }

    void press(QPoint at)
    {
        reports_before = scene.reports();
        picks.clear();
        last = at;
        input = steady::now();
        send_mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    }

    void move_to(QPoint at)
    {
        last = at;
        send_mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
    }

    Dragged finish(steady::time_point started)
    {
        Dragged result;
        result.seconds = bench::ms_between(started, steady::now()) / 1000;
        result.changes = int(picks.size());
        send_mouse(QEvent::MouseButtonRelease, last, Qt::LeftButton, Qt::NoButton);
        if (picks.empty())
            fail("the drag changed no colour");
        scene.wait_for_everywhere(picks.back().colour);
        result.responses = responses();
        return result;
    }

    // Reads the rig's reports in order of arrival: a report of pick k (the
    // latest pick of its colour made before it arrived) brings its yo-yo up
    // to k, and pick k is everywhere once every yo-yo is up to k or beyond.
    std::vector<double> responses() const
    {
        std::map<std::string, std::vector<std::size_t>> picked; // colour → its picks
        for (std::size_t k = 0; k < picks.size(); ++k)
            picked[picks[k].colour].push_back(k);
        std::vector<long> reached(std::size_t(scene.count), -1);
        long everywhere = -1;
        std::vector<double> times;
        const std::vector<rig::Received> arrived = scene.yoyos.received();
        for (std::size_t r = reports_before; r < arrived.size(); ++r) {
            const auto found = picked.find(rig::describe(arrived[r].bytes));
            if (found == picked.end())
                continue; // the colour that the drag started from
            long k = -1;
            for (std::size_t pick : found->second)
                if (picks[pick].input <= arrived[r].at)
                    k = long(pick);
            long &at_yoyo = reached[std::size_t(arrived[r].yoyo)];
            at_yoyo = std::max(at_yoyo, k);
            const long now_everywhere = *std::min_element(reached.begin(), reached.end());
            for (long pick = everywhere + 1; pick <= now_everywhere; ++pick)
                times.push_back(bench::ms_between(picks[std::size_t(pick)].input, arrived[r].at));
            everywhere = std::max(everywhere, now_everywhere);
        }
        if (everywhere + 1 != long(picks.size()))
            fail("a colour of the drag did not reach every yo-yo");
        return times;
    }

    Scene &scene;
    QWidget *field = nullptr;
    bool auto_ticked = false;
    QMetaObject::Connection changed;
    std::vector<Pick> picks;
    steady::time_point input; // of the move being delivered
    std::size_t reports_before = 0;
    QPoint last;
};

// The machine's load average over 1, 5 and 15 minutes.
std::string load_average()
{
    QFile file("/proc/loadavg");
    if (!file.open(QIODevice::ReadOnly))
        return "unknown";
    return file.readAll().split(' ').mid(0, 3).join(' ').toStdString();
}

std::string per_second(double rate)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", rate);
    return text;
}

} // namespace

int main(int argc, char *argv[])
{
    // The window keeps its favourites in the home directory; a private one
    // leaves the user's alone.
    QTemporaryDir home;
    if (!home.isValid())
        fail("no temporary home directory");
    qputenv("HOME", home.path().toLocal8Bit());
    // The count step is timed as the poll thread's hand-over runs it: one
    // queued call to a QtConcurrent::Context.
    bench::HandoverClock application(argc, argv, "QtConcurrent::Context");

    constexpr double poll_interval_ms = 250;
    constexpr double step_limit_ms = 0.5;
    constexpr double send_limit_ms = 1;
    constexpr double rate_limit = 120;
    constexpr double median_limit_ms = 10;
    constexpr double response_limit_ms = 30;
    bench::Table steps(bench::discovery_columns());
    constexpr int mouse_hz = 125;
    bench::Table colour({"Send", "N", "Sends", "One send on the GUI thread, ms (min / median / max)",
                         "Send → colour at every yo-yo, ms (min / median / max)",
                         "Drag flat out: changes per second", "Drag flat out: move → colour at every yo-yo, ms (min / median / max)",
                         "125 Hz mouse: changes per second", "125 Hz mouse: input → colour at every yo-yo, ms (min / median / max)",
                         "Limits: send max, ms / changes per second / response median, max, ms",
                         "Within (send / 125 Hz changes / 125 Hz response)"});
    const std::string load_at_start = load_average();
    for (int count : {0, 1, 8, 64}) {
        std::fprintf(stderr, "bench: colour tool, N = %d\n", count);
        Scene scene(count);
        const auto timed = count_steps(bench::repeats(20, 4));
        const bench::Summary step = bench::summarise(timed.first);
        const bench::Summary cpu = bench::summarise(timed.second);
        steps.add({"skeel, count step (its hand-over)", "Bluetooth", std::to_string(count), std::to_string(step.count),
                   bench::three(step), bench::three(cpu),
                   bench::three(bench::summarise(enumerations(bench::repeats(20, 4)))),
                   bench::ms(poll_interval_ms), bench::ms(step_limit_ms),
                   bench::verdict(step.max <= step_limit_ms) + " / " + bench::verdict(cpu.max <= step_limit_ms)});
        if (count == 0)
            continue;
        for (Way way : {Way::broadcast, Way::serial}) {
            const int runs = bench::repeats(20, 4);
            const Sent sent = sends(scene, way, runs);
            const bench::Summary send = bench::summarise(sent.on_gui_thread);
            Drag drag(scene, way);
            const double seconds = bench::quick() ? 0.5 : 2.0;
            const Dragged flat_out = drag.flat_out(seconds);
            const Dragged paced = drag.paced(seconds, mouse_hz);
            const bench::Summary response = bench::summarise(paced.responses);
            colour.add({named(way), std::to_string(count), std::to_string(runs), bench::three(send),
                        bench::three(bench::summarise(sent.everywhere)), per_second(flat_out.rate()),
                        bench::three(bench::summarise(flat_out.responses)), per_second(paced.rate()),
                        bench::three(response),
                        bench::ms(send_limit_ms) + " / " + per_second(rate_limit) + " / " + bench::ms(median_limit_ms)
                            + ", " + bench::ms(response_limit_ms),
                        bench::verdict(send.max <= send_limit_ms) + " / " + bench::verdict(paced.rate() >= rate_limit)
                            + " / "
                            + bench::verdict(response.median <= median_limit_ms && response.max <= response_limit_ms)});
        }
    }
    steps.print("discovery");
    colour.print("colour");
    bench::note("colour", "The load average (1, 5, 15 min) was " + load_at_start + " when these rows began and "
                              + load_average() + " when they ended.");
    return 0;
}
