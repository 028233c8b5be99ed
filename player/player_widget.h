#pragma once

#include <QDeadlineTimer>
#include <QString>
#include <QTimer>
#include <QVector>
#include <QWidget>

namespace Ui {
class player_widget;
}

struct libvlc_event_t;
struct libvlc_media_player_t;
struct libvlc_media_t;

// The surface the show's video plays in, over libvlc. Each playback gets a
// fresh media player, made and warmed up ahead of the start; libvlc's end
// notice releases it on the GUI thread.
class player_widget : public QWidget
{
    Q_OBJECT

public:
    explicit player_widget(QWidget *parent = nullptr);
    ~player_widget() override;

    // Loads a file; returns its shortened name, or an empty string when the
    // file cannot be used (the media loaded before stays loaded).
    QString open_media(const QString &path);
    bool has_media() const;
    // Makes the next playback's media player and lets libvlc open the file,
    // its decoders and its video output out of sight and without sound, then
    // holds it paused at the start, so that start_playback has little left
    // to do.
    void prepare_playback();
    // Starts the prepared playback, or a new one when none is held, so that
    // it runs from `at`: the surface is uncovered and the video rewound
    // first. It returns once the video runs.
    void start_playback(const QDeadlineTimer &at = QDeadlineTimer(0));
    // How long before `at` start_playback wants to be called: room for a
    // timer that wakes late, the uncovering and the rewind.
    static constexpr qint64 start_lead_ms = 20;
    // Stops the current media player, held or playing, if any.
    void stop_playback();
    bool is_playing() const;

signals:
    void double_clicked();
    // The current playback has ended, by itself or by stop_playback; its
    // media player is gone.
    void player_stopped();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    static void on_vlc_event(const libvlc_event_t *event, void *data);
    void release_player(libvlc_media_player_t *player);
    void hold_when_ready();
    void set_held(bool on);

    Ui::player_widget *ui;
    libvlc_media_player_t *media_player = nullptr;
    libvlc_media_t *media = nullptr;
    // media_player is prepared and waits for start_playback.
    bool held = false;
    // While the prepared player warms up: whether it is to make a video
    // output before it is held, and until when it may take.
    bool awaits_picture = false;
    QDeadlineTimer hold_deadline;
    QTimer hold_timer;
    // Players stopped to make way for a new playback; each is released when
    // its own end notice arrives.
    QVector<libvlc_media_player_t *> replaced_players;
};
