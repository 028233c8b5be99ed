#include "player_widget.h"
#include "ui_player_widget.h"
#include "video_names.h"
#include "vlc_log.h"

#include <QDir>
#include <QGuiApplication>
#include <QSemaphore>
#include <QThread>

#include <vlc/vlc.h>

namespace {

// One libvlc instance for the whole process, made on first use and kept
// until the process ends; a failed creation is tried again next time.
libvlc_instance_t *vlc_instance = nullptr;

libvlc_instance_t *shared_vlc_instance()
{
    if (!vlc_instance) {
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

// How long before a start the held video is rewound.
constexpr qint64 rewind_lead_ms = 10;

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
    // libvlc needs a real window of its own to draw into; the widgets
    // around it may stay without one.
    ui->screen->setAttribute(Qt::WA_DontCreateNativeAncestors);
    ui->screen->setAttribute(Qt::WA_NativeWindow);
}

player_widget::~player_widget()
{
    // Stopping delivers libvlc's stopped event on this thread unless the end
    // notice came before, so every listener has removed itself and no
    // callback is running once stop returns; notices still queued for this
    // widget are discarded with it.
    if (media_player) {
        libvlc_media_player_stop(media_player);
        libvlc_media_player_release(media_player);
    }
    for (libvlc_media_player_t *player : qAsConst(replaced_players))
        libvlc_media_player_release(player);
    libvlc_media_release(media);
    delete ui;
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

    // A muted second of the file in its own player shows that it plays.
    libvlc_media_player_t *preview = libvlc_media_player_new_from_media(media);
    if (!preview)
        return QString();
    hand_window(preview, ui->screen->winId());
    libvlc_audio_set_mute(preview, 1);
    libvlc_media_player_play(preview);
    QThread::msleep(1000);
    libvlc_media_player_stop(preview);
    libvlc_media_player_release(preview);

    return elide_name(media_file_name(native_path, separator));
}

bool player_widget::has_media() const
{
    return media != nullptr;
}

void player_widget::prepare_playback()
{
    if (media_player) {
        libvlc_media_player_stop(media_player);
        replaced_players.append(media_player);
        media_player = nullptr;
    }
    set_held(false);
    if (!media)
        return;
    media_player = libvlc_media_player_new_from_media(media);
    if (!media_player)
        return;

    libvlc_event_manager_t *events = libvlc_media_player_event_manager(media_player);
    // The callback removes both listeners, so it needs both or none.
    const bool watched = libvlc_event_attach(events, libvlc_MediaPlayerStopped, on_vlc_event, this) == 0;
    if (!watched || libvlc_event_attach(events, libvlc_MediaPlayerEndReached, on_vlc_event, this) != 0) {
        if (watched)
            libvlc_event_detach(events, libvlc_MediaPlayerStopped, on_vlc_event, this);
        libvlc_media_player_release(media_player);
        media_player = nullptr;
        return;
    }
    hand_window(media_player, ui->screen->winId());
    // Key presses and the double-click must reach the Qt widgets.
    libvlc_video_set_key_input(media_player, 0);
    libvlc_video_set_mouse_input(media_player, 0);

    // libvlc only opens the decoders and makes the video output while it
    // plays, so the player runs muted, out of sight, until it has done so;
    // then it is paused and rewound.
    set_held(true);
    libvlc_audio_set_mute(media_player, 1);
    libvlc_media_player_play(media_player);
    hold_deadline.setRemainingTime(longest_warm_up_ms);
    awaits_picture = count_tracks(media).video > 0;
    hold_timer.start();
}

void player_widget::hold_when_ready()
{
    if (!held) {
        hold_timer.stop();
        return;
    }
    if (awaits_picture && libvlc_media_player_has_vout(media_player) == 0 && !hold_deadline.hasExpired())
        return;
    hold_timer.stop();
    libvlc_media_player_set_pause(media_player, 1);
    libvlc_media_player_set_time(media_player, 0);
}

void player_widget::start_playback(const QDeadlineTimer &at)
{
    if (!held)
        prepare_playback();
    if (!held)
        return;
    hold_timer.stop();
    // The surface's window is mapped, and the window system has seen it,
    // before anything is drawn: a picture drawn into an unmapped window is
    // lost, and the screen would stay black until the next one.
    set_held(false);
    QGuiApplication::sync();
    // Rewound while still paused, a little before `at`: libvlc then draws
    // the first picture on its own, in about that time, so it shows at `at`;
    // after a play call it would date the picture some 10 ms ahead. Rewound
    // just before it runs, the sound starts with the picture too (after a
    // rewind long before, libvlc 3.0 holds the sound back by as long).
    wait_until(at, rewind_lead_ms);
    libvlc_media_player_set_time(media_player, 0);
    wait_until(at, 0);
    libvlc_media_player_play(media_player);
    libvlc_audio_set_mute(media_player, 0);
}

void player_widget::stop_playback()
{
    if (media_player)
        libvlc_media_player_stop(media_player);
    set_held(false);
}

bool player_widget::is_playing() const
{
    return media_player && !held && libvlc_media_player_is_playing(media_player);
}

void player_widget::mouseDoubleClickEvent(QMouseEvent *)
{
    emit double_clicked();
}

// Runs on libvlc's input thread at the end of the file, or on the thread
// that stops the player, inside libvlc's stop. Nothing here may wait for the
// input thread. libvlc's event lock is recursive and its send loop re-reads
// the listener list, so the listener may remove itself here; that makes this
// the player's one and only notice. Detaching a listener twice aborts in
// libvlc, so nothing else detaches it.
void player_widget::on_vlc_event(const libvlc_event_t *event, void *data)
{
    auto *player = static_cast<libvlc_media_player_t *>(event->p_obj);
    libvlc_event_manager_t *events = libvlc_media_player_event_manager(player);
    libvlc_event_detach(events, libvlc_MediaPlayerStopped, on_vlc_event, data);
    libvlc_event_detach(events, libvlc_MediaPlayerEndReached, on_vlc_event, data);
    hand_window(player, 0);

    auto *widget = static_cast<player_widget *>(data);
    QMetaObject::invokeMethod(
        widget, [widget, player] { widget->release_player(player); }, Qt::QueuedConnection);
}

void player_widget::release_player(libvlc_media_player_t *player)
{
    libvlc_media_player_release(player);
    if (player == media_player) {
        media_player = nullptr;
        set_held(false);
        emit player_stopped();
    } else {
        replaced_players.removeOne(player);
    }
}

// A held player's picture must not show before the start: its window stays
// unmapped until then, since the black cover around the surface cannot hide
// a native window.
void player_widget::set_held(bool on)
{
    held = on;
    ui->screen->setVisible(!on);
}
