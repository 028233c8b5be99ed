#pragma once

// What the show player's window tests share: a way into the window's private
// parts, the edition being tested and a guard against slots that
// connectSlotsByName could not bind.

#include "tz3_player_main.h"
#include "ui_tz3_player_main.h"

#include "edition.h"
#include "player_widget.h"

#include <QByteArray>
#include <QString>
#include <QTest>
#include <QtGlobal>

#include <cstdint>
#include <vector>

struct tz3_player_main_test_access {
    static Ui::tz3_player_main *ui(tz3_player_main &w) { return w.ui; }
    static player_widget *player(tz3_player_main &w) { return w.player; }
    static QTimer &poll_timer(tz3_player_main &w) { return w.poll_timer; }
    static hid_device_info *yoyo_devices(tz3_player_main &w) { return w.yoyo_devices; }
    static bool &playing(tz3_player_main &w) { return w.playing; }
    static yoyo::Broadcast &broadcast(tz3_player_main &w) { return w.broadcast; }
    static QTimer *countdown_timer(tz3_player_main &w) { return w.countdown_timer; }

    static void poll_yoyos(tz3_player_main &w) { w.poll_yoyos(); }
    static void tz3_send_all(tz3_player_main &w, const std::uint8_t *report) { w.tz3_send_all(report); }
    static void send_start(tz3_player_main &w) { w.send_start(); }
    static void send_stop(tz3_player_main &w) { w.send_stop(); }
    static void set_delay(tz3_player_main &w, const QString &text) { w.set_delay(text); }
};
using inside = tz3_player_main_test_access;

namespace player_test {

using player_edition::bluetooth;
inline constexpr int report_length = player_edition::transport.report_length;

// A report as the edition writes it: `command` (code first) after the report
// ID, and in the Bluetooth edition after one more zero byte.
inline std::vector<std::uint8_t> on_the_wire(std::initializer_list<std::uint8_t> command)
{
    std::vector<std::uint8_t> bytes(report_length, 0);
    std::size_t at = bluetooth ? 2 : 1;
    for (std::uint8_t byte : command)
        bytes[at++] = byte;
    return bytes;
}

inline QByteArray hex(const std::vector<std::uint8_t> &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), int(bytes.size())).toHex(' ');
}

// A slot whose object was renamed or misspelt loses its connection with
// nothing but this warning; every test fails when it was seen.
class slot_binding_guard {
public:
    static void install()
    {
        previous = qInstallMessageHandler(&slot_binding_guard::handle);
    }

    static QString seen() { return unbound; }
    static void forget() { unbound.clear(); }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (message.contains(QLatin1String("No matching signal for on_")))
            unbound += message + QLatin1Char('\n');
        if (previous)
            previous(type, context, message);
    }

    static inline QtMessageHandler previous = nullptr;
    static inline QString unbound;
};

} // namespace player_test

// Put in every test class's cleanup().
#define PLAYER_TEST_NO_UNBOUND_SLOTS()                                                     \
    do {                                                                                   \
        const QString unbound = player_test::slot_binding_guard::seen();                  \
        player_test::slot_binding_guard::forget();                                         \
        QVERIFY2(unbound.isEmpty(), qPrintable("slot left unbound: " + unbound));          \
    } while (false)
