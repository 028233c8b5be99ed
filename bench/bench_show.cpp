// How accurately the show player starts the yo-yos and the video: the
// window's own Play, countdown and video surface, real libvlc in a private X
// and sound session, the rig's yo-yos listed. First when each yo-yo has its
// start report inside such a show, beside two ways of writing the same
// reports on the same rig; then (USB edition) when the video starts against
// D, for the test clip and two heavy clips given on the command line. The
// small clip's runs are repeated with the countdown on a default (coarse)
// timer, the baseline the precise one is judged against.
//
// Three calls are watched from outside by wrapping them at link time: the
// making of the start report (the moment Play hands it over), libvlc's
// making of the media player, which attaches a listener for its playing
// event, and libvlc's play, which the surface calls once a show, at the last
// tick, to let the video held since it was opened run. The first picture itself is
// seen on the X screen: another thread reads the surface's part of the
// screen from the X server over and over around D and notes when the clip's
// colours are there. The sound is heard at the session's sound server: a
// recorder of the null sink's monitor notes when the clip's tone arrives.
#include "player_access.h"

#include "bench_support.h"
#include "broadcast.h"
#include "command_report.h"
#include "delivery.h"
#include "hid_library.h"
#include "player_widget.h"
#include "transport.h"
#include "virtual_yoyos.h"

#include <QApplication>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <vlc/vlc.h>
#include <xcb/xcb.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

using bench::fail;
using bench::steady;

namespace {

constexpr int delay_s = 5;
// The play call's limits: its median and its largest distance from D.
constexpr double play_median_ms = 1;
constexpr double play_max_ms = 3;
// The first picture's limits: its median distance from D and its spread.
constexpr double picture_median_ms = 10;
constexpr double picture_spread_ms = 17;
// Against the yo-yos' own zero (the median yo-yo's arrival + D): the
// medians' limits of the play call and the first picture.
constexpr double zero_play_ms = 3;
constexpr double zero_picture_ms = 10;
// The spread of the start reports inside a show: at most this, or 1.5 times
// the armed baseline's, whichever is more.
constexpr double spread_floor_ms = 5;

constexpr yoyo::Transport edition = player_edition::bluetooth ? yoyo::bluetooth : yoyo::usb;

// What one run saw, filled in from the GUI thread and libvlc's threads.
struct Observed {
    std::optional<steady::time_point> handed, play_called, play_returned, playing;
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

// The playing event that counts is the one after the start.
void on_playing(const libvlc_event_t *, void *)
{
    bool started;
    {
        std::lock_guard<std::mutex> guard(observed_lock);
        started = bool(observed.play_called);
    }
    if (started)
        note_once(&Observed::playing);
}

// Whether a strip of the screen shows the test clip: the surface and the
// cover around it are black, the clip's pattern is vivid colour.
bool shows_clip(const xcb_get_image_reply_t *image, int pixels)
{
    const uint8_t *data = xcb_get_image_data(image);
    if (xcb_get_image_data_length(image) < pixels * 4)
        return false;
    int vivid = 0;
    for (int i = 0; i < pixels; ++i) {
        const uint8_t *p = data + 4 * i;
        const int high = std::max({p[0], p[1], p[2]}), low = std::min({p[0], p[1], p[2]});
        vivid += high - low > 128;
    }
    return vivid > pixels / 10;
}

// Watches the surface's part of the X screen from a connection of its own,
// on a thread of its own, and notes when the clip's picture first shows
// there. It reads a strip across the surface (a quarter down) from the root
// window, that is what the X server has on the screen, whoever drew it.
// Until shortly before D it looks every 20 ms, so that a picture shown early
// is caught too; from then on about every millisecond.
class ScreenWatch {
public:
    ScreenWatch()
        : connection(xcb_connect(nullptr, nullptr))
    {
        if (xcb_connection_has_error(connection))
            fail("no connection to the X server for watching the screen");
        root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    }
    ~ScreenWatch()
    {
        finish();
        xcb_disconnect(connection);
    }

    void start(const QRect &area, steady::time_point due)
    {
        first_picture.reset();
        largest_gap = 0;
        reads = 0;
        stopping = false;
        ended = false;
        watcher = std::thread([this, area, due] { watch(area, due); });
    }
    void finish()
    {
        stopping = true;
        if (watcher.joinable())
            watcher.join();
    }

