#include "player_widget.h"
#include "ui_player_widget.h"
#include "video_names.h"
#include "vlc_log.h"

#include <QDir>
#include <QGuiApplication>
#include <QSemaphore>
#include <QThread>

#include <vlc/vlc.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// One libvlc instance for the whole process, made on first use and kept
// until the process ends; a failed creation is tried again next time.
libvlc_instance_t *vlc_instance = nullptr;

libvlc_instance_t *shared_vlc_instance()
{
    if (!vlc_instance) {
#ifdef __GLIBC__
        // libvlc starts threads afresh for every input (its decoders, its
        // outputs), and the allocator gives every new thread an arena of its
        // own, up to eight per core, each keeping what its threads used long
        // after they have ended. Two arenas, the GUI thread's and one shared,
        // bounded before libvlc's first thread, keep a day of shows from
        // growing the process by hundreds of MiB.
        mallopt(M_ARENA_MAX, 2);
#endif
        const char *const arguments[] = {"--file-caching=1000", "--disc-caching=1000"};
        vlc_instance = libvlc_new(2, arguments);
        if (vlc_instance)
            route_vlc_log(vlc_instance);
    }
    return vlc_instance;
}

// Lets the player draw into the given native window; 0 takes it away.
void hand_window(libvlc_media_player_t *player, WId window)
{
#if defined(Q_OS_WIN)
    libvlc_media_player_set_hwnd(player, reinterpret_cast<void *>(window));
#elif defined(Q_OS_MACOS)
    libvlc_media_player_set_nsobject(player, reinterpret_cast<void *>(window));
#else
    libvlc_media_player_set_xwindow(player, static_cast<uint32_t>(window));
#endif
}

// The blocking parse of local files that libvlc_media_parse performs, built
// on the call that replaces it: when that call accepts the request, libvlc
// always sends the parsed event, whatever the outcome.
void parse_and_wait(libvlc_media_t *media)
{
    QSemaphore parsed;
    const libvlc_callback_t on_parsed = [](const libvlc_event_t *, void *data) {
        static_cast<QSemaphore *>(data)->release();
    };
    libvlc_event_manager_t *events = libvlc_media_event_manager(media);
    if (libvlc_event_attach(events, libvlc_MediaParsedChanged, on_parsed, &parsed) != 0)
        return;
    if (libvlc_media_parse_with_options(media, libvlc_media_fetch_local, -1) == 0)
        parsed.acquire();
    // Detaching waits for a callback still running on libvlc's thread.
    libvlc_event_detach(events, libvlc_MediaParsedChanged, on_parsed, &parsed);
}

struct track_count {
    unsigned all = 0;
    unsigned video = 0;
};

track_count count_tracks(libvlc_media_t *media)
{
    libvlc_media_track_t **tracks = nullptr;
    track_count count;
    count.all = libvlc_media_tracks_get(media, &tracks);
    for (unsigned i = 0; i < count.all; ++i)
        count.video += tracks[i]->i_type == libvlc_track_video;
    libvlc_media_tracks_release(tracks, count.all);
    return count;
}

// How often a prepared player is looked at while it warms up, and how long
// it may take to make its video output before it is held anyway.
constexpr int hold_poll_ms = 10;
constexpr int longest_warm_up_ms = 2000;

// How long before a start the held video is rewound: for a file just opened,
// about what a small frame takes to decode and draw; then, show by show,
// corrected by how late or early the first picture came on the screen, as a
// large frame (4K) takes tens or hundreds of milliseconds. At most what the
// last second of the countdown leaves room for.
constexpr qint64 shortest_rewind_lead_ms = 10;
constexpr qint64 longest_rewind_lead_ms = 800;
// Room before the rewind for a timer that wakes late and for the uncovering.
constexpr qint64 start_room_ms = 10;
// How often the screen is read while the first picture is awaited (each read
// costs the X server and the GUI thread, and the programs beside it, some
// processor time), and how long before the start the reads give way to the
// play call.
constexpr int picture_poll_ms = 4;
constexpr qint64 last_read_before_start_ns = (picture_poll_ms + 2) * 1000000;
// How long after a start a running video must have shown a picture.
constexpr int picture_check_ms = 1000;

// Yields the GUI thread until `milliseconds` before `at`; only used for the
// last few milliseconds before a start, where a timer would wake too late.
void wait_until(const QDeadlineTimer &at, qint64 milliseconds)
{
    while (at.remainingTimeNSecs() > milliseconds * 1000000)
        QThread::yieldCurrentThread();
}

} // namespace

player_widget::player_widget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::player_widget)
{
    ui->setupUi(this);
    hold_timer.setInterval(hold_poll_ms);
    connect(&hold_timer, &QTimer::timeout, this, [this] { hold_when_ready(); });
    first_picture = picture_watch(ui->screen);
    first_picture_timer.setTimerType(Qt::PreciseTimer);
    first_picture_timer.setInterval(picture_poll_ms);
    connect(&first_picture_timer, &QTimer::timeout, this, [this] { time_first_picture(); });
    picture_check_timer.setSingleShot(true);
    connect(&picture_check_timer, &QTimer::timeout, this, [this] { check_pictures_shown(); });
    // libvlc needs a real window of its own to draw into; the widgets
    // around it may stay without one.
    ui->screen->setAttribute(Qt::WA_DontCreateNativeAncestors);
    ui->screen->setAttribute(Qt::WA_NativeWindow);
}

