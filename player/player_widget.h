#pragma once

#include "picture_watch.h"

#include <QDeadlineTimer>
#include <QString>
#include <QTimer>
#include <QWidget>

namespace Ui {
class player_widget;
}

struct libvlc_event_t;
struct libvlc_media_player_t;
struct libvlc_media_t;

// The surface the show's video plays in, over libvlc. The widget has one
// media player, made when the first file is opened and given every file
// opened later; between playbacks it is held paused at the start, out of
// sight, so that a start only has to let it run. A player made for every
// show would start libvlc's threads afresh each time, and the allocator
// keeps what each of them used: a day of shows grew the process by hundreds
// of MiB.
class player_widget : public QWidget
{
    Q_OBJECT

public:
    explicit player_widget(QWidget *parent = nullptr);
    ~player_widget() override;

    // Loads a file; returns its shortened name, or an empty string when the
    // file cannot be used (the media loaded before stays loaded). An
    // accepted file plays a muted second and is then held for the first
    // playback.
    QString open_media(const QString &path);
    bool has_media() const;
    // Readies the next playback when no player is held for it (none could
    // be made before, or the last playback was never held again): libvlc
    // opens the file, its decoders and its video output out of sight and
    // without sound, then the player is held paused at the start.
    void prepare_playback();
    // Starts the held playback, or readies one first when none is held, so
    // that it runs from `at`: the surface is uncovered and the video rewound
    // first. It returns once the video runs. A video that has shown no
    // picture a second later is rewound to where the show is then.
    void start_playback(const QDeadlineTimer &at = QDeadlineTimer(0));
    // How long before `at` start_playback wants to be called: the rewind's
    // lead, learnt from the shows of the file so far, and room for a timer
    // that wakes late and for the uncovering.
    qint64 start_lead_ms() const;
    // Ends the running playback, if any: the player is held at the start
    // again, out of sight.
    void stop_playback();
    bool is_playing() const;
    // Stops and lets go of libvlc's player for good: the window is closing,
    // and a show's late word must not make another.
    void close_player();

signals:
    void double_clicked();
    // The running playback has ended, by itself or by stop_playback; the
    // player is held, or being readied, for the next one.
    void player_stopped();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    static void on_vlc_event(const libvlc_event_t *event, void *data);
    bool make_player();
    bool ran_out() const;
    void video_ended();
    void warm_up(bool seen);
    void hold_when_ready();
    qint64 ms_since_start() const;
    void time_first_picture();
    int displayed_pictures() const;
    void check_pictures_shown();
    void hold();
    void set_held(bool on);

    Ui::player_widget *ui;
    libvlc_media_player_t *media_player = nullptr;
    libvlc_media_t *media = nullptr;
    // media_player is held, or being readied, for the next playback; false
    // while a playback runs or has ended by itself.
    bool held = false;
    bool closed = false;
    // While the player warms up: whether it is to make a video output before
    // it is held, and until when it may take.
    bool awaits_picture = false;
    QDeadlineTimer hold_deadline;
    // How long before a start the held video is rewound.
    qint64 rewind_lead_ms = 0;
    // After a start: when the first picture was due, and the screen read
    // until it shows.
    picture_watch first_picture{nullptr};
    bool awaits_first_picture = false;
    QDeadlineTimer first_picture_due;
    QTimer first_picture_timer;
    // A while after a start: how many pictures libvlc had shown before it,
    // and whether any has been shown since.
    int pictures_before_start = 0;
    QTimer picture_check_timer;
    QTimer hold_timer;
};
