// How accurately the show player starts the video D seconds after the start
// report was handed to the broadcast: the window's own Play, countdown and
// video surface, real libvlc in a private X and sound session, the rig's
// yo-yos listed. Each run is repeated with the countdown on a default
// (coarse) timer, the baseline the precise one is judged against.
//
// Three calls are watched from outside by wrapping them at link time: the
// broadcast's send (the moment the start report is handed over), libvlc's
// making of the media player, and libvlc's play (the moment the video is
// asked for), which also attaches listeners for libvlc's playing and
// video-output events.
#include "player_access.h"

#include "bench_support.h"
#include "broadcast.h"
#include "player_widget.h"
#include "virtual_yoyos.h"

#include <QApplication>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <vlc/vlc.h>

using bench::fail;
using bench::steady;

namespace {

constexpr int delay_s = 5;
// The carried clip has 25 frames a second.
constexpr double frame_ms = 1000.0 / 25;
// What "a few milliseconds" is taken to mean for the play call.
constexpr double few_ms = 5;

// What one run saw, filled in from the GUI thread and libvlc's threads.
struct Observed {
    std::optional<steady::time_point> handed, creating, created, play_called, play_returned, playing, video_output;
};

std::mutex observed_lock;
Observed observed;
bool watching = false;

void note_once(std::optional<steady::time_point> Observed::*moment)
{
    const steady::time_point now = steady::now();
    std::lock_guard<std::mutex> guard(observed_lock);
    if (watching && !(observed.*moment))
        observed.*moment = now;
}

void on_vlc_event(const libvlc_event_t *event, void *)
{
    if (event->type == libvlc_MediaPlayerPlaying)
        note_once(&Observed::playing);
    else if (event->type == libvlc_MediaPlayerVout && event->u.media_player_vout.new_count > 0)
        note_once(&Observed::video_output);
}

} // namespace

extern "C" {

void __real__ZN4yoyo9Broadcast4sendEPK15hid_device_infoPKh(yoyo::Broadcast *self, const hid_device_info *yoyos,
                                                           const std::uint8_t *report);
int __real_libvlc_media_player_play(libvlc_media_player_t *player);
libvlc_media_player_t *__real_libvlc_media_player_new_from_media(libvlc_media_t *media);

// yoyo::Broadcast::send
void __wrap__ZN4yoyo9Broadcast4sendEPK15hid_device_infoPKh(yoyo::Broadcast *self, const hid_device_info *yoyos,
                                                           const std::uint8_t *report)
{
    note_once(&Observed::handed);
    __real__ZN4yoyo9Broadcast4sendEPK15hid_device_infoPKh(self, yoyos, report);
}

// The surface makes a fresh media player for every playback, at the last
// tick, just before it plays.
libvlc_media_player_t *__wrap_libvlc_media_player_new_from_media(libvlc_media_t *media)
{
    note_once(&Observed::creating);
    libvlc_media_player_t *player = __real_libvlc_media_player_new_from_media(media);
    note_once(&Observed::created);
    return player;
}

int __wrap_libvlc_media_player_play(libvlc_media_player_t *player)
{
    libvlc_event_manager_t *events = libvlc_media_player_event_manager(player);
    libvlc_event_attach(events, libvlc_MediaPlayerPlaying, on_vlc_event, nullptr);
    libvlc_event_attach(events, libvlc_MediaPlayerVout, on_vlc_event, nullptr);
    note_once(&Observed::play_called);
    const int result = __real_libvlc_media_player_play(player);
    note_once(&Observed::play_returned);
    return result;
}

} // extern "C"

namespace {

// One show, timed from the start report's hand-over.
struct Run {
    double click_to_hand_over = 0;
    double player_made = 0;   // how long making the media player took
    double play_call = 0;     // minus D
    double play_blocks = 0;   // how long the play call took
    double playing = 0;       // minus D
    double video_output = 0;  // minus D
    double timer_restart = 0; // the coarse baseline's restart after the hand-over
    std::vector<double> tick_offsets, tick_intervals;
};

struct Series {
    std::vector<double> click_to_hand_over, player_made, play_call, play_blocks, playing, video_output, timer_restart,
        tick_offsets, tick_intervals, last_tick;