    // The watch has seen the picture or given up; the figures below may be read.
    std::atomic<bool> ended{false};
    std::optional<steady::time_point> first_picture;
    // The longest time between two reads in the last 100 ms before the
    // picture was seen: how late the watch may have seen it.
    double largest_gap = 0;
    int reads = 0;

private:
    void watch(const QRect &area, steady::time_point due)
    {
        look(area, due);
        ended = true;
    }

    void look(const QRect &area, steady::time_point due)
    {
        const auto closely_from = due - std::chrono::milliseconds(300);
        const auto give_up = due + std::chrono::milliseconds(3000);
        const int y = area.top() + area.height() / 4;
        std::vector<steady::time_point> recent;
        while (!stopping && steady::now() < give_up) {
            xcb_get_image_reply_t *image = xcb_get_image_reply(
                connection,
                xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, root, int16_t(area.left()), int16_t(y),
                              uint16_t(area.width()), 4, ~0u),
                nullptr);
            const steady::time_point read = steady::now();
            ++reads;
            if (!image)
                fail("the X server did not return the screen");
            const bool seen = shows_clip(image, area.width() * 4);
            free(image);
            recent.push_back(read);
            if (seen) {
                first_picture = read;
                for (std::size_t i = 1; i < recent.size(); ++i)
                    if (bench::ms_between(recent[i], read) <= 100)
                        largest_gap = std::max(largest_gap, bench::ms_between(recent[i - 1], recent[i]));
                return;
            }
            if (recent.size() > 4096)
                recent.erase(recent.begin(), recent.begin() + 2048);
            // Close to D it still leaves the processor between reads: reading
            // back to back keeps the X server and this thread busy on both
            // cores and delays the very tick being timed.
            std::this_thread::sleep_for(std::chrono::milliseconds(read < closely_from ? 20 : 1));
        }
    }

    xcb_connection_t *connection;
    xcb_window_t root;
    std::thread watcher;
    std::atomic<bool> stopping{false};
};


// Records what the session's sound server plays (the monitor of its null
// sink) with `parec`, on a thread of its own, and notes when the clip's tone
// first arrives: the first sample well above the silence of the muted
// warm-up, timed back from the moment its block was read.
class SoundWatch {
public:
    ~SoundWatch() { finish(); }

    void start()
    {
        first_sound.reset();
        heard = false;
        stopping = false;
        int out[2];
        if (pipe(out) != 0)
            fail("no pipe for the sound recorder");
        recorder = fork();
        if (recorder == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            // Without the rig's device emulation, which would also serve
            // the sound server's shared memory to the recorder.
            execlp("env", "env", "-u", "LD_PRELOAD", "parec", "--device=@DEFAULT_MONITOR@", "--raw", "--format=s16le", "--channels=1",
                   "--rate=22050", "--latency-msec=1", static_cast<char *>(nullptr));
            _exit(127);
        }
        close(out[1]);
        if (recorder < 0)
            fail("the sound recorder could not be started");
        watcher = std::thread([this, fd = out[0]] {
            listen(fd);
            close(fd);
        });
    }
    void finish()
    {
        stopping = true;
        if (watcher.joinable())
            watcher.join();
        if (recorder > 0) {
            kill(recorder, SIGTERM);
            waitpid(recorder, nullptr, 0);
            recorder = -1;
        }
    }

    std::atomic<bool> heard{false};
    std::optional<steady::time_point> first_sound;

private:
    static constexpr double rate = 22050;

    void listen(int fd)
    {
        int16_t block[512];
        while (!stopping && !heard) {
            pollfd ready{fd, POLLIN, 0};
            if (poll(&ready, 1, 20) <= 0)
                continue;
            const ssize_t got = read(fd, block, sizeof block);
            const steady::time_point read_at = steady::now();
            if (got <= 0)
                return;
            const int samples = int(got / 2);
            for (int i = 0; i < samples; ++i) {
                if (std::abs(block[i]) > 2000) {
                    const double after_ms = 1000.0 * (samples - i) / rate;
                    first_sound = read_at - std::chrono::microseconds(std::int64_t(after_ms * 1000));
                    heard = true;
                    return;
                }
            }
        }
    }