player_widget::~player_widget()
{
    close_player();
    libvlc_media_release(media);
    delete ui;
}

// Detaching waits for an end notice still running on libvlc's thread; one
// it queued for this widget finds no player. Stopping waits for a video
// output libvlc is still making, while its window is still there.
void player_widget::close_player()
{
    closed = true;
    hold_timer.stop();
    first_picture_timer.stop();
    picture_check_timer.stop();
    if (!media_player)
        return;
    libvlc_event_detach(libvlc_media_player_event_manager(media_player), libvlc_MediaPlayerEndReached, on_vlc_event,
                        this);
    libvlc_media_player_stop(media_player);
    libvlc_media_player_release(media_player);
    media_player = nullptr;
}

QString player_widget::open_media(const QString &path)
{
    libvlc_instance_t *instance = shared_vlc_instance();
    if (!instance)
        return QString();

    const QChar separator = QDir::separator();
    const QString native_path = native_media_path(path, separator);
    libvlc_media_t *opened = libvlc_media_new_path(instance, native_path.toUtf8().constData());
    if (!opened)
        return QString();

    stop_playback();

    parse_and_wait(opened);
    if (count_tracks(opened).all == 0) {
        libvlc_media_release(opened);
        return QString();
    }
    libvlc_media_release(media);
    media = opened;
    rewind_lead_ms = shortest_rewind_lead_ms;

    if (!media_player && !make_player())
        return QString();
    // A muted second of the file in the surface shows that it plays; the
    // player is then held for the first show.
    warm_up(true);
    QThread::msleep(1000);

    return elide_name(media_file_name(native_path, separator));
}

bool player_widget::has_media() const
{
    return media != nullptr;
}

// The player lives as long as the widget: its end notice and its input
// settings are set once.
bool player_widget::make_player()
{
    if (closed)
        return false;
    media_player = libvlc_media_player_new_from_media(media);
    if (!media_player)
        return false;
    libvlc_event_manager_t *events = libvlc_media_player_event_manager(media_player);
    if (libvlc_event_attach(events, libvlc_MediaPlayerEndReached, on_vlc_event, this) != 0) {
        libvlc_media_player_release(media_player);
        media_player = nullptr;
        return false;
    }
    // Key presses and the double-click must reach the Qt widgets.
    libvlc_video_set_key_input(media_player, 0);
    libvlc_video_set_mouse_input(media_player, 0);
    return true;
}

void player_widget::prepare_playback()
{
    if (!media || (!media_player && !make_player()))
        return;
    if (held && !ran_out())
        return;
    warm_up(false);
}

// The player has no input left to let run: never given one, stopped, run
// out or failed.
bool player_widget::ran_out() const
{
    switch (libvlc_media_player_get_state(media_player)) {
    case libvlc_NothingSpecial:
    case libvlc_Stopped:
    case libvlc_Ended:
    case libvlc_Error:
        return true;
    default:
        return false;
    }
}

// libvlc only opens the decoders and makes the video output while it plays,
// so the player runs muted until it has done so; then hold_when_ready
// pauses and rewinds it. Giving the player its media again ends the input
// it had, one that has run out too.
void player_widget::warm_up(bool seen)
{
    set_held(true);
    ui->screen->setVisible(seen);
    hand_window(media_player, ui->screen->winId());
    libvlc_media_player_set_media(media_player, media);
#ifdef __GLIBC__
    // The input just ended has freed what its threads used; the allocator
    // would keep those pages all day.
    malloc_trim(0);
#endif
    libvlc_audio_set_mute(media_player, 1);
    libvlc_media_player_play(media_player);
    hold_deadline.setRemainingTime(longest_warm_up_ms);
    awaits_picture = count_tracks(media).video > 0;
    hold_timer.start();
}

void player_widget::hold_when_ready()
{
    const bool ready = awaits_picture ? libvlc_media_player_has_vout(media_player) > 0
                                      : libvlc_media_player_get_state(media_player) == libvlc_Playing;
    if (!ready && !hold_deadline.hasExpired())
        return;
    hold_timer.stop();
    hold();
}

qint64 player_widget::start_lead_ms() const
{
    return rewind_lead_ms + start_room_ms;
}

// Paused at the start, out of sight and muted, as a warmed-up player is:
// the rewinds before the next start must not let its sound out ahead of
// the picture. Should the input run out before the pause reaches it, its
// end notice readies it again.
void player_widget::hold()
{
    libvlc_media_player_set_pause(media_player, 1);
    libvlc_audio_set_mute(media_player, 1);
    libvlc_media_player_set_time(media_player, 0);
    set_held(true);
}