    void add(const Run &run)
    {
        click_to_hand_over.push_back(run.click_to_hand_over);
        player_made.push_back(run.player_made);
        play_call.push_back(run.play_call);
        play_blocks.push_back(run.play_blocks);
        playing.push_back(run.playing);
        video_output.push_back(run.video_output);
        timer_restart.push_back(run.timer_restart);
        tick_offsets.insert(tick_offsets.end(), run.tick_offsets.begin(), run.tick_offsets.end());
        tick_intervals.insert(tick_intervals.end(), run.tick_intervals.begin(), run.tick_intervals.end());
        last_tick.push_back(run.tick_offsets.back());
    }
};

class Show {
public:
    Show()
    {
        for (int i = 0; i < 8; ++i)
            yoyos.add({rig::Transport::usb, std::to_string(i + 1), 1, 1});
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            fail("the window was never shown");
        inside::poll_yoyos(window);
        const QString clip = QStringLiteral(BENCH_CLIP);
        if (inside::player(window)->open_media(clip).isEmpty())
            fail("the video surface refused " + clip.toStdString());
        inside::set_delay(window, QString::number(delay_s));

        QLineEdit *field = inside::ui(window)->txt_delay;
        QObject::connect(field, &QLineEdit::textChanged, field, [this](const QString &text) {
            bool number = false;
            const int remaining = text.toInt(&number);
            if (counting && number && remaining == delay_s - 1 - int(ticks.size()))
                ticks.push_back(steady::now());
        });
    }

    Run run(bool coarse)
    {
        {
            std::lock_guard<std::mutex> guard(observed_lock);
            observed = Observed();
            watching = true;
        }
        ticks.clear();
        counting = true;

        const steady::time_point clicked = steady::now();
        QTest::mouseClick(inside::ui(window)->btn_play, Qt::LeftButton);
        QTimer *countdown = inside::countdown_timer(window);
        if (!countdown)
            fail("Play started no countdown");
        std::optional<steady::time_point> restarted;
        if (coarse) {
            countdown->stop();
            countdown->setTimerType(Qt::CoarseTimer);
            countdown->start(1000);
            restarted = steady::now();
        }

        bench::run_event_loop_until(
            [this] {
                std::lock_guard<std::mutex> guard(observed_lock);
                return observed.playing && observed.video_output && ticks.size() == delay_s;
            },
            (delay_s + 10) * 1000);
        Observed seen;
        {
            std::lock_guard<std::mutex> guard(observed_lock);
            watching = false;
            seen = observed;
        }
        counting = false;
        if (!seen.handed || !seen.creating || !seen.created || !seen.play_called || !seen.play_returned || !seen.playing || !seen.video_output
            || ticks.size() != delay_s)
            fail("a show did not reach its video (no start report, play call, playing event, video output "
                 "or countdown tick)");

        stop_show();

        const steady::time_point handed = *seen.handed;
        const double d_ms = delay_s * 1000.0;
        Run run;
        run.click_to_hand_over = bench::ms_between(clicked, handed);
        run.player_made = bench::ms_between(*seen.creating, *seen.created);
        run.play_call = bench::ms_between(handed, *seen.play_called) - d_ms;
        run.play_blocks = bench::ms_between(*seen.play_called, *seen.play_returned);
        run.playing = bench::ms_between(handed, *seen.playing) - d_ms;
        run.video_output = bench::ms_between(handed, *seen.video_output) - d_ms;
        run.timer_restart = restarted ? bench::ms_between(handed, *restarted) : 0;
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            run.tick_offsets.push_back(bench::ms_between(handed, ticks[i]) - 1000.0 * double(i + 1));
            const steady::time_point previous = i == 0 ? handed : ticks[i - 1];
            run.tick_intervals.push_back(bench::ms_between(previous, ticks[i]));
        }
        return run;
    }

private:
    // A double-click on the video, as the operator ends a show; then the
    // surface lets go of its player and the stop reports land.
    void stop_show()
    {
        player_widget *surface = inside::player(window);
        QSignalSpy stopped(surface, &player_widget::player_stopped);
        QTest::mouseDClick(surface, Qt::LeftButton, Qt::NoModifier, surface->rect().center());
        if (stopped.isEmpty() && !stopped.wait(5000))
            fail("the video did not stop");
        if (!inside::broadcast(window).wait_for_tasks(5000))
            fail("the stop reports did not land");
        QTest::qWait(200);
    }

