#pragma once

// The show player window's private parts, through the friend it grants.

#include "tz3_player_main.h"
#include "ui_tz3_player_main.h"

#include "edition.h"
#include "virtual_yoyos.h"

struct tz3_player_main_test_access {
    static Ui::tz3_player_main *ui(tz3_player_main &w) { return w.ui; }
    static player_widget *player(tz3_player_main &w) { return w.player; }
    static bool playing(tz3_player_main &w) { return w.playing; }
    static yoyo::Broadcast &broadcast(tz3_player_main &w) { return w.broadcast; }

    static hid_device_info *yoyo_devices(tz3_player_main &w) { return w.yoyo_devices; }
    static QTimer *countdown_timer(tz3_player_main &w) { return w.countdown_timer; }
    static QDeadlineTimer video_due(tz3_player_main &w) { return w.video_due; }

    static void poll_yoyos(tz3_player_main &w) { w.poll_yoyos(); }
    static void tz3_send_all(tz3_player_main &w, const std::uint8_t *report) { w.tz3_send_all(report); }
    static void send_stop(tz3_player_main &w) { w.send_stop(); }
    static void set_delay(tz3_player_main &w, const QString &text) { w.set_delay(text); }
};
using inside = tz3_player_main_test_access;

// The rig's yo-yos that this edition of the show player talks to, and the others.
inline constexpr rig::Transport edition_transport =
    player_edition::bluetooth ? rig::Transport::bluetooth : rig::Transport::usb;
inline constexpr rig::Transport other_transport =
    player_edition::bluetooth ? rig::Transport::usb : rig::Transport::bluetooth;
