// The window's side of show control: each call takes the path its own
// control takes, and is refused where that control could not be used.
#include "tz3_player_main.h"
#include "ui_tz3_player_main.h"

#include "player_widget.h"
#include "yoyo_panel.h"

QString tz3_player_main::enter_delay(const QString &text)
{
    if (playing)
        return tr("a show is running");
    bool number = false;
    text.toInt(&number, 10);
    if (!number)
        return tr("'%1' is no number").arg(text.left(32));
    set_delay(text);
    return QString();
}

QString tz3_player_main::press_play(std::optional<std::chrono::steady_clock::time_point> fire)
{
    if (!player->has_media())
        return tr("no video is open");
    if (playing)
        return tr("a show is running");
    fire_at = fire;
    on_btn_play_clicked();
    return QString();
}

QString tz3_player_main::stop_show_now()
{
    if (!playing)
        return tr("no show is running");
    if (countdown_timer)
        abort_countdown();
    else
        stop_show();
    return QString();
}

QString tz3_player_main::enter_full_screen(bool on)
{
    if (playing)
        return tr("a show is running");
    if (on != isFullScreen())
        on_btn_full_screen_clicked();
    return QString();
}

bool tz3_player_main::has_video() const
{
    return player->has_media();
}

remote::player_control::show_state tz3_player_main::state() const
{
    if (!playing)
        return show_state::idle;
    if (countdown_timer)
        return show_state::counting;
    return player->is_playing() ? show_state::playing : show_state::ended;
}

int tz3_player_main::remaining() const
{
    return ui->txt_delay->text().toInt(nullptr, 10);
}

int tz3_player_main::listed_yoyos() const
{
    return yoyo::count_records(yoyo_devices);
}

int tz3_player_main::took_last_report() const
{
    return panel->took_last_report();
}

void tz3_player_main::watch_show(QObject *context, std::function<void()> changed)
{
    connect(this, &tz3_player_main::show_changed, context, changed);
    connect(player, &player_widget::player_stopped, context, changed);
}