    rig::VirtualYoyos yoyos;
    tz3_player_main window;
    std::vector<steady::time_point> ticks;
    bool counting = false;
};

// How far from D the farthest run was, early or late.
double largest_error(const bench::Summary &offsets)
{
    return std::max(std::abs(offsets.min), std::abs(offsets.max));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    Show show;
    const int runs = bench::repeats(10, 2);

    bench::Table starts({"Countdown timer", "Runs", "Play click → hand-over, ms",
                         "Making the media player at the last tick, ms (min / median / max)",
                         "`libvlc_media_player_play` called − D, ms (min / median / max)",
                         "Play call takes, ms (min / median / max)", "Playing event − D, ms (min / median / max)",
                         "Video output − D, ms (min / median / max)", "Spread of video output (max − min), ms",
                         "Limits: play call / spread, ms", "Within (play call / spread)"});
    bench::Table ticks({"Countdown timer", "Ticks", "Tick − its whole second after hand-over, ms (min / median / max)",
                        "Jitter (largest − smallest of those), ms", "Tick-to-tick, ms (min / median / max)",
                        "Last tick (video) − D, ms (min / median / max)"});
    bench::Summary precise_call, precise_output;
    for (bool coarse : {false, true}) {
        const std::string name = coarse ? "default (coarse) `QTimer`, baseline" : "the window's (precise)";
        Series series;
        for (int i = 0; i < runs; ++i) {
            std::fprintf(stderr, "bench: show, %s, run %d\n", coarse ? "coarse" : "precise", i + 1);
            series.add(show.run(coarse));
        }
        const bench::Summary play_call = bench::summarise(series.play_call);
        const bench::Summary output = bench::summarise(series.video_output);
        const double spread = output.max - output.min;
        if (!coarse) {
            precise_call = play_call;
            precise_output = output;
        }
        starts.add({name, std::to_string(runs), bench::spread(bench::summarise(series.click_to_hand_over)),
                    bench::three(bench::summarise(series.player_made)), bench::three(play_call),
                    bench::three(bench::summarise(series.play_blocks)),
                    bench::three(bench::summarise(series.playing)), bench::three(output), bench::ms(spread),
                    bench::ms(few_ms) + " / " + bench::ms(frame_ms),
                    bench::verdict(largest_error(play_call) <= few_ms) + " / " +
                        bench::verdict(spread <= frame_ms)});
        const bench::Summary offsets = bench::summarise(series.tick_offsets);
        ticks.add({name, std::to_string(offsets.count), bench::three(offsets), bench::ms(offsets.max - offsets.min),
                   bench::three(bench::summarise(series.tick_intervals)),
                   bench::three(bench::summarise(series.last_tick))});
        if (coarse) {
            bench::note("show", "The baseline runs restart the window's countdown as a coarse timer right after "
                                "Play; that restart came " +
                                    bench::spread(bench::summarise(series.timer_restart)) +
                                    " ms after the hand-over and is part of its figures.");
            const double worst = largest_error(play_call), precise_worst = largest_error(precise_call);
            const double precise_spread = precise_output.max - precise_output.min;
            bench::note("show", "Coarse against precise countdown: the play call was at most " + bench::ms(worst) +
                                    " ms against " + bench::ms(precise_worst) + " ms away from D (" +
                                    bench::ratio(worst, precise_worst) + "); the video output spread over " +
                                    bench::ms(spread) + " ms against " + bench::ms(precise_spread) + " ms (" +
                                    bench::ratio(spread, precise_spread) + ").");
        }
    }
    starts.print("show");
    ticks.print("ticks");
    return 0;
}
