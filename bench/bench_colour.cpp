// The colour tool's device work, timed in its own window against the rig's
// Bluetooth yo-yos: the count step that its poll thread hands to the GUI
// thread four times a second, one send, and how many colour changes a
// second the window keeps up with while the panel's colour field is dragged
// with Auto ticked.
#include "bench_support.h"
#include "hid_library.h"
#include "transport.h"
#include "vantrel.h"
#include "virtual_yoyos.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QTemporaryDir>

#include <atomic>
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
};

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

// Send pressed: the window's own slot, invoked by name.
std::vector<double> sends(Scene &scene, int runs)
{
    std::vector<double> times;
    const std::size_t before = scene.reports();
    for (int i = 0; i < runs; ++i) {
        const steady::time_point started = steady::now();
        QMetaObject::invokeMethod(scene.window.get(), "on_btn_send_col_clicked", Qt::DirectConnection);
        times.push_back(bench::ms_between(started, steady::now()));
    }
    if (scene.reports() - before != std::size_t(runs * scene.count))
        fail("a send did not reach every yo-yo");
    return times;
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
    // For each move that changed the colour: from the input to the moment
    // the colour had been written to every yo-yo.
    std::vector<double> responses;

    double rate() const { return changes / seconds; }
};

// The operator drags across the colour panel's hue and saturation field
// with Auto ticked, so that every change of the colour is sent.
class Drag
{
public:
    explicit Drag(Scene &scene)
        : scene(scene)
    {
        if (scene.window->findChild<QCheckBox *>("chk_send_auto")->checkState() != Qt::Checked)
            fail("Auto is not ticked");
        panel = scene.window->findChild<QColorDialog *>("col_pan");
        for (QFrame *frame : panel->findChildren<QFrame *>())
            if (frame->inherits("QColorPicker"))
                field = frame;
        if (!field)
            fail("the panel has no colour field");
        // Full brightness, so that every point of the field is another colour.
        panel->setCurrentColor(QColor(Qt::red));
        QObject::connect(panel, &QColorDialog::currentColorChanged, field, [this] { ++changes; });
    }

    // Moves delivered one after the other as fast as the window takes
    // them, the event loop turning between them (so the poll thread's count
    // steps run as they do in the program): the most changes it sustains.
    Dragged flat_out(double seconds)
    {
        Path path(field->contentsRect());
        press(path.start());
        Dragged result;
        const int changes_before = changes;
        const steady::time_point started = steady::now();
        while (bench::ms_between(started, steady::now()) < seconds * 1000) {
            const int before = changes;
            const steady::time_point moved = steady::now();
            move_to(path.next());
            if (changes > before)
                result.responses.push_back(bench::ms_between(moved, steady::now()));
            QCoreApplication::processEvents();
        }
        return finish(result, changes_before, started);
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
        Dragged result;
        QObject gui_side;
        auto deliver = [&] {
            QPoint at;
            steady::time_point since;
            {
                std::lock_guard<std::mutex> guard(waiting.lock);
                at = waiting.at;
                since = waiting.since;
                waiting.queued = false;
            }
            const int before = changes;
            move_to(at);
            if (changes > before)
                result.responses.push_back(bench::ms_between(since, steady::now()));
        };

        Path path(field->contentsRect());
        press(path.start());
        const int changes_before = changes;
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
        return finish(result, changes_before, started);
    }

private:
    void send_mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QMouseEvent event(type, at, field->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(field, &event);
    }

    void press(QPoint at)
    {
        reports_before = scene.reports();
        last = at;
        send_mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    }

    void move_to(QPoint at)
    {
        last = at;
        send_mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
    }

    Dragged finish(Dragged result, int changes_before, steady::time_point started)
    {
        result.seconds = bench::ms_between(started, steady::now()) / 1000;
        result.changes = changes - changes_before;
        send_mouse(QEvent::MouseButtonRelease, last, Qt::LeftButton, Qt::NoButton);
        if (scene.reports() - reports_before < std::size_t(result.changes * scene.count))
            fail("a colour of the drag did not reach every yo-yo");
        return result;
    }

    Scene &scene;
    QColorDialog *panel = nullptr;
    QWidget *field = nullptr;
    int changes = 0;
    std::size_t reports_before = 0;
    QPoint last;
};

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
    constexpr double step_limit_ms = poll_interval_ms * 0.01;
    constexpr double response_limit_ms = 100;
    bench::Table steps(bench::discovery_columns());
    constexpr int mouse_hz = 125;
    bench::Table colour({"N", "Sends", "One send (`on_btn_send_col_clicked`) on the GUI thread, ms (min / median / max)",
                         "Drag flat out: changes per second", "Drag flat out: move → colour at every yo-yo, ms (min / median / max)",
                         "125 Hz mouse: changes per second", "125 Hz mouse: input → colour at every yo-yo, ms (min / median / max)",
                         "Limit, ms", "Within (125 Hz mouse, max)"});
    for (int count : {0, 1, 8, 64}) {
        std::fprintf(stderr, "bench: colour tool, N = %d\n", count);
        Scene scene(count);
        if (count != 1) {
            const auto timed = count_steps(bench::repeats(20, 4));
            const bench::Summary step = bench::summarise(timed.first);
            const bench::Summary cpu = bench::summarise(timed.second);
            steps.add({"skeel, count step", "Bluetooth", std::to_string(count), std::to_string(step.count),
                       bench::three(step), bench::three(cpu),
                       bench::three(bench::summarise(enumerations(bench::repeats(20, 4)))),
                       bench::ms(poll_interval_ms), bench::ms(step_limit_ms),
                       bench::verdict(step.max <= step_limit_ms) + " / " + bench::verdict(cpu.max <= step_limit_ms)});
        }
        if (count == 0)
            continue;
        const int runs = bench::repeats(20, 4);
        const bench::Summary send = bench::summarise(sends(scene, runs));
        Drag drag(scene);
        const double seconds = bench::quick() ? 0.5 : 2.0;
        const Dragged flat_out = drag.flat_out(seconds);
        const Dragged paced = drag.paced(seconds, mouse_hz);
        const bench::Summary response = bench::summarise(paced.responses);
        colour.add({std::to_string(count), std::to_string(runs), bench::three(send), per_second(flat_out.rate()),
                    bench::three(bench::summarise(flat_out.responses)), per_second(paced.rate()),
                    bench::three(response), bench::ms(response_limit_ms),
                    bench::verdict(response.max <= response_limit_ms)});
    }
    steps.print("discovery");
    colour.print("colour");
    return 0;
}