    pid_t recorder = -1;
    std::thread watcher;
    std::atomic<bool> stopping{false};
};

} // namespace

extern "C" {

yoyo::UsbReport __real__ZN4yoyo12start_reportEi(int delay_seconds);
int __real_libvlc_media_player_play(libvlc_media_player_t *player);
libvlc_media_player_t *__real_libvlc_media_player_new_from_media(libvlc_media_t *media);

// yoyo::start_report: Play makes the report and hands it to the broadcast
// at once.
yoyo::UsbReport __wrap__ZN4yoyo12start_reportEi(int delay_seconds)
{
    note_once(&Observed::handed);
    return __real__ZN4yoyo12start_reportEi(delay_seconds);
}

// The surface makes its one media player when the video is opened.
libvlc_media_player_t *__wrap_libvlc_media_player_new_from_media(libvlc_media_t *media)
{
    libvlc_media_player_t *player = __real_libvlc_media_player_new_from_media(media);
    if (player)
        libvlc_event_attach(libvlc_media_player_event_manager(player), libvlc_MediaPlayerPlaying, on_playing, nullptr);
    return player;
}

// Within a show the surface plays only at the last tick: the video was
// warmed up and held when it was opened, and a stop holds it again.
int __wrap_libvlc_media_player_play(libvlc_media_player_t *player)
{
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
    double play_call = 0;       // minus D
    double play_blocks = 0;     // how long the play call took
    double playing = 0;         // minus D
    double first_picture = 0;   // minus D
    double first_sound = 0;     // minus D
    double watch_gap = 0;       // the screen watch's largest gap before it
    double timer_restart = 0;   // the coarse baseline's restart after the hand-over
    double play_vs_zero = 0;    // the play call − (median yo-yo's arrival + D)
    double picture_vs_zero = 0; // the first picture − (median yo-yo's arrival + D)
    std::vector<double> tick_offsets, tick_intervals;
};

struct Series {
    std::vector<double> click_to_hand_over, play_call, play_blocks, playing, first_picture, first_sound, watch_gap,
        timer_restart, play_vs_zero, picture_vs_zero, tick_offsets, tick_intervals, last_tick;

    void add(const Run &run)
    {
        click_to_hand_over.push_back(run.click_to_hand_over);
        play_call.push_back(run.play_call);
        play_blocks.push_back(run.play_blocks);
        playing.push_back(run.playing);
        first_picture.push_back(run.first_picture);
        first_sound.push_back(run.first_sound);
        watch_gap.push_back(run.watch_gap);
        timer_restart.push_back(run.timer_restart);
        play_vs_zero.push_back(run.play_vs_zero);
        picture_vs_zero.push_back(run.picture_vs_zero);
        // The last tick is aimed early on purpose; it is shown on its own.
        tick_offsets.insert(tick_offsets.end(), run.tick_offsets.begin(), run.tick_offsets.end() - 1);
        tick_intervals.insert(tick_intervals.end(), run.tick_intervals.begin(), run.tick_intervals.end() - 1);
        last_tick.push_back(run.tick_offsets.back());
    }
};

class Show {
public:
    // `answering` yo-yos (USB ones answer after 1 ms) and `silent` USB ones
    // that never answer, the answering ones first; the clip opened through
    // the video surface.
    Show(int answering, int silent, const QString &clip)
        : answering(answering)
    {
        const rig::Transport kind = player_edition::bluetooth ? rig::Transport::bluetooth : rig::Transport::usb;
        for (int i = 0; i < answering + silent; ++i)
            yoyos.add({kind, std::to_string(i + 1), i < answering ? 1 : -1, 1});
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            fail("the window was never shown");
        inside::poll_yoyos(window);
        const QString shown = QString::number(answering + silent);
        if (!bench::run_event_loop_until([&] { return inside::ui(window)->lbl_yoyo_cnt->text() == shown; }, 10000))
            fail("the window does not list the " + shown.toStdString() + " yo-yos");
        open(clip);
        inside::set_delay(window, QString::number(delay_s));

        QLineEdit *field = inside::ui(window)->txt_delay;
        QObject::connect(field, &QLineEdit::textChanged, field, [this](const QString &text) {
            bool number = false;
            const int remaining = text.toInt(&number);
            if (counting && number && remaining == delay_s - 1 - int(ticks.size()))
                ticks.push_back(steady::now());
        });
    }

    // As the open button does, with the broadcast readied for the list.
    void open(const QString &clip)
    {
        if (inside::player(window)->open_media(clip).isEmpty())
            fail("the video surface refused " + clip.toStdString());
        inside::broadcast(window).warm(yoyo::count_records(inside::yoyo_devices(window)));
        bench::run_event_loop_until([] { return false; }, 200);
    }

    // Play pressed, and the show aborted with a double-click once every
    // answering yo-yo has its start report: the spread of their arrivals.
    double start_spread()
    {
        yoyos.clear_received();
        QTest::mouseClick(inside::ui(window)->btn_play, Qt::LeftButton);
        const std::vector<steady::time_point> times = arrivals();
        player_widget *surface = inside::player(window);
        QTest::mouseDClick(surface, Qt::LeftButton, Qt::NoModifier, surface->rect().center());
        settle();
        return bench::ms_between(times.front(), times.back());
    }

    // The baselines on the same rig: every yo-yo's delivery on a thread of
    // its own, opening in turn under the link's lock (the broadcast's way
    // before); and every yo-yo opened first, then all written at once by one
    // thread each (armed: the rig's own limit). The spread of the answering
    // yo-yos' arrivals.
    double threads_in_turn()
    {
        const std::vector<std::uint8_t> report = yoyo::framed(edition, yoyo::start_report(delay_s).data());
        const std::vector<const hid_device_info *> listed = records();
        yoyos.clear_received();
        bench::at_once(int(listed.size()), [&](int i) {
            yoyo::deliver(edition, listed[i]->path, listed[i]->serial_number, report.data());
        });
        const std::vector<steady::time_point> times = arrivals();
        return bench::ms_between(times.front(), times.back());
    }
    double armed()
    {
        const std::vector<std::uint8_t> report = yoyo::framed(edition, yoyo::start_report(delay_s).data());
        std::vector<hid_device *> devices;
        for (const hid_device_info *record : records())
            devices.push_back(yoyo::open_device(record->path));
        yoyos.clear_received();
        bench::at_once(int(devices.size()), [&](int i) {
            if (devices[std::size_t(i)])
                hid_write(devices[std::size_t(i)], report.data(), report.size());
        });
        const std::vector<steady::time_point> times = arrivals();
        for (hid_device *device : devices)
            if (device)
                yoyo::close_device(device);
        return bench::ms_between(times.front(), times.back());
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
        yoyos.clear_received();

        // The surface fills the container that covers the whole window.
        player_widget *surface = inside::player(window);
        const QRect area(surface->mapToGlobal(QPoint(0, 0)), surface->size());
        sound.start();
        const steady::time_point clicked = steady::now();
        screen.start(area, clicked + std::chrono::milliseconds(delay_s * 1000));
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
                return observed.playing && ticks.size() == delay_s && screen.ended && sound.heard;
            },
            (delay_s + 10) * 1000);
        screen.finish();
        sound.finish();
        Observed seen;
        {
            std::lock_guard<std::mutex> guard(observed_lock);
            watching = false;
            seen = observed;
        }
        counting = false;
        if (!seen.handed || !seen.play_called || !seen.play_returned || !seen.playing || ticks.size() != delay_s)
            fail("a show did not reach its video (no start report, play call, playing event or countdown tick)");
        if (!screen.first_picture)
            fail("the clip's picture never showed on the screen");
        if (!sound.first_sound)
            fail("the clip's sound was never heard");

        const std::vector<steady::time_point> times = arrivals();
        stop_show();

        const steady::time_point handed = *seen.handed;
        const steady::time_point zero = times[times.size() / 2] + std::chrono::seconds(delay_s);
        const double d_ms = delay_s * 1000.0;
        Run run;
        run.click_to_hand_over = bench::ms_between(clicked, handed);
        run.play_call = bench::ms_between(handed, *seen.play_called) - d_ms;
        run.play_blocks = bench::ms_between(*seen.play_called, *seen.play_returned);
        run.playing = bench::ms_between(handed, *seen.playing) - d_ms;
        run.first_picture = bench::ms_between(handed, *screen.first_picture) - d_ms;
        run.first_sound = bench::ms_between(handed, *sound.first_sound) - d_ms;
        run.watch_gap = screen.largest_gap;
        run.timer_restart = restarted ? bench::ms_between(handed, *restarted) : 0;
        run.play_vs_zero = bench::ms_between(zero, *seen.play_called);
        run.picture_vs_zero = bench::ms_between(zero, *screen.first_picture);
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
        settle();
    }

    void settle()
    {
        if (!inside::broadcast(window).wait_for_tasks(5000))
            fail("the stop reports did not land");
        bench::run_event_loop_until([] { return false; }, 200);
    }

    // When each answering yo-yo had its first report since the rig's record
    // was cleared, earliest first.
    std::vector<steady::time_point> arrivals() const
    {
        std::vector<steady::time_point> times;
        for (int id = 0; id < answering; ++id) {
            if (!yoyos.wait_for_reports(id, 1, 10000))
                fail("yo-yo " + std::to_string(id) + " never had its start report");
            times.push_back(yoyos.received(id).front().at);
        }
        std::sort(times.begin(), times.end());
        return times;
    }

    std::vector<const hid_device_info *> records()
    {
        std::vector<const hid_device_info *> all;
        for (const hid_device_info *record = inside::yoyo_devices(window); record; record = record->next)
            all.push_back(record);
        return all;
    }

    const int answering;
    rig::VirtualYoyos yoyos;
    tz3_player_main window;
    ScreenWatch screen;
    SoundWatch sound;
    std::vector<steady::time_point> ticks;
    bool counting = false;
};

