#pragma once

#include "broadcast.h"
#include "discovery.h"
#include "player_control.h"

#include <QDeadlineTimer>
#include <QMainWindow>
#include <QTimer>

#include <cstdint>
#include <optional>

#include <hidapi.h>

namespace Ui {
class tz3_player_main;
}

class player_widget;
class yoyo_panel;
class QResizeEvent;
class QShowEvent;
class QCloseEvent;

// The show player's only window: the controls, the video container laid over
// them, the list of connected yo-yos and the show's states.
// Both editions build this class; VANTREL_BLUETOOTH_EDITION picks the transport.
class tz3_player_main : public QMainWindow, public remote::player_control
{
    Q_OBJECT

public:
    explicit tz3_player_main(QWidget *parent = nullptr);
    ~tz3_player_main() override;

    // Show control (tz3_player_main_remote.cpp).
    QString open_video(const QString &path) override;
    QString enter_delay(const QString &text) override;
    QString press_play(std::optional<std::chrono::steady_clock::time_point> fire) override;
    QString stop_show_now() override;
    QString enter_full_screen(bool on) override;
    bool has_video() const override;
    show_state state() const override;
    int remaining() const override;
    int listed_yoyos() const override;
    int took_last_report() const override;
    QWidget *main_window() override { return this; }
    void watch_show(QObject *context, std::function<void()> changed) override;

signals:
    // Every change of state and every countdown tick.
    void show_changed();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private slots:
    // Bound by name at the end of the form's setup; their declaration order
    // is their meta-object order, which stays fixed.
    void on_txt_delay_editingFinished();
    void on_btn_full_screen_clicked();
    void on_btn_version_clicked();
    void on_btn_open_clicked();
    void on_btn_play_clicked();
    void on_txt_delay_returnPressed();

private:
    // Discovery.
    void poll_yoyos();
    // Reports and their broadcast.
    void tz3_send_all(const std::uint8_t *report, const yoyo::Broadcast::Fired &fired = {});
    void send_start();
    void start_written(std::optional<yoyo::Broadcast::Moment> at, int show, int delay);
    void send_stop();
    // The show.
    void set_delay(const QString &text);
    void countdown_tick();
    void abort_countdown();
    void stop_show();
    void reset_to_idle();

    Ui::tz3_player_main *ui;
    player_widget *player;
    QTimer poll_timer;
    hid_device_info *yoyo_devices;
    bool playing;

    // Each yo-yo's last outcome, and the warning on the count.
    yoyo_panel *panel = nullptr;
    // Beside the window's own state: the pool tasks of every broadcast, so that the
    // destructor can let the last stop reports reach the yo-yos before the
    // HID library shuts down, and the countdown of a running show (created
    // at Play, without a parent), so that a window closed while it counts
    // takes its timer with it.
    yoyo::Broadcast broadcast;
    QTimer *countdown_timer = nullptr;
    // When the video of the running show starts: D seconds after the start
    // reports were written, or handed over when none could be.
    QDeadlineTimer video_due;
    int shows = 0; // Plays so far: a late word of an earlier start is ignored
    // Enumerates on a thread of its own and hands each new list back here.
    yoyo::Discovery discovery;
    // When the next report is to go out, for Play pressed ahead of a set time.
    std::optional<yoyo::Broadcast::Moment> fire_at;

    // The tests reach the private parts through this.
    friend struct tz3_player_main_test_access;
};
