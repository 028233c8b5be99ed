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
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using bench::steady;

namespace {

[[noreturn]] void fail(const std::string &why)
{
    std::fprintf(stderr, "bench: %s\n", why.c_str());
    std::exit(1);
}

// Sees every event the GUI thread delivers, so that the count step is timed
// as the poll thread's hand-over runs it: one queued call to a
// QtConcurrent::Context.
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;

    std::vector<double> count_steps;

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (event->type() != QEvent::MetaCall || !receiver->inherits("QtConcurrent::Context"))
            return QApplication::notify(receiver, event);
        const steady::time_point started = steady::now();
        const bool handled = QApplication::notify(receiver, event);
        count_steps.push_back(bench::ms_between(started, steady::now()));
        return handled;
    }
};

TimedApplication *application()
{
    return static_cast<TimedApplication *>(QCoreApplication::instance());
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
        const steady::time_point give_up = steady::now() + std::chrono::seconds(10);
        while (window->findChild<QLabel *>("lbl_con")->text() != shown) {
            if (steady::now() > give_up)
                fail("the colour tool never counted " + std::to_string(count) + " yo-yos");
            QTest::qWait(5);
        }
    }

    std::size_t reports() const { return yoyos.received().size(); }
};

std::vector<double> count_steps(int runs)
{
    application()->count_steps.clear();
    const steady::time_point give_up = steady::now() + std::chrono::seconds(runs);
    while (int(application()->count_steps.size()) < runs && steady::now() < give_up)
        QTest::qWait(5);
    return application()->count_steps;
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

struct Drag {
    int changes = 0;
    double seconds = 0;
    std::vector<double> responses;
};

// The operator drags across the panel's hue and saturation field with Auto
// ticked. Each mouse move is delivered as the event loop delivers it; the
// time until it returns is the time until the colour has gone to every
// yo-yo. Between moves the event loop runs, so the count steps that fall
// into the drag take their share as they do in the program.
Drag drag(Scene &scene, double seconds)
{
    vantrel &window = *scene.window;
    if (window.findChild<QCheckBox *>("chk_send_auto")->checkState() != Qt::Checked)
        fail("Auto is not ticked");
    auto *panel = window.findChild<QColorDialog *>("col_pan");
    QWidget *field = nullptr;
    for (QFrame *frame : panel->findChildren<QFrame *>())
        if (frame->inherits("QColorPicker"))
            field = frame;
    if (!field)
        fail("the panel has no colour field");
    // Full brightness, so that every point of the field is another colour.
    panel->setCurrentColor(QColor(Qt::red));
    QCoreApplication::processEvents();

    Drag result;
    QObject::connect(panel, &QColorDialog::currentColorChanged, field, [&result] { ++result.changes; });
    const QRect area = field->contentsRect();
    auto mouse = [field](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent event(type, at, field->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(field, &event);
    };

    const std::size_t reports_before = scene.reports();
    QPoint at = area.topLeft() + QPoint(1, 1);
    mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    result.changes = 0;
    int step = 3;
    const steady::time_point started = steady::now();
    const steady::time_point end = started + std::chrono::duration_cast<steady::duration>(
                                                 std::chrono::duration<double>(seconds));
    while (steady::now() < end) {
        // Back and forth across the field, a little lower on every pass.
        if (at.x() + step >= area.right() || at.x() + step <= area.left()) {
            step = -step;
            at.ry() += 3;
            if (at.y() >= area.bottom())
                at.ry() = area.top() + 1;
        } else {
            at.rx() += step;
        }
        const int changes = result.changes;
        const steady::time_point moved = steady::now();
        mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
        if (result.changes > changes)
            result.responses.push_back(bench::ms_between(moved, steady::now()));
        QCoreApplication::processEvents();
    }
    result.seconds = bench::ms_between(started, steady::now()) / 1000;
    mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    QObject::disconnect(panel, &QColorDialog::currentColorChanged, field, nullptr);
    if (scene.reports() - reports_before < std::size_t(result.changes * scene.count))
        fail("a colour of the drag did not reach every yo-yo");
    return result;
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
    TimedApplication application(argc, argv);

    constexpr double poll_interval_ms = 250;
    constexpr double step_limit_ms = poll_interval_ms * 0.01;
    constexpr double response_limit_ms = 100;
    bench::Table steps(bench::discovery_columns());
    bench::Table colour({"N", "Sends", "One send (`on_btn_send_col_clicked`) on the GUI thread, ms (min / median / max)",
                         "Drag: colour changes", "Changes per second", "Mouse move → colour at every yo-yo, ms (min / median / max)",
                         "Limit, ms", "Within (max)"});
    for (int count : {0, 1, 8, 64}) {
        std::fprintf(stderr, "bench: colour tool, N = %d\n", count);
        Scene scene(count);
        if (count != 1) {
            const bench::Summary step = bench::summarise(count_steps(bench::repeats(20, 4)));
            steps.add({"skeel, count step", "Bluetooth", std::to_string(count), std::to_string(step.count),
                       bench::three(step), bench::three(bench::summarise(enumerations(bench::repeats(20, 4)))),
                       bench::ms(poll_interval_ms), bench::ms(step_limit_ms), bench::verdict(step.max <= step_limit_ms)});
        }
        if (count == 0)
            continue;
        const int runs = bench::repeats(20, 4);
        const bench::Summary send = bench::summarise(sends(scene, runs));
        const Drag dragged = drag(scene, bench::quick() ? 0.5 : 2.0);
        const bench::Summary response = bench::summarise(dragged.responses);
        char rate[32];
        std::snprintf(rate, sizeof rate, "%.0f", dragged.changes / dragged.seconds);
        colour.add({std::to_string(count), std::to_string(runs), bench::three(send),
                    std::to_string(dragged.changes), rate, bench::three(response), bench::ms(response_limit_ms),
                    bench::verdict(response.max <= response_limit_ms)});
    }
    steps.print("discovery");
    colour.print("colour");
    return 0;
}