void player_widget::start_playback(const QDeadlineTimer &at)
{
    prepare_playback();
    if (!held)
        return;
    // Only a held player started in time tells how far ahead to rewind.
    const bool in_time = !hold_timer.isActive() && at.remainingTimeNSecs() / 1000000 > rewind_lead_ms;
    hold_timer.stop();
    // The surface's window is mapped, and the window system has seen it,
    // before anything is drawn: a picture drawn into an unmapped window is
    // lost, and the screen would stay black until the next one.
    set_held(false);
    QGuiApplication::sync();
    first_picture_due = at;
    awaits_first_picture = in_time && first_picture.mark();
    // Rewound while still paused, as long before `at` as libvlc takes to
    // draw the first picture after a rewind: it then draws it on its own, at
    // `at`; after a play call it would date the picture some 10 ms ahead,
    // and drop a late first frame. Rewound just before it runs, the sound
    // starts with the play call too (after a rewind seconds before, libvlc
    // 3.0 holds the sound back by as long).
    wait_until(at, rewind_lead_ms);
    libvlc_media_player_set_time(media_player, 0);
    // A first picture drawn before `at` is seen here; the reads end a
    // little before `at`, so that the play call keeps its time.
    while (awaits_first_picture && at.remainingTimeNSecs() > last_read_before_start_ns) {
        time_first_picture();
        QThread::msleep(picture_poll_ms);
    }
    wait_until(at, 0);
    libvlc_media_player_play(media_player);
    libvlc_audio_set_mute(media_player, 0);
    if (awaits_first_picture)
        first_picture_timer.start();
    pictures_before_start = displayed_pictures();
    picture_check_timer.start(picture_check_ms);
}

// How far the show is past the start that was asked for (negative before it).
qint64 player_widget::ms_since_start() const
{
    return (QDeadlineTimer::current(Qt::PreciseTimer).deadlineNSecs() - first_picture_due.deadlineNSecs()) / 1000000;
}

// Pictures libvlc has shown since the file's input started; its count
// follows the display by up to a quarter of a second.
int player_widget::displayed_pictures() const
{
    libvlc_media_stats_t stats{};
    return libvlc_media_get_stats(media, &stats) ? stats.i_displayed_pictures : 0;
}

// Now and then libvlc 3.0 starts a player that was held paused through a
// countdown without showing any of its pictures for seconds, then drops
// them all as too late: the video would stay black for the whole show, its
// sound playing. A rewind to where the show is now makes it date them
// afresh; the show's picture comes back a second late rather than never.
void player_widget::check_pictures_shown()
{
    if (!is_playing() || count_tracks(media).video == 0 || displayed_pictures() > pictures_before_start)
        return;
    const qint64 show_ms = ms_since_start();
    qCWarning(video_log) << "no picture shown" << show_ms << "ms after the start; the video is rewound to it";
    libvlc_media_player_set_time(media_player, show_ms);
}

// The first picture is the first one on the screen that is neither what the
// surface showed when it was uncovered nor one plain colour (the output
// clearing its window). A first frame of one colour (a video that starts
// black) shows nothing amiss when early; a picture not seen in time leaves
// the lead as it was.
void player_widget::time_first_picture()
{
    const qint64 late_ms = ms_since_start();
    if (late_ms <= longest_rewind_lead_ms && !first_picture.shows_new_picture())
        return;
    awaits_first_picture = false;
    first_picture_timer.stop();
    if (late_ms > longest_rewind_lead_ms)
        return;
    rewind_lead_ms = qBound(shortest_rewind_lead_ms, rewind_lead_ms + late_ms, longest_rewind_lead_ms);
    qCInfo(video_log) << "first picture" << late_ms << "ms after its start; the next start rewinds" << rewind_lead_ms
                      << "ms ahead";
}

void player_widget::stop_playback()
{
    if (!media_player || held)
        return;
    hold();
    emit player_stopped();
}

bool player_widget::is_playing() const
{
    return media_player && !held && libvlc_media_player_is_playing(media_player);
}

void player_widget::mouseDoubleClickEvent(QMouseEvent *)
{
    emit double_clicked();
}

// Runs on libvlc's input thread when the file has run out; the player is
// readied again on the GUI thread.
void player_widget::on_vlc_event(const libvlc_event_t *, void *data)
{
    auto *widget = static_cast<player_widget *>(data);
    QMetaObject::invokeMethod(widget, [widget] { widget->video_ended(); }, Qt::QueuedConnection);
}

// The screen goes out of sight, so the cover around it stays black until
// the operator's double-click, while the player is readied for the next
// show. A notice that comes after the player was given a new input is
// stale.
void player_widget::video_ended()
{
    if (!media_player || libvlc_media_player_get_state(media_player) != libvlc_Ended)
        return;
    const bool was_running = !held;
    warm_up(false);
    if (was_running)
        emit player_stopped();
}

// A held player's picture must not show before the start: its window stays
// unmapped until then, since the black cover around the surface cannot hide
// a native window.
void player_widget::set_held(bool on)
{
    held = on;
    if (on) {
        awaits_first_picture = false;
        first_picture_timer.stop();
        picture_check_timer.stop();
    }
    ui->screen->setVisible(!on);
}