// How far from D the farthest run was, early or late.
double largest_error(const bench::Summary &offsets)
{
    return std::max(std::abs(offsets.min), std::abs(offsets.max));
}


// Table 2's rows inside a real show, each beside its two baselines.
void fan_out_in_show()
{
    struct Config {
        std::string name;
        int answering, silent;
    };
    const std::vector<Config> configs =
        player_edition::bluetooth
            ? std::vector<Config>{{"Bluetooth", 24, 0}}
            : std::vector<Config>{{"USB, answering after 1 ms", 8, 0},
                                  {"USB, answering after 1 ms", 24, 0},
                                  {"USB, answering after 1 ms", 48, 0},
                                  {"USB, answering beside 4 never answering", 24, 4}};
    bench::Table table({"Yo-yos", "N", "Timed (answering)", "Shows",
                        "Inside a show: spread of the start reports (last − first), ms",
                        "Baseline: a thread per yo-yo, opening in turn, spread, ms",
                        "Baseline: armed (every yo-yo opened, then all written at once), spread, ms",
                        "Show ÷ armed (medians)", "Limit: spread, ms", "Within (median)"});
    const int runs = bench::repeats(5, 1);
    for (const Config &config : configs) {
        std::fprintf(stderr, "bench: start reports inside a show, %s, N = %d\n", config.name.c_str(),
                     config.answering + config.silent);
        Show show(config.answering, config.silent, QStringLiteral(BENCH_CLIP));
        std::vector<double> in_show, in_turn, armed;
        for (int run = 0; run < runs; ++run) {
            in_show.push_back(show.start_spread());
            in_turn.push_back(show.threads_in_turn());
            armed.push_back(show.armed());
        }
        const bench::Summary shown = bench::summarise(in_show), floor = bench::summarise(armed);
        const double limit = std::max(spread_floor_ms, 1.5 * floor.median);
        table.add({config.name, std::to_string(config.answering + config.silent), std::to_string(config.answering),
                   std::to_string(runs), bench::spread(shown), bench::spread(bench::summarise(in_turn)),
                   bench::spread(floor), bench::ratio(shown.median, floor.median), bench::ms(limit),
                   bench::verdict(shown.median <= limit)});
    }
    table.print("showfanout");
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    fan_out_in_show();
    if (player_edition::bluetooth)
        return 0;
    // The test clip, then the heavy clips named on the command line.
    std::vector<std::pair<std::string, QString>> clips{{"test clip, 160×120, 25 fps, H.264", BENCH_CLIP}};
    const char *heavy[] = {"1920×1080, 60 fps, H.264", "3840×2160, 30 fps, HEVC"};
    for (int i = 1; i < argc && i <= 2; ++i)
        clips.emplace_back(heavy[i - 1], QString::fromLocal8Bit(argv[i]));

    Show show(8, 0, clips.front().second);
    const int runs = bench::repeats(10, 2);

    bench::Table starts({"Clip", "Countdown timer", "Runs", "Play click → hand-over, ms",
                         "Last tick's `libvlc_media_player_play` called − D, ms (min / median / max)",
                         "Play call takes, ms (min / median / max)", "Playing event − D, ms (min / median / max)",
                         "First picture on the screen − D, ms (min / median / max)",
                         "Spread of the first picture (max − min), ms",
                         "First sound at the sound server − D, ms (min / median / max)",
                         "Screen watch's largest gap before the picture, ms (max)",
                         "Play call − (median yo-yo's arrival + D), ms (min / median / max)",
                         "First picture − (median yo-yo's arrival + D), ms (min / median / max)",
                         "Limits: play call median / max, first picture median / spread, ms; against the "
                         "yo-yos' zero, medians: play call / first picture, ms",
                         "Within (play call / first picture; against the yo-yos' zero)"});
    bench::Table ticks({"Countdown timer", "Ticks before the last",
                        "Tick − its whole second after hand-over, ms (min / median / max)",
                        "Jitter (largest − smallest of those), ms", "Tick-to-tick, ms (min / median / max)",
                        "Last tick − D, ms (min / median / max)"});
    bench::Summary precise_call, precise_picture;
    for (std::size_t clip = 0; clip < clips.size(); ++clip) {
        if (clip > 0)
            show.open(clips[clip].second);
        for (bool coarse : {false, true}) {
            if (coarse && clip > 0)
                continue;
        const std::string name = coarse ? "default (coarse) `QTimer`, baseline" : "the window's (precise)";
        Series series;
        for (int i = 0; i < runs; ++i) {
            std::fprintf(stderr, "bench: show, %s, %s, run %d\n", clips[clip].first.c_str(),
                         coarse ? "coarse" : "precise", i + 1);
            series.add(show.run(coarse));
        }
        const bench::Summary play_call = bench::summarise(series.play_call);
        const bench::Summary picture = bench::summarise(series.first_picture);
        std::vector<double> picture_error;
        for (double offset : series.first_picture)
            picture_error.push_back(std::abs(offset));
        const double spread = picture.max - picture.min;
        if (!coarse && clip == 0) {
            precise_call = play_call;
            precise_picture = picture;
        }
        const bool call_within =
            std::abs(play_call.median) <= play_median_ms && largest_error(play_call) <= play_max_ms;
        const bool picture_within =
            bench::summarise(picture_error).median <= picture_median_ms && spread <= picture_spread_ms;
        const bench::Summary play_zero = bench::summarise(series.play_vs_zero);
        const bench::Summary picture_zero = bench::summarise(series.picture_vs_zero);
        const bool zero_within =
            std::abs(play_zero.median) <= zero_play_ms && std::abs(picture_zero.median) <= zero_picture_ms;
        starts.add({clips[clip].first, name, std::to_string(runs),
                    bench::spread(bench::summarise(series.click_to_hand_over)), bench::three(play_call),
                    bench::three(bench::summarise(series.play_blocks)),
                    bench::three(bench::summarise(series.playing)),
                    bench::three(picture), bench::ms(spread),
                    bench::three(bench::summarise(series.first_sound)),
                    bench::ms(bench::summarise(series.watch_gap).max), bench::three(play_zero),
                    bench::three(picture_zero),
                    bench::ms(play_median_ms) + " / " + bench::ms(play_max_ms) + ", " +
                        bench::ms(picture_median_ms) + " / " + bench::ms(picture_spread_ms) + "; " +
                        bench::ms(zero_play_ms) + " / " + bench::ms(zero_picture_ms),
                    bench::verdict(call_within) + " / " + bench::verdict(picture_within) + "; " +
                        bench::verdict(zero_within)});
        if (clip > 0)
            continue;
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
            const double precise_spread = precise_picture.max - precise_picture.min;
            bench::note("show", "Coarse against precise countdown: the play call was at most " + bench::ms(worst) +
                                    " ms against " + bench::ms(precise_worst) + " ms away from D (" +
                                    bench::ratio(worst, precise_worst) + "); the first picture spread over " +
                                    bench::ms(spread) + " ms against " + bench::ms(precise_spread) + " ms (" +
                                    bench::ratio(spread, precise_spread) + "). The start itself no longer rests on "
                                    "the timer's precision: the last tick is aimed from the monotonic clock and the "
                                    "surface waits for D, so a coarse timer starts the video on time too unless "
                                    "its last tick wakes less than 20 ms before D; its other ticks, which the "
                                    "operator sees count down, still wander (tick table).");
        }
        }
    }
    bench::note("show",
                "How the video starts. When the video is opened, the surface makes its one media player and lets "
                "it play muted for a second (the preview), until libvlc has opened the file, its decoders and its "
                "video output; then it pauses it, rewinds it to the start and unmaps its native window. The player "
                "stays so from show to show: Play finds it held, and a stop pauses, mutes and rewinds it again. The "
                "broadcast tells the window when the start reports were written (the middle one of the yo-yos' "
                "writes, released together once every yo-yo is open), and the video's D counts from then. The "
                "surface rewinds the held player ahead of D by a lead it learns show by show: 10 ms for a file just "
                "opened, then corrected at every start by how late or early the first picture came, which the "
                "surface reads back from the screen (two lines across it, from its uncovering until the picture "
                "changes); the window aims its last tick that lead and 10 ms more before D (the last column of "
                "the tick table). The surface then maps its window and waits for the X server to have done so, "
                "rewinds the still paused player by the lead, which makes libvlc draw the first picture by itself "
                "at about D, and calls play at D on the monotonic clock, which lets the video and its sound run. "
                "The first show of each clip is in its figures.");
    bench::note("show",
                "Earlier runs of this table, not of this run (bench/results.md as committed in b3c858a, "
                "001a21e and d85714b): in d85714b, with a new media player made at Play for every show, making it "
                "took 1.47 / 2.13 / 2.85 ms of Play; in b3c858a, with the media player made and played at the last tick, "
                "the play call came 2.2 / 3.3 / 7.1 ms after D and the video output 58.8 / 67.2 / 82.5 ms after D. "
                "In 001a21e, with the player prepared at Play but resumed at the last tick as the timer woke, the "
                "play call came 1.09 / 2.43 / 3.10 ms after D and the first picture 7.0 / 19.0 / 27.3 ms after D "
                "(spread 20.3 ms); and the sound came seconds late: rewound while held, libvlc 3.0 held the sound back by "
                "as long as the player had been held, then dropped it to catch up (its log: \"deferring start "
                "(4972407 us)\", later \"playback way too late: flushing buffers\").");
    bench::note("show",
                "The sound is heard at the session's sound server: `parec` records the monitor of its null sink "
                "(1 ms blocks, 22 050 Hz), and the first sample louder than the muted warm-up's silence, timed "
                "back from the moment its block was read, gives the time. It includes the sound server's own "
                "latency, which a listener hears too.");
    bench::note("show",
                "The first picture is seen on the X server's screen, not taken from libvlc: a thread with its own "
                "X connection reads a 4-pixel strip across the surface from the root window (GetImage) every 20 ms "
                "from Play and about every millisecond from 300 ms before D, and the first read in which a tenth of the strip "
                "shows the clip's vivid colours (the surface and its cover are black) gives the time. A read takes "
                "the screen at some moment between its request and its reply, so the time given (the reply) is at "
                "most one read late; the largest gap between reads in the 100 ms before the picture is in the "
                "table. libvlc's video-output event only says that the output was made, and its video callbacks "
                "would replace the window it draws into, so neither tells when the picture is on the screen. A "
                "picture shown during the countdown would be caught by the slower reads and show as a large "
                "negative time.");
    starts.print("show");
    ticks.print("ticks");
    return 0;
}
