// A long show day in one process: the show player's window plays show after
// show of one kind, or opens its video again and again, among the rig's
// yo-yos; or the colour tool sends thousands of colour changes with Auto.
// The process's resident memory, threads and open descriptors are read from
// /proc at checkpoints along the way. Each run is one row; scripts/bench
// starts a fresh process for every row, so that each starts from the same
// state as a program just started.
//
// Usage: bench_soak_<edition> shows abort|stop|end N | opens N | colour N
#include "player_access.h"

#include "bench_support.h"
#include "modal_answer.h"
#include "player_widget.h"
#include "process_footprint.h"
#include "vantrel.h"
#include "virtual_yoyos.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

using bench::fail;

namespace {

constexpr int delay_s = 5;
constexpr int yoyo_count = 8;
// Resident memory after the last step may be at most this many times its
// size after the first; threads and descriptors may not grow at all.
constexpr double growth_limit = 1.25;

std::string cell(const process_footprint &at)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.1f / %d / %d", at.resident_kib / 1024.0, at.threads, at.descriptors);
    return text;
}

// Lets queued work land (the surface's end notices, the yo-yos' list) before
// a reading.
void settle(int ms)
{
    bench::run_event_loop_until([] { return false; }, ms);
}

// Repeats `step` `count` times and reads the footprint after each of the
// checkpoints; prints one row.
void soak(const std::string &program, const std::string &repeated, const std::string &beside, int count,
          const std::vector<int> &checkpoints, const std::function<void(int)> &step)
{
    std::vector<process_footprint> read;
    for (int i = 1; i <= count; ++i) {
        step(i);
        if (std::find(checkpoints.begin(), checkpoints.end(), i) != checkpoints.end()) {
            read.push_back(process_footprint::now());
            std::fprintf(stderr, "bench: soak, %s, %s, %d: %s\n", program.c_str(), repeated.c_str(), i,
                         cell(read.back()).c_str());
        }
    }
    std::string after;
    for (int at : checkpoints) {
        std::string number = std::to_string(at);
        if (at >= 1000)
            number.insert(number.size() - 3, ",");
        after += (after.empty() ? " (after " : ", ") + number;
    }
    const process_footprint &first = read.front(), &last = read.back();
    const double growth = double(last.resident_kib) / double(first.resident_kib);
    const bool within = growth <= growth_limit && last.threads <= first.threads && last.descriptors <= first.descriptors;
    std::vector<std::string> row{program, repeated + after + ")", beside};
    for (std::size_t i = 0; i < 4; ++i)
        row.push_back(i < read.size() ? cell(read[i]) : "—");
    char ratio[32];
    std::snprintf(ratio, sizeof ratio, "%.2f×", growth);
    row.push_back(ratio);
    row.push_back("1.25×, no more threads or descriptors");
    row.push_back(bench::verdict(within));
    bench::Table table({"Program", "Repeated", "Beside it", "At checkpoint 1: MiB / threads / descriptors",
                        "At checkpoint 2", "At checkpoint 3", "At checkpoint 4",
                        "Resident memory, last ÷ first checkpoint", "Limit", "Within"});
    table.add(row);
    table.print("soak");
}

// The show player's window among its edition's yo-yos, its video opened
// through the open button, as the operator does.
class ShowDay {
public:
    ShowDay()
    {
        for (int i = 0; i < yoyo_count; ++i)
            yoyos.add({edition_transport, std::to_string(i + 1), 1, 1});
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            fail("the window was never shown");
        inside::poll_yoyos(window);
        if (!bench::run_event_loop_until(
                [this] { return inside::ui(window)->lbl_yoyo_cnt->text() == QString::number(yoyo_count); }, 10000))
            fail("the show player never counted its yo-yos");
        open();
        inside::set_delay(window, QString::number(delay_s));
    }

    void open()
    {
        answer_modal<QFileDialog>([](QFileDialog *dialog) {
            dialog->findChild<QLineEdit *>("fileNameEdit")->setText(QStringLiteral(BENCH_CLIP));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        QTest::mouseClick(inside::ui(window)->btn_open, Qt::LeftButton);
        if (inside::ui(window)->lbl_file_name->text() != QFileInfo(QStringLiteral(BENCH_CLIP)).fileName())
            fail("the video was not opened");
        settle(300);
    }

    // Play, then the operator's double-click: 2.5 s into the countdown, 2 s
    // into the video, or once the video has ended by itself.
    void show(const QString &ending)
    {
        player_widget *surface = inside::player(window);
        QTest::mouseClick(inside::ui(window)->btn_play, Qt::LeftButton);
        if (!inside::playing(window))
            fail("Play started no show");
        if (ending == "abort") {
            settle(2500);
        } else {
            if (!bench::run_event_loop_until([surface] { return surface->is_playing(); }, (delay_s + 3) * 1000))
                fail("the video did not start");
            if (ending == "stop")
                settle(2000);
            else if (!bench::run_event_loop_until([surface] { return !surface->is_playing(); }, 10000))
                fail("the video did not end");
        }
        QTest::mouseDClick(surface, Qt::LeftButton, Qt::NoModifier, surface->rect().center());
        if (inside::playing(window))
            fail("the double-click did not end the show");
        if (!inside::broadcast(window).wait_for_tasks(5000))
            fail("the reports did not land");
        yoyos.clear_received();
        settle(500);
    }

private:
    rig::VirtualYoyos yoyos;
    tz3_player_main window;
};

// The colour tool among Bluetooth yo-yos, Auto ticked as it starts; each
// change of the panel's colour is sent to every yo-yo.
void colour_changes(int count)
{
    // The window keeps its favourites in the home directory: a private one.
    QTemporaryDir home;
    if (!home.isValid())
        fail("no temporary home directory");
    qputenv("HOME", home.path().toLocal8Bit());
    rig::VirtualYoyos yoyos;
    for (int i = 0; i < yoyo_count; ++i)
        yoyos.add({rig::Transport::bluetooth, std::to_string(i + 1), -1, 1});
    vantrel window;
    window.show();
    auto *label = window.findChild<QLabel *>("lbl_con");
    if (!bench::run_event_loop_until([&] { return label->text() == QString::number(yoyo_count); }, 10000))
        fail("the colour tool never counted its yo-yos");
    auto *panel = window.findChild<QColorDialog *>("col_pan");
    std::vector<int> checkpoints{1000, 5000, 10000};
    checkpoints.erase(std::remove_if(checkpoints.begin(), checkpoints.end(), [count](int at) { return at > count; }),
                      checkpoints.end());
    soak("skeel", "colour changes with Auto",
         std::to_string(yoyo_count) + " Bluetooth yo-yos", count, checkpoints, [&](int i) {
             // A new hue every time, so that every step changes the colour.
             panel->setCurrentColor(QColor::fromHsv(i % 360, 255, 128 + i / 360 % 128));
             // The event loop turns between changes, as between mouse moves.
             QCoreApplication::processEvents();
             if (i % 100 == 0) {
                 if (yoyos.received().size() != std::size_t(100 * yoyo_count))
                     fail("a colour did not reach every yo-yo");
                 yoyos.clear_received();
             }
         });
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    const QString what = arguments.value(1);
    const int count = arguments.last().toInt();
    if (count < 1 || (what != "shows" && what != "opens" && what != "colour"))
        fail("usage: bench_soak_<edition> shows abort|stop|end N | opens N | colour N");

    if (what == "colour") {
        colour_changes(count);
        return 0;
    }
    const std::string program = player_edition::bluetooth ? "pulsetra_ble" : "pulsetra";
    const std::string beside = std::to_string(yoyo_count) + (player_edition::bluetooth ? " Bluetooth" : " USB") +
                               " yo-yos";
    std::vector<int> checkpoints;
    for (int at : {1, 10, 50, 100})
        if (at <= count)
            checkpoints.push_back(at);
    ShowDay day;
    if (what == "opens") {
        soak(program, "opening the video", beside, count, checkpoints,
             [&](int) { day.open(); });
        return 0;
    }
    const QString ending = arguments.value(2);
    const std::map<QString, std::string> described{
        {"abort", "shows aborted 2.5 s into the countdown"},
        {"stop", "shows stopped 2 s into the video"},
        {"end", "shows played to the video's end"}};
    if (!described.count(ending))
        fail("a show ends by abort, stop or end");
    soak(program, described.at(ending), beside, count, checkpoints,
         [&](int) { day.show(ending); });
    return 0;
}
